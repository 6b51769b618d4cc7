// Start-up: the application object, the program's forms in their fixed
// order, then the event loop until the main window closes.
#include "ui/Application.h"
#include "ui/MAIN.h"

int main(int argc, char** argv) {
    vemui::TApplication app(argc, argv);
    CreateApplicationForms();
    MainForm->show();
    const int rc = app.exec();
    DestroyApplicationForms();
    return rc;
}
