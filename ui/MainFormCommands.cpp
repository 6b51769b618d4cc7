// The main window's commands: files, copies and the conversion command.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <QToolButton>

#include "AboutBox.h"
#include "export/PngExport.h"
#include "FileDialogCommon.h"
#include "ImageWindow.h"
#include "MainForm.h"
#include "OpenPictureDialog.h"
#include "SaveDialog.h"
#include "SettingsDialog.h"

int TMainForm::OpenTarget() const {
    // An edited text that is not the selected entry's leaves no entry selected.
    const int index = ComboBox1->currentIndex();
    if (index < 0 || ComboBox1->currentText() != ComboBox1->itemText(index)) return 0;
    return index + 1;
}

void TMainForm::FileOpen1Execute() {
    if (!OpenDialog->Execute()) return;
    LoadByTarget(OpenTarget(), OpenDialog->FileName());
}

void TMainForm::LoadByTarget(int target, const QString& fileName) {
    History.Run([&] { Workspace.LoadByTarget(target, vemui::LocalFileName(fileName)); });
}

void TMainForm::FileExit1Execute() { close(); }

void TMainForm::HelpAbout1Execute() {
    if (AboutBox) AboutBox->exec();
}

void TMainForm::saveSlot(vem::TImageSlot& slot) {
    if (!SaveDialog->Execute()) return;
    Workspace.SaveSlot(slot, vemui::LocalFileName(SaveDialog->FileName()));
}

// The progress shows in the caption, as a conversion's does.
void TMainForm::N5Click() {
    if (!PngSaveDialog->Execute()) return;
    vem::ExportFinishedPng(Workspace, vemui::LocalFileName(PngSaveDialog->FileName()));
}

void TMainForm::ToolButton12Click() { saveSlot(Workspace.Finished); }

void TMainForm::Button1Click() { saveSlot(Workspace.Editing); }

void TMainForm::Button2Click() {
    History.Run([&] { Workspace.CopyOriginalToEditing(); });
}

void TMainForm::Button3Click() {
    History.Run([&] { Workspace.CopyFinishedToOriginal(); });
}

void TMainForm::EditUndo1Execute() { History.Undo(); }

void TMainForm::EditRedo1Execute() { History.Redo(); }

void TMainForm::UpdateUndoItems() {
    EditUndo1->setEnabled(History.CanUndo());
    EditRedo1->setEnabled(History.CanRedo());
}

void TMainForm::clickToolBarControl(int position) {
    if (position < 0 || position >= ToolBarControls.size()) return;
    if (auto* button = qobject_cast<QAbstractButton*>(ToolBarControls[position])) button->click();
}

void TMainForm::N2Click() { clickToolBarControl(2); }

void TMainForm::N4Click() { clickToolBarControl(8); }

void TMainForm::CheckBox1Click() {
    if (CheckBox1->isChecked()) {
        CheckBox2->setEnabled(true);
    } else {
        CheckBox2->setEnabled(false);
        CheckBox2->setChecked(false);
    }
}

void TMainForm::ToolButton2Click() {
    vemui::TOKRightDlg dialog(Workspace.Settings, this);
    if (dialog.exec() != 1) return;
    History.Run([&] { Workspace.RunConversion(); });
    // Visible, but a minimised window stays minimised and is not activated.
    if (TMDIChild* finished = windowOf(Workspace.Finished)) finished->setVisible(true);
}
