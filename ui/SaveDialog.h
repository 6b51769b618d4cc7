// The save dialog shared by both save commands.
#pragma once

#include <QFileDialog>
#include <QString>

namespace vemui {

// One dialog for the whole run, so that either save command proposes the
// name the other one chose last. The name is used exactly as typed: no
// extension is added and replacing an existing file asks nothing.
class TSaveDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TSaveDialog(QWidget* owner);

    // Shows the dialog modally, proposing FileName(); true when the user
    // accepted a name, which then becomes FileName() (kept even when the save
    // that follows fails).
    bool Execute();
    // "hoho.bmp" until a name is accepted, then the full path accepted last.
    const QString& FileName() const { return fileName_; }

private:
    QString fileName_;
};

} // namespace vemui
