#include "SettingsDialog.h"

#include <cstdint>
#include <iterator>
#include <tuple>

#include <QApplication>
#include <QColorDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "Application.h"
#include "core/base/IntText.h"
#include "DialogPlacement.h"
#include "ErrorDisplay.h"
#include "FormControls.h"
#include "PictureView.h"

namespace vemui {
namespace {

constexpr int SwatchWidth = 41;
constexpr int SwatchHeight = 17;

QRadioButton* makeRadio(QWidget* parent, const char* name, const char* text, int top) {
    auto* radio = named(new QRadioButton(QString::fromUtf8(text), parent), name);
    radio->setGeometry(24, top, 145, 17);
    return radio;
}

// A colour swatch: a picture of its own, painted in the colour it shows.
TPictureView* makeSwatch(QWidget* parent, const char* name, int top) {
    auto* swatch = named(new TPictureView(SwatchWidth, SwatchHeight, parent), name);
    swatch->setFixedSize(SwatchWidth, SwatchHeight);
    swatch->move(512, top);
    return swatch;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, const QRect& bounds) {
    auto* edit = named(new QLineEdit(parent), name);
    edit->setGeometry(bounds);
    return edit;
}

} // namespace

TOKRightDlg::TOKRightDlg(vem::TConvSettings& settings, QWidget* owner)
    : QDialog(owner, FixedDialogFlags), settings_(settings) {
    prepareFixedDialog(this, "OKRightDlg", "ダイアログ", QSize(555, 171), 12);
    createControls();
    createColorDialog();
    createTabOrder();
    OKBtn->setFocus();
    centerOnScreen(this, owner);
    FormCreate();
}

void TOKRightDlg::createControls() {
    std::tie(OKBtn, CancelBtn, Bevel1) =
        makeOkCancelFrame(this, QRect(476, 8, 75, 25), QRect(476, 38, 75, 25), QRect(8, 8, 457, 161));

    // Siblings, so Qt makes them one exclusive group; none is checked at first.
    RadioButton1 = makeRadio(this, "RadioButton1", "一致部分を残す", 16);
    RadioButton2 = makeRadio(this, "RadioButton2", "一致部分を消す", 48);
    RadioButton3 = makeRadio(this, "RadioButton3", "指定色一致部分を残す", 80);
    RadioButton4 = makeRadio(this, "RadioButton4", "指定色一致部分を消す", 112);
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) { if (on) Guarded([this] { RadioButton1Click(); }); });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) { if (on) Guarded([this] { RadioButton2Click(); }); });
    connect(RadioButton3, &QRadioButton::toggled, this, [this](bool on) { if (on) Guarded([this] { RadioButton3Click(); }); });
    connect(RadioButton4, &QRadioButton::toggled, this, [this](bool on) { if (on) Guarded([this] { RadioButton4Click(); }); });

    Image1 = makeSwatch(this, "Image1", 72);
    connect(Image1, &TPictureView::Clicked, this, [this] { Guarded([this] { Image1Click(); }); });

    Label1 = makeLabel(this, "Label1", "指定色", 472, 72);

    RadioButton5 = makeRadio(this, "RadioButton5", "指定座標から近似色", 144);
    connect(RadioButton5, &QRadioButton::toggled, this, [this](bool on) { if (on) Guarded([this] { RadioButton5Click(); }); });

    Label2 = makeLabel(this, "Label2", "背景色", 472, 104);

    Image2 = makeSwatch(this, "Image2", 104);
    connect(Image2, &TPictureView::Clicked, this, [this] { Guarded([this] { Image2Click(); }); });

    Edit1 = makeEdit(this, "Edit1", QRect(384, 144, 41, 20));
    Edit2 = makeEdit(this, "Edit2", QRect(424, 144, 41, 20));
    Edit3 = makeEdit(this, "Edit3", QRect(272, 144, 33, 20));
    Edit4 = makeEdit(this, "Edit4", QRect(320, 144, 41, 20));

    Label4 = makeLabel(this, "Label4", "限界LV", 320, 128);
    Label3 = makeLabel(this, "Label3", "近似LV", 272, 128);
    Label5 = makeLabel(this, "Label5", "X", 384, 128);
    Label6 = makeLabel(this, "Label6", "Y", 424, 128);
}

