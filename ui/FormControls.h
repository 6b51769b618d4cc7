// Building a form's controls.
#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QWidget>

namespace vemui {

// A control keeps its form name as its object name, so that tests and the
// code find it by that name.
template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Centres a fixed-size form on the screen of its owner (the primary screen
// without one), as the program's dialogs open.
inline void centerOnScreen(QWidget* form, const QWidget* owner) {
    if (QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        form->move(screen->geometry().center() - form->rect().center());
}

} // namespace vemui
