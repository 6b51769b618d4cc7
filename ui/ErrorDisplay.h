// The error display: the one place where a failure becomes a message box.
#pragma once

#include <exception>
#include <functional>
#include <utility>

#include <QString>

class QWidget;

namespace vemui {

// The program's own top-level window (its QMainWindow), or null before it exists.
QWidget* ApplicationWindow();

// Shows one failure: releases any mouse or keyboard grab and pressed button
// first, then a modal box with the message (the "." rule applied), the
// application title as caption, one OK button and the stop icon. Returns when
// the box is closed.
void ShowError(const std::exception& e);

// The box's text for a failure: a vem::Exception's message, "メモリが足りません"
// for std::bad_alloc, any other std::exception's what(); "." rule applied.
QString ErrorBoxTextOf(const std::exception& e);

// The box's caption: the application title of the running program file.
QString ErrorBoxTitle();

// Replaces the message box (tests read title and text through it); an empty
// function restores the box.
void SetErrorBoxHook(std::function<void(const QString& title, const QString& text)> hook);

// The shared catch of every handler: runs F and sends any failure to
// ShowError. The failed handler's remaining steps are skipped, and what it
// changed before the failure stays changed.
template <class F>
void Guarded(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

} // namespace vemui