void TOKRightDlg::createColorDialog() {
    ColorDialog1 = named(new QColorDialog(this), "ColorDialog1");
    ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);
    PlaceCommonDialogWhenShown(ColorDialog1);
    // Qt keeps custom colours for the whole process; a new settings dialog
    // starts with none defined, and those the user defines last as long as
    // this dialog's chooser is the one in use.
    for (int i = 0; i < QColorDialog::customCount(); ++i) QColorDialog::setCustomColor(i, QColor(Qt::white));
}

void TOKRightDlg::createTabOrder() {
    QWidget* const order[] = {OKBtn,        CancelBtn,    RadioButton1, RadioButton2, RadioButton3, RadioButton4,
                              RadioButton5, Edit1,        Edit2,        Edit3,        Edit4};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TOKRightDlg::FormCreate() {
    Edit1->setText(QString::number(settings_.PointX));
    Edit2->setText(QString::number(settings_.PointY));
    Edit3->setText(QString::number(settings_.ApproxLV));
    Edit4->setText(QString::number(settings_.LimitLV));
    paintSwatch(*Image1, settings_.TargetColor);
    paintSwatch(*Image2, settings_.BackColor);
}

// The limit level is converted before the approximation level although its
// field stands to the right; each value is stored as soon as its own field
// has converted, so a later failure leaves the earlier ones stored.
void TOKRightDlg::FormClose() {
    settings_.PointX = vem::StrToInt(Edit1->text().toStdString());
    settings_.PointY = vem::StrToInt(Edit2->text().toStdString());
    settings_.LimitLV = vem::StrToInt(Edit4->text().toStdString());
    settings_.ApproxLV = vem::StrToInt(Edit3->text().toStdString());
}

void TOKRightDlg::done(int result) {
    setResult(result);
    bool converted = false;
    Guarded([&] {
        FormClose();
        converted = true;
    });
    if (!converted) {
        setResult(0);
        return;
    }
    QDialog::done(result);
}

void TOKRightDlg::reject() { done(2); }

void TOKRightDlg::RadioButton1Click() { settings_.ConvMode = 0; }
void TOKRightDlg::RadioButton2Click() { settings_.ConvMode = 1; }
void TOKRightDlg::RadioButton3Click() { settings_.ConvMode = 2; }
void TOKRightDlg::RadioButton4Click() { settings_.ConvMode = 3; }
void TOKRightDlg::RadioButton5Click() { settings_.ConvMode = 4; }

void TOKRightDlg::Image1Click() {
    vem::TColor color;
    if (!chooseColor(color)) return;
    paintSwatch(*Image1, color);
    settings_.TargetColor = color;
}

void TOKRightDlg::Image2Click() {
    vem::TColor color;
    if (!chooseColor(color)) return;
    paintSwatch(*Image2, color);
    settings_.BackColor = color;
}

bool TOKRightDlg::chooseColor(vem::TColor& color) {
    ColorDialog1->setCurrentColor(chooserColor_);
    if (ColorDialog1->exec() != QDialog::Accepted) return false;
    chooserColor_ = ColorDialog1->selectedColor();
    color = vem::RGB(static_cast<std::uint8_t>(chooserColor_.red()), static_cast<std::uint8_t>(chooserColor_.green()),
                     static_cast<std::uint8_t>(chooserColor_.blue()));
    return true;
}

// The swatch is drawn as the platform's image control draws it: a blank
// bitmap of the control's size on first use, the brush set to the colour,
// one rectangle over the whole control, outlined by the default black pen.
void TOKRightDlg::paintSwatch(TPictureView& swatch, vem::TColor color) {
    vem::TImage& image = swatch.Image();
    vem::TCanvas& canvas = image.Surface();
    canvas.SetBrushColor(color);
    canvas.DrawRectangle(0, 0, image.Width(), image.Height());
    swatch.update();
}

} // namespace vemui
