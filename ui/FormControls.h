// Building a form's controls.
#pragma once

#include <functional>
#include <utility>

#include <QDialog>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QObject>
#include <QPushButton>
#include <QRect>
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

// The frame of the program's fixed-size dialogs: a title bar with the close
// box only, no minimise or maximise box, not resizable.
inline constexpr Qt::WindowFlags FixedDialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                                    Qt::MSWindowsFixedSizeDialogHint;

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
// program's dialogs share. OK is the default button and ends the dialog with
// 1, Cancel with 2, both through done() so that a dialog's own checks run.
struct OkCancelFrame {
    QPushButton* OK;
    QPushButton* Cancel;
    QFrame* Bevel;
};

inline OkCancelFrame makeOkCancelFrame(QDialog* dialog, const QRect& ok, const QRect& cancel, const QRect& bevel) {
    OkCancelFrame c{};
    c.OK = named(new QPushButton(QStringLiteral("OK"), dialog), "OKBtn");
    c.OK->setGeometry(ok);
    c.OK->setDefault(true);
    QObject::connect(c.OK, &QPushButton::clicked, dialog, [dialog] { dialog->done(1); });

    c.Cancel = named(new QPushButton(QString::fromUtf8("キャンセル"), dialog), "CancelBtn");
    c.Cancel->setGeometry(cancel);
    QObject::connect(c.Cancel, &QPushButton::clicked, dialog, [dialog] { dialog->done(2); });

    c.Bevel = named(new QFrame(dialog), "Bevel1");
    c.Bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    c.Bevel->setGeometry(bevel);
    c.Bevel->lower();
    return c;
}

} // namespace vemui
