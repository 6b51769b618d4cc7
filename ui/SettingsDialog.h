// The conversion settings dialog: mode, the two colours, the point and the
// two levels, written into the settings it is given.
#pragma once


#include <QColor>
#include <QDialog>
#include <QWidget>

#include "core/workspace/Picture.h"
#include "core/workspace/Workspace.h"
#include "PictureView.h"

class QColorDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vemui {

class TOKRightDlg : public QDialog {
    Q_OBJECT

public:
    // Settings must outlive the dialog; it is read by FormCreate and written
    // by every choice at the moment it is made.
    TOKRightDlg(vem::TConvSettings& settings, QWidget* owner);

    // Every road that closes the dialog (OK, Enter, Cancel, Esc, the close
    // box) ends here: the four fields are converted first, and a field that
    // is not an integer shows the error box and keeps the dialog open.
    void done(int result) override;
    void reject() override;

    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QFrame* Bevel1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;
    QRadioButton* RadioButton4;
    TPictureView* Image1;
    QColorDialog* ColorDialog1;
    QLabel* Label1;
    QRadioButton* RadioButton5;
    QLabel* Label2;
    TPictureView* Image2;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLabel* Label4;
    QLabel* Label3;
    QLabel* Label5;
    QLabel* Label6;

private:
    vem::TConvSettings& settings_;
    // The colour chooser's current colour: black at creation, then the colour
    // last accepted through either swatch. Not taken from the settings.
    QColor chooserColor_ = Qt::black;

    void createControls();
    void createColorDialog();
    void createTabOrder();
    void FormCreate();
    void FormClose();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void RadioButton4Click();
    void RadioButton5Click();
    void Image1Click();
    void Image2Click();
    // Runs the colour chooser; true with Color set when the user accepted.
    bool chooseColor(vem::TColor& color);
    void paintSwatch(TPictureView& swatch, vem::TColor color);
};

} // namespace vemui
