// The picture open dialog: Qt's file dialog with a preview pane to the right
// of the file list, and the preview window it opens.
#pragma once


#include <QDialog>
#include <QFileDialog>
#include <QFrame>
#include <QString>
#include <QWidget>

#include "core/workspace/Picture.h"
#include "PictureView.h"

class QLabel;
class QToolButton;

namespace vemui {

// A panel with a raised inner and a lowered outer bevel and a caption
// centred in it.
class TCaptionPanel : public QFrame {
public:
    explicit TCaptionPanel(QWidget* parent);
    void SetCaption(const QString& caption);
    const QString& Caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

// The modal preview window: "プレビュー", a resizable tool window, centred on
// the screen, showing a copy of the picture; Esc or the close box closes it.
class TPreviewForm : public QDialog {
    Q_OBJECT

public:
    TPreviewForm(const vem::TPicture& picture, QWidget* owner);
    QFrame* Panel;
    TPictureView* Image;
};

class TOpenPictureDialog : public QFileDialog {
    Q_OBJECT
public:
    // Lives as long as OWNER; the main window keeps one for the whole run.
    explicit TOpenPictureDialog(QWidget* owner);

    // Shows the dialog modally with the type and the full path accepted last
    // (the first type and no name before any); true when the user accepted a
    // name, which need not exist.
    bool Execute();
    // Empty until a name is accepted, then the full path accepted last.
    const QString& FileName() const { return fileName_; }

    // Every road that closes the dialog ends here: any tool tip on show goes.
    void done(int result) override;

    // The preview of the selection PATH (a full path), skipped when PATH is
    // the one previewed last. Connected to currentChanged.
    void DoSelectionChange(const QString& path);
    // Back to "nothing previewed".
    void ResetPreview();
    // Opens the preview window for the picture on show; nothing without one.
    void PreviewClick();

    QFrame* PicturePanel;
    QLabel* PictureLabel;
    QToolButton* PreviewButton;
    TCaptionPanel* PaintPanel;
    TPictureView* PaintBox;

private:
    QString fileName_;
    QString filter_;
    QString lastPreviewed_;

    void createPreviewPane();
    void showNoPreview();
};

// The 16 x 16 glyph of the preview button: a framed landscape under a
// magnifying glass. Needs a QGuiApplication.
QPixmap DrawPreviewGlyph();

} // namespace vemui
