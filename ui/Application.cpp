#include "Application.h"

#include <exception>

#include <QFont>
#include <QLibraryInfo>
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

} // namespace

bool PrepareApplication(QApplication& app) {
    disableSettingsFiles();
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
