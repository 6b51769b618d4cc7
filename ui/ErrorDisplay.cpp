#include "ErrorDisplay.h"

#include <new>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "core/base/Errors.h"

namespace vemui {
namespace {

std::function<void(const QString&, const QString&)>& boxHook() {
    static std::function<void(const QString&, const QString&)> hook;
    return hook;
}

// What a cancelled mode ends on the platform the program comes from: a
// drag holding the mouse, a keyboard grab, a button held down (it must not
// fire when the mouse is released over it after the box), an open menu.
void cancelModes() {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    if (QWidget* grabber = QWidget::keyboardGrabber()) grabber->releaseKeyboard();
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* w : widgets)
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->isDown()) button->setDown(false);
    // A popup that refuses to close must not keep us here.
    for (int i = 0; i < 16; ++i) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) break;
        popup->close();
    }
}

QWidget* boxOwner() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    if (QWidget* w = QApplication::activeWindow()) return w;
    return ApplicationWindow();
}

std::string messageOf(const std::exception& e) {
    if (auto* ve = dynamic_cast<const vem::Exception*>(&e)) return ve->Message;
    if (dynamic_cast<const std::bad_alloc*>(&e)) return vem::msg::OutOfMemory;
    return e.what();
}

} // namespace

QWidget* ApplicationWindow() {
    const QWidgetList tops = QApplication::topLevelWidgets();
    for (QWidget* w : tops)
        if (qobject_cast<QMainWindow*>(w)) return w;
    return nullptr;
}

QString ErrorBoxTextOf(const std::exception& e) { return QString::fromStdString(vem::ErrorBoxText(messageOf(e))); }

QString ErrorBoxTitle() {
    const QByteArray path = QCoreApplication::applicationFilePath().toUtf8();
    return QString::fromStdString(vem::ApplicationTitle(path.toStdString()));
}

void SetErrorBoxHook(std::function<void(const QString& title, const QString& text)> hook) {
    boxHook() = std::move(hook);
}

void ShowError(const std::exception& e) {
    cancelModes();
    const QString text = ErrorBoxTextOf(e);
    const QString title = ErrorBoxTitle();
    if (boxHook()) {
        boxHook()(title, text);
        return;
    }
    QPointer<QWidget> focus = QApplication::focusWidget();
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, boxOwner());
    // Messages carry file paths, which may contain '<' or '&': never rich text.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (focus && focus->isVisible()) {
        focus->activateWindow();
        focus->setFocus(Qt::OtherFocusReason);
    }
}

} // namespace vemui
