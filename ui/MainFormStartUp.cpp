// The start-up of the program's forms in their fixed order, and their end.
#include <QApplication>
#include <QFont>

#include "AboutBox.h"
#include "ImageWindows.h"
#include "MainForm.h"

TMainForm* MainForm = nullptr;
vemui::TAboutBox* AboutBox = nullptr;

namespace {

// An image window of SLOT, joined to the main window's area and shown.
template <class Window>
Window* openImageWindow(vem::TImageSlot& slot) {
    auto* window = new Window(slot);
    MainForm->AddImageWindow(window);
    window->show();
    return window;
}

} // namespace

void CreateApplicationForms() {
    // The image windows' captions use the small caption font.
    QFont caption = QApplication::font("QMdiSubWindowTitleBar");
    caption.setPixelSize(11);
    QApplication::setFont(caption, "QMdiSubWindowTitleBar");
    MainForm = new TMainForm();
    AboutBox = new vemui::TAboutBox(MainForm);
    AboutBox->hide();
    MDIChild1 = openImageWindow<TMDIChild1>(MainForm->Workspace.Original);
    MDIChild2 = openImageWindow<TMDIChild2>(MainForm->Workspace.Editing);
    MDIChild3 = openImageWindow<TMDIChild3>(MainForm->Workspace.Finished);
}

void DestroyApplicationForms() {
    MDIChild1 = nullptr;
    MDIChild2 = nullptr;
    MDIChild3 = nullptr;
    AboutBox = nullptr;
    delete MainForm;
    MainForm = nullptr;
}
