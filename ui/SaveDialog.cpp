#include "SaveDialog.h"

#include "FileDialogCommon.h"

namespace vemui {

TSaveDialog::TSaveDialog(QWidget* owner)
    : QFileDialog(owner), fileName_(QStringLiteral("hoho.bmp")) {
    setObjectName(QStringLiteral("SaveDialog"));
    PrepareFileDialog(this);
    setAcceptMode(QFileDialog::AcceptSave);
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setNameFilters(NameFiltersFromFilterText("bmp|*.bmp;"));
}

// Only the name is proposed again: selecting the name filter anew would make
// Qt swap a typed extension for ".bmp".
bool TSaveDialog::Execute() {
    selectFile(fileName_);
    if (exec() != QDialog::Accepted) return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
    fileName_ = chosen.first();
    return true;
}

} // namespace vemui
