// Building a form's controls.
#pragma once

#include <functional>
#include <tuple>
#include <utility>

#include <QDialog>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QWidget>

#include "Application.h"

namespace vemui {

// A control keeps its form name as its object name, so that tests and the
// code find it by that name.
template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The frame of the program's fixed-size dialogs: a title bar with the close
// box only, no minimise or maximise box, not resizable.
inline constexpr Qt::WindowFlags FixedDialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                                    Qt::MSWindowsFixedSizeDialogHint;

// What the fixed dialogs set up alike (their frame is FixedDialogFlags, given
// to the QDialog constructor): object name, caption, the form font at
// FONTPIXELS (0: the font's own size) and the fixed size.
inline void prepareFixedDialog(QDialog* dialog, const char* name, const char* caption, QSize size,
                               int fontPixels = 0) {
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setWindowTitle(QString::fromUtf8(caption));
    QFont font(QString::fromUtf8(FormFontFamily));
    if (fontPixels > 0) font.setPixelSize(fontPixels);
    dialog->setFont(font);
    dialog->setFixedSize(size);
}

// A label sized to its text, with its top-left corner at (LEFT, TOP).
inline QLabel* makeLabel(QWidget* parent, const char* name, const char* text, int left, int top) {
    auto* label = named(new QLabel(QString::fromUtf8(text), parent), name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// Calls ACTION whenever TARGET is about to receive an event of TYPE (the
// first time only, with ONCE). The hook is a child of TARGET and goes with it.
class EventHook : public QObject {
public:
    EventHook(QObject* target, QEvent::Type type, std::function<void()> action, bool once)
        : QObject(target), type_(type), action_(std::move(action)), once_(once) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent() || event->type() != type_) return false;
        if (once_) {
            watched->removeEventFilter(this);
            deleteLater();
        }
        action_();
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void()> action_;
    bool once_;
};

inline void onEvent(QObject* target, QEvent::Type type, std::function<void()> action, bool once = false) {
    new EventHook(target, type, std::move(action), once);
}

// Centres a fixed-size form on the screen of its owner (the primary screen
// without one), as the program's dialogs open.
inline void centerOnScreen(QWidget* form, const QWidget* owner) {
    if (QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        form->move(screen->geometry().center() - form->rect().center());
}

// The OK and Cancel buttons and the sunken frame behind the choices that the
// program's dialogs share, in that order (for std::tie). OK is the default
// button and ends the dialog with 1, Cancel with 2, both through done() so
// that a dialog's own checks run.
inline std::tuple<QPushButton*, QPushButton*, QFrame*> makeOkCancelFrame(QDialog* dialog, const QRect& ok,
                                                                         const QRect& cancel, const QRect& bevel) {
    auto* okButton = named(new QPushButton(QStringLiteral("OK"), dialog), "OKBtn");
    okButton->setGeometry(ok);
    okButton->setDefault(true);
    QObject::connect(okButton, &QPushButton::clicked, dialog, [dialog] { dialog->done(1); });

    auto* cancelButton = named(new QPushButton(QString::fromUtf8("キャンセル"), dialog), "CancelBtn");
    cancelButton->setGeometry(cancel);
    QObject::connect(cancelButton, &QPushButton::clicked, dialog, [dialog] { dialog->done(2); });

    auto* frame = named(new QFrame(dialog), "Bevel1");
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(bevel);
    frame->lower();
    return {okButton, cancelButton, frame};
}

} // namespace vemui
