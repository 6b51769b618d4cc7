#include "LoadTargetDialog.h"

#include <tuple>

#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "Application.h"
#include "ErrorDisplay.h"
#include "FormControls.h"

namespace vemui {

TOKBottomDlg::TOKBottomDlg(QWidget* owner)
    : QDialog(owner, FixedDialogFlags) {
    prepareFixedDialog(this, "OKBottomDlg", "ダイアログ", QSize(313, 214), 12);
    createControls();
    QWidget::setTabOrder(OKBtn, CancelBtn);
    QWidget::setTabOrder(CancelBtn, RadioButton1);
    QWidget::setTabOrder(RadioButton1, RadioButton2);
    OKBtn->setFocus();
    centerOnScreen(this, owner);
    FormCreate();
}

void TOKBottomDlg::createControls() {
    std::tie(OKBtn, CancelBtn, Bevel1) =
        makeOkCancelFrame(this, QRect(79, 180, 75, 25), QRect(159, 180, 75, 25), QRect(8, 8, 297, 161));

    RadioButton1 = named(new QRadioButton(QString::fromUtf8("原画として読み込む"), this), "RadioButton1");
    RadioButton1->setGeometry(24, 24, 265, 17);
    RadioButton1->setChecked(true);
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) Guarded([this] { RadioButton1Click(); });
    });

    RadioButton2 = named(new QRadioButton(QString::fromUtf8("編集用として読み込む"), this), "RadioButton2");
    RadioButton2->setGeometry(24, 64, 265, 17);
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) Guarded([this] { RadioButton2Click(); });
    });
}

void TOKBottomDlg::reject() { done(2); }

void TOKBottomDlg::FormCreate() { LoadTarget = 1; }
void TOKBottomDlg::RadioButton1Click() { LoadTarget = 1; }
void TOKBottomDlg::RadioButton2Click() { LoadTarget = 2; }

} // namespace vemui
