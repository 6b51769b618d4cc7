#include "Application.h"

#include <exception>

#include <QDialog>
#include <QEvent>
#include <QFont>
#include <QLibraryInfo>
#include <QMetaObject>
#include <QSettings>
#include <QTranslator>

#include "ErrorDisplay.h"

namespace vemui {
namespace {

// Below a regular file nothing can be created or opened, whoever runs us
// (root included), so QSettings reads nothing and its writes fail quietly.
constexpr const char* NoSettingsPath = "/proc/self/exe/none";

void disableSettingsFiles() {
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, QString::fromLatin1(NoSettingsPath));
}

// Brings every dialog back whenever the window manager minimises it. The
// program's dialogs ask for the close box alone, but some window managers
// add a minimise button to every window anyway; a modal dialog minimised
// there takes the whole program off the screen with it, with no way back on
// a desktop without a task bar.
class RestoreMinimizedDialogs : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::WindowStateChange) return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        // Not from inside the change: the window system is still busy
        // minimising the window.
        if (dialog && dialog->isMinimized())
            QMetaObject::invokeMethod(
                dialog,
                [dialog] {
                    if (!dialog->isMinimized()) return;
                    dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
                    dialog->activateWindow();
                },
                Qt::QueuedConnection);
        return false;
    }
};

} // namespace

bool PrepareApplication(QApplication& app) {
    disableSettingsFiles();
    app.installEventFilter(new RestoreMinimizedDialogs(&app));
    QFont::insertSubstitution(QString::fromUtf8(FormFontFamily), QString::fromUtf8(JapaneseFontFamily));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    return true;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) { PrepareApplication(*this); }

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowError(e);
        return true;
    }
}

} // namespace vemui
