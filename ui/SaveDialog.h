// The save dialog shared by both save commands, and the one of the
// transparent PNG export, built alike.
#pragma once

#include <QFileDialog>
#include <QString>

namespace vemui {

// What sets one save dialog apart from another: its object name, the name
// it proposes first, its file types in the program's filter text, and the
// extension given to a typed name that has none (empty: none is added).
struct SaveDialogKind {
    const char* ObjectName;
    const char* FirstName;
    const char* FilterText;
    const char* DefaultSuffix;
};
// The BMP saves: the name is used exactly as typed.
inline constexpr SaveDialogKind BmpSaveKind{"SaveDialog", "hoho.bmp", "bmp|*.bmp;", ""};
inline constexpr SaveDialogKind PngExportKind{"PngSaveDialog", "hoho.png", "PNG画像 (*.png)|*.png;", "png"};

// One dialog of each kind for the whole run, so that either save command
// proposes the name the other one chose last. Replacing an existing file
// asks nothing.
class TSaveDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TSaveDialog(QWidget* owner, const SaveDialogKind& kind = BmpSaveKind);

    // Shows the dialog modally, proposing FileName(); true when the user
    // accepted a name, which then becomes FileName() (kept even when the save
    // that follows fails).
    bool Execute();
    // The kind's first name ("hoho.bmp") until a name is accepted, then the
    // full path accepted last.
    const QString& FileName() const { return fileName_; }

private:
    QString fileName_;
};

} // namespace vemui
