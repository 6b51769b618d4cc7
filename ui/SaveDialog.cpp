#include "SaveDialog.h"

#include "FileDialogCommon.h"

namespace vemui {

TSaveDialog::TSaveDialog(QWidget* owner, const SaveDialogKind& kind)
    : QFileDialog(owner), fileName_(QString::fromUtf8(kind.FirstName)) {
    setObjectName(QString::fromLatin1(kind.ObjectName));
    PrepareFileDialog(this);
    setAcceptMode(QFileDialog::AcceptSave);
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setNameFilters(NameFiltersFromFilterText(kind.FilterText));
    // Qt adds it only to a name without a "." in it.
    setDefaultSuffix(QString::fromLatin1(kind.DefaultSuffix));
}

// Only the name is proposed again: selecting the name filter anew would make
// Qt swap a typed extension for the filter's.
bool TSaveDialog::Execute() {
    selectFile(fileName_);
    if (exec() != QDialog::Accepted) return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
    fileName_ = chosen.first();
    return true;
}

} // namespace vemui
