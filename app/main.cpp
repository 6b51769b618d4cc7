// Start-up: the application object, the command line, the program's forms in
// their fixed order, then the event loop until the main window closes.
#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>
#include <QTimer>

#include "ui/Application.h"
#include "ui/ErrorDisplay.h"
#include "ui/MainForm.h"
#include "vem_version.h"

namespace {

// The command line, described once for the text-only answers and the program.
void describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral("Cut out and mask pictures by comparing them or by similar colour."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Picture opened as the original picture (原画) after start-up."),
                                 QStringLiteral("[FILE]"));
}

bool asksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" || arg == "--version")
            return true;
    }
    return false;
}

// --help and --version only print, so they are answered before anything
// connects to a display: they work on a text console and over ssh too.
[[noreturn]] void answerWithText(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(VEM_VERSION));
    QCommandLineParser parser;
    describeCommandLine(parser);
    // Qt's display options (-platform and the like) are unknown to a core
    // application; they change nothing about the text, so the parse result is
    // not needed: the help and version options are read all the same.
    static_cast<void>(parser.parse(QCoreApplication::arguments()));
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    parser.showHelp(0);
}

} // namespace

int main(int argc, char** argv) {
    if (asksForTextOnly(argc, argv)) answerWithText(argc, argv);

    vemui::TApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vem/vem.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("vem"));
    QApplication::setApplicationVersion(QStringLiteral(VEM_VERSION));

    // "Open with" from a file manager: vem FILE opens FILE as the original
    // picture; of several files the first counts, as with a drop. Qt's own
    // options (-platform and the like) are taken out by the application object.
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);
    const QStringList files = parser.positionalArguments();

    CreateApplicationForms();
    MainForm->show();
    if (!files.isEmpty()) {
        // Once the windows are shown, by the open command's road with
        // "原画を読み込む" (original, then finished), whatever the combo box
        // shows; a failure goes to the error box and the program goes on.
        const QString file = QFileInfo(files.first()).absoluteFilePath();
        QTimer::singleShot(0, MainForm, [file] { vemui::Guarded([&] { MainForm->LoadByTarget(1, file); }); });
    }
    const int rc = app.exec();
    DestroyApplicationForms();
    return rc;
}
