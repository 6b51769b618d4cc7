// The main window's side of files dragged from a file manager: the drop is
// taken at once, and the load-target dialog and the load run afterwards.
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "ErrorDisplay.h"
#include "LoadTargetDialog.h"
#include "MainForm.h"

namespace {

// The local files of a drop, in the order the drop lists them. Anything that
// is not a local file (a web address, plain text) does not count.
QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls)
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

} // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedFiles(event->mimeData()).isEmpty()) return event->ignore();
    event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedFiles(event->mimeData()).isEmpty()) return event->ignore();
    event->acceptProposedAction();
}

// The file manager that started the drag waits until this returns: a modal
// dialog here would hold it. The names are copied out of the drop, which is
// then finished, and the dialog runs as the next event.
void TMainForm::dropEvent(QDropEvent* event) {
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty()) return event->ignore();
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, files] { vemui::Guarded([&] { WMDropFiles(files); }); });
}

// The dialog is gone before the load starts, so a failed load's box never
// stands above it. Files after the first are ignored without a word.
void TMainForm::WMDropFiles(const QStringList& fileNames) {
    int target = 0;
    {
        vemui::TOKBottomDlg dialog(this);
        if (dialog.exec() != 1) return;
        target = dialog.LoadTarget;
    }
    if (!fileNames.isEmpty()) LoadByTarget(target, fileNames.first());
}
