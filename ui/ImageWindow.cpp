#include "ImageWindow.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionTitleBar>
#include <QWindowStateChangeEvent>

#include "FormControls.h"

namespace {

// The window's client area: button-face background, as large as the picture
// control it holds, so the frame can size itself around it.
class TClientArea : public QWidget {
public:
    explicit TClientArea(QWidget* parent) : QWidget(parent) {
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Button));
        setPalette(pal);
    }
    QSize sizeHint() const override {
        const QWidget* image = findChild<QWidget*>(QStringLiteral("Image1"), Qt::FindDirectChildrenOnly);
        return image ? image->size() : QSize(1, 1);
    }
    QSize minimumSizeHint() const override { return QSize(0, 0); }
};

// Qt's MDI windows have no tool-window frame of their own: this style makes
// their title bar show the caption (in the small caption font) and the close
// box only. Qt draws the close box only with the system-menu hint, so the
// system-menu icon is left out here instead.
class TToolWindowStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        QRect r = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control == CC_TitleBar && sub == SC_TitleBarSysMenu) return QRect();
        if (control == CC_TitleBar && sub == SC_TitleBarLabel && r.isValid()) r.setLeft(option->rect.left() + 4);
        return r;
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        if (control == CC_TitleBar) {
            if (const auto* bar = qstyleoption_cast<const QStyleOptionTitleBar*>(option)) {
                QStyleOptionTitleBar thin(*bar);
                thin.subControls &= ~SC_TitleBarSysMenu;
                QProxyStyle::drawComplexControl(control, &thin, painter, widget);
                return;
            }
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
};

// One style for all image windows, living as long as the application, so no
// window can outlive the style it draws with.
QStyle* toolWindowStyle() {
    static QPointer<TToolWindowStyle> style;
    if (!style) {
        style = new TToolWindowStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

TMDIChild::TMDIChild(vem::TImageSlot& slot) : QMdiSubWindow(nullptr), slot_(slot) {
    setObjectName(QStringLiteral("MDIChild%1").arg(slot.Number()));
    client_ = new TClientArea(this);
    image1_ = vemui::named(new vemui::TPictureView(slot.Image1, client_), "Image1");
    image1_->move(0, 0);
    connect(image1_, &vemui::TPictureView::Pressed, this, &TMDIChild::Image1MouseDown);
    setWidget(client_);
    setWindowTitle(QString::fromStdString(slot.Caption()));
    slot_.Image1.OnChange = [this] { imageChanged(); };
    slot_.OnCaptionChange = [this] { captionChanged(); };
    // A tool window: thin title bar with the close box only.
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setStyle(toolWindowStyle());
    fitToContent();
}

TMDIChild::~TMDIChild() {
    slot_.Image1.OnChange = nullptr;
    slot_.OnCaptionChange = nullptr;
}

QString TMDIChild::KindName() const { return QStringLiteral("avrav"); }

QString TMDIChild::SlotKindName() const { return QString::fromStdString(slot_.KindName()); }

QSize TMDIChild::ClientSize() const {
    // A widget can be no larger than Qt's limit; a picture that large at a
    // high zoom is shown up to that limit.
    const auto scaled = [&](int size) {
        return static_cast<int>(std::min<qint64>(Zoom().Scaled(size), QWIDGETSIZE_MAX));
    };
    return QSize(scaled(slot_.Image1.Width()), scaled(slot_.Image1.Height()));
}

void TMDIChild::SetZoom(const vemui::TZoom& zoom) {
    image1_->SetZoom(zoom);
    imageChanged();
}

int TMDIChild::TitleBarWidth() const {
    QStyleOptionTitleBar bar;
    bar.initFrom(this);
    bar.text = windowTitle();
    bar.titleBarFlags = windowFlags();
    bar.subControls = QStyle::SC_TitleBarLabel | QStyle::SC_TitleBarCloseButton;
    const int probe = 1000;
    bar.rect = QRect(0, 0, probe, style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, this));
    const QRect label = style()->subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarLabel, this);
    // The frame shortens the caption to the label's width less a space, and
    // some styles draw it in bold: measured in bold, with that space.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    return probe - label.width() + metrics.horizontalAdvance(bar.text) + 2 * metrics.horizontalAdvance(QLatin1Char(' '));
}

void TMDIChild::Image1MouseDown(Qt::MouseButton button, int x, int y) { emit Pressed(slot_, button, x, y); }

void TMDIChild::closeEvent(QCloseEvent* event) {
    // The slot must live as long as the main window, so the window only
    // hides; the window list of the main window brings it back.
    event->ignore();
    hide();
}

void TMDIChild::changeEvent(QEvent* event) {
    if (event->type() != QEvent::WindowStateChange) return QMdiSubWindow::changeEvent(event);
    const Qt::WindowStates was = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    const bool minimizing = !(was & Qt::WindowMinimized) && isMinimized();
    const bool restoring = (was & Qt::WindowMinimized) && !isMinimized() && !isMaximized();
    // Qt's frame has not moved the window yet: this is its normal place.
    if (minimizing && !(was & Qt::WindowMaximized)) normalGeometry_ = geometry();
    QMdiSubWindow::changeEvent(event);
    // A minimised window comes back from its own bar (a double click, its
    // restore button, its system menu), which Qt offers only to windows with
    // a minimise button; the normal frame keeps the close box alone. Changing
    // the buttons makes Qt restore the window at its minimised width, so the
    // window goes back to the place it had itself.
    if (windowFlags().testFlag(Qt::WindowMinimizeButtonHint) != isMinimized())
        setWindowFlag(Qt::WindowMinimizeButtonHint, isMinimized());
    if (restoring && normalGeometry_.isValid()) setGeometry(normalGeometry_);
    if (fitPending_ && !isMinimized() && !isMaximized()) fitToContent();
}

void TMDIChild::imageChanged() {
    image1_->PictureChanged();
    const QSize extent = ClientSize();
    if (image1_->size() != extent) {
        image1_->setFixedSize(extent);
        fitToContent();
    }
}

void TMDIChild::captionChanged() {
    setWindowTitle(QString::fromStdString(slot_.Caption()));
    if (width() < TitleBarWidth()) fitToContent();
}

void TMDIChild::fitToContent() {
    if (isMinimized() || isMaximized()) {
        fitPending_ = true;
        return;
    }
    fitPending_ = false;
    client_->updateGeometry();
    resize(sizeHint());
}

// Qt would let a window with a small picture cut its caption short.
QSize TMDIChild::sizeHint() const {
    const QSize content = QMdiSubWindow::sizeHint();
    return QSize(std::max(content.width(), TitleBarWidth()), content.height());
}
