// The load-target dialog asked for each dropped file: original or editing
// picture.
#pragma once

#include <cstdint>

#include <QDialog>

class QFrame;
class QPushButton;
class QRadioButton;

namespace vemui {

class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* owner);

    // OK and Enter end with 1; Cancel, Esc and the close box with 2.
    void reject() override;

    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QFrame* Bevel1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    // The target LoadByTarget takes: 1 original (and finished), 2 editing.
    std::int32_t LoadTarget = 0;

private:
    void createControls();
    void FormCreate();
    void RadioButton1Click();
    void RadioButton2Click();
};

} // namespace vemui
