// Start-up: the application object, the program's forms in their fixed
// order, then the event loop until the main window closes.
#include <QIcon>

#include "ui/Application.h"
#include "ui/MAIN.h"

int main(int argc, char** argv) {
    vemui::TApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vem/vem.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("vem"));
    CreateApplicationForms();
    MainForm->show();
    const int rc = app.exec();
    DestroyApplicationForms();
    return rc;
}
