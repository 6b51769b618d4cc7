#include "OpenPictureDialog.h"

#include <algorithm>
#include <exception>

#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <qdrawutil.h>

#include "core/formats/FileFormats.h"
#include "core/pixels/Bitmap.h"
#include "ErrorDisplay.h"
#include "FileDialogCommon.h"
#include "FormControls.h"
#include "PictureView.h"

namespace vemui {
namespace {

const char* const NoPictureText = "(なし)";
const char* const PictureLabelText = "画像:";

// The pane's width: what the file list leaves of the dialog's designed width.
constexpr int PaneWidth = 168;
constexpr int PaneBorder = 6;
constexpr int LabelRowHeight = 23;

// The preview window's panel: a one-pixel line and a five-pixel border
// around the picture.
constexpr int PreviewLine = 1;
constexpr int PreviewBorder = 5;

QString utf8(const char* text) { return QString::fromUtf8(text); }

// A picture shown stretched to fit, keeping its aspect ratio, centred. A
// bitmap with a size but no pixels that can be read says so; icons and
// metafiles are never drawn by the program and leave the area blank.
TPictureView* newPreviewView(QWidget* parent, const char* name) {
    auto* view = named(new TPictureView(0, 0, parent), name);
    view->Image().Stretch = true;
    view->Image().Proportional = true;
    view->Image().Center = true;
    view->SetSaysWhenInvalid(true);
    return view;
}

} // namespace

QPixmap DrawPreviewGlyph() {
    QPixmap glyph(16, 16);
    glyph.fill(Qt::transparent);
    QPainter p(&glyph);
    // The framed landscape: sky, a green hill, a black frame.
    p.fillRect(1, 1, 11, 9, QColor(160, 210, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 150, 40));
    p.drawPolygon(QPolygon({QPoint(1, 10), QPoint(5, 5), QPoint(8, 8), QPoint(12, 4), QPoint(12, 10)}));
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, 12, 10);
    // The magnifying glass over its lower right corner.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(QColor(255, 255, 255, 140));
    p.drawEllipse(QRectF(6.5, 6.5, 6, 6));
    p.setPen(QPen(QColor(120, 70, 20), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.2, 12.2), QPointF(14.8, 14.8));
    return glyph;
}

TCaptionPanel::TCaptionPanel(QWidget* parent) : QFrame(parent) {
    // Two bevels of one pixel each.
    setContentsMargins(2, 2, 2, 2);
}

void TCaptionPanel::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void TCaptionPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    qDrawShadeRect(&painter, rect(), pal, true, 1);               // the lowered outer bevel
    qDrawShadeRect(&painter, rect().adjusted(1, 1, -1, -1), pal, false, 1); // the raised inner one
    if (!caption_.isEmpty()) painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
}

TPreviewForm::TPreviewForm(const vem::TPicture& picture, QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(utf8("プレビュー"));
    setAttribute(Qt::WA_DeleteOnClose);

    Panel = named(new QFrame(this), "Panel");
    Panel->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel->setLineWidth(PreviewLine);
    Panel->setContentsMargins(PreviewBorder, PreviewBorder, PreviewBorder, PreviewBorder);
    Panel->setBackgroundRole(QPalette::Base);
    Panel->setAutoFillBackground(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Panel);

    Image = newPreviewView(Panel, "Image");
    auto* inner = new QVBoxLayout(Panel);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(Image);
    Image->Image().Picture().AssignGraphic(picture.Graphic());

    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect monitor = screen ? screen->geometry() : QRect(0, 0, 640, 480);
    QSize client(monitor.width() / 2, monitor.height() / 2);
    if (picture.Width() > 0) {
        // The client minus the panel's client is the panel's frame; the
        // picture gets 10 more pixels of room, up to three quarters of the
        // monitor. 64-bit, as a hostile picture may be as wide as an int.
        const qint64 frame = 2 * (PreviewLine + PreviewBorder);
        const auto side = [frame](int monitorSide, int pictureSide) {
            return static_cast<int>(std::min<qint64>(qint64(monitorSide) * 3 / 4, frame + pictureSide + 10));
        };
        client = QSize(side(monitor.width(), picture.Width()), side(monitor.height(), picture.Height()));
    }
    resize(client);
    move(monitor.center() - QPoint(client.width() / 2, client.height() / 2));
}

