// The start-up of the program's forms in their fixed order, and their end.
#include <QApplication>
#include <QFont>

#include "AboutBox.h"
#include "ImageWindows.h"
#include "MainForm.h"

TMainForm* MainForm = nullptr;
vemui::TAboutBox* AboutBox = nullptr;

void CreateApplicationForms() {
    // The image windows' captions use the small caption font.
    QFont caption = QApplication::font("QMdiSubWindowTitleBar");
    caption.setPixelSize(11);
    QApplication::setFont(caption, "QMdiSubWindowTitleBar");
    MainForm = new TMainForm();
    AboutBox = new vemui::TAboutBox(MainForm);
    AboutBox->hide();
    MDIChild1 = new TMDIChild1(MainForm->Workspace.Original);
    MainForm->AddImageWindow(MDIChild1);
    MDIChild1->show();
    MDIChild2 = new TMDIChild2(MainForm->Workspace.Editing);
    MainForm->AddImageWindow(MDIChild2);
    MDIChild2->show();
    MDIChild3 = new TMDIChild3(MainForm->Workspace.Finished);
    MainForm->AddImageWindow(MDIChild3);
    MDIChild3->show();
}

void DestroyApplicationForms() {
    MDIChild1 = nullptr;
    MDIChild2 = nullptr;
    MDIChild3 = nullptr;
    AboutBox = nullptr;
    delete MainForm;
    MainForm = nullptr;
}