TOpenPictureDialog::TOpenPictureDialog(QWidget* owner) : QFileDialog(owner) {
    setObjectName(QStringLiteral("OpenDialog"));
    PrepareFileDialog(this);
    setAcceptMode(QFileDialog::AcceptOpen);
    setSizeGripEnabled(true);
    setNameFilters(NameFiltersFromFilterText(vem::TFileFormatsList::Instance().FilterText()));
    filter_ = nameFilters().value(0);
    createPreviewPane();
    connect(this, &QFileDialog::currentChanged, this, [this](const QString& path) {
        Guarded([&] { DoSelectionChange(path); });
    });
    ResetPreview();
}

void TOpenPictureDialog::createPreviewPane() {
    PicturePanel = named(new QFrame(this), "PicturePanel");
    PicturePanel->setFrameStyle(QFrame::NoFrame);
    PicturePanel->setContentsMargins(PaneBorder, PaneBorder, PaneBorder, PaneBorder);
    PicturePanel->setFixedWidth(PaneWidth);
    auto* column = new QVBoxLayout(PicturePanel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout();
    header->setContentsMargins(0, 0, 2, 0);
    PictureLabel = named(new QLabel(PicturePanel), "PictureLabel");
    PictureLabel->setFixedHeight(LabelRowHeight);
    PictureLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->addWidget(PictureLabel, 1);

    PreviewButton = named(new QToolButton(PicturePanel), "PreviewButton");
    PreviewButton->setFixedSize(23, 22);
    PreviewButton->setIcon(QIcon(DrawPreviewGlyph()));
    PreviewButton->setIconSize(QSize(16, 16));
    PreviewButton->setAutoRaise(true);
    PreviewButton->setToolTip(utf8("プレビュー"));
    connect(PreviewButton, &QToolButton::clicked, this, [this] { Guarded([this] { PreviewClick(); }); });
    header->addWidget(PreviewButton, 0, Qt::AlignTop);
    column->addLayout(header);

    PaintPanel = named(new TCaptionPanel(PicturePanel), "PaintPanel");
    auto* area = new QVBoxLayout(PaintPanel);
    area->setContentsMargins(0, 0, 0, 0);
    PaintBox = newPreviewView(PaintPanel, "PaintBox");
    connect(PaintBox, &TPictureView::DoubleClicked, this, [this] { Guarded([this] { PreviewClick(); }); });
    area->addWidget(PaintBox);
    column->addWidget(PaintPanel, 1);

    // Qt's widget dialog lays its parts out on a grid whose second row holds
    // the folder bar and the file list; the pane takes a new column there.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(PicturePanel, 1, grid->columnCount(), 1, 1);
    } else {
        auto* box = qobject_cast<QBoxLayout*>(layout());
        if (box) box->addWidget(PicturePanel);
    }
}

bool TOpenPictureDialog::Execute() {
    ResetPreview();
    selectNameFilter(filter_);
    if (!fileName_.isEmpty()) selectFile(fileName_);
    if (exec() != QDialog::Accepted) return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
    fileName_ = chosen.first();
    filter_ = selectedNameFilter();
    return true;
}

void TOpenPictureDialog::done(int result) {
    QToolTip::hideText();
    QFileDialog::done(result);
}

void TOpenPictureDialog::ResetPreview() {
    lastPreviewed_.clear();
    PaintBox->Image().Picture().AssignGraphic(nullptr);
    PaintPanel->SetCaption(utf8(NoPictureText));
    PictureLabel->setText(utf8(PictureLabelText));
    PreviewButton->setEnabled(false);
}

void TOpenPictureDialog::showNoPreview() {
    PictureLabel->setText(utf8(PictureLabelText));
    PreviewButton->setEnabled(false);
    PaintBox->Image().Picture().AssignGraphic(nullptr);
    PaintPanel->SetCaption(utf8(NoPictureText));
}

// Browsing is not loading: whatever stops a selection from being read (a
// folder, a text file, a damaged or unreadable picture) only means there is
// nothing to preview, so no failure leaves this function.
void TOpenPictureDialog::DoSelectionChange(const QString& path) {
    if (path == lastPreviewed_) return;
    lastPreviewed_ = path;
    if (!QFileInfo(path).isFile()) {
        showNoPreview();
        return;
    }
    vem::TPicture& picture = PaintBox->Image().Picture();
    try {
        picture.LoadFile(LocalFileName(path));
    } catch (const std::exception&) {
        showNoPreview();
        return;
    }
    PictureLabel->setText(QStringLiteral(" (%1x%2)").arg(picture.Width()).arg(picture.Height()));
    PreviewButton->setEnabled(true);
    PaintPanel->SetCaption(QString());
}

void TOpenPictureDialog::PreviewClick() {
    if (!PaintBox->Image().Picture().Graphic()) return;
    auto* form = new TPreviewForm(PaintBox->Image().Picture(), this);
    form->exec();
}

} // namespace vemui
