// The picture open dialog and its preview, driven while the dialog runs.
#include <functional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "Application.h"
#include "core/pixels/Bitmap.h"
#include "core/workspace/Picture.h"
#include "DialogPlacement.h"
#include "ErrorDisplay.h"
#include "FileDialogCommon.h"
#include "OpenPictureDialog.h"

using vemui::TOpenPictureDialog;

namespace {

using Steps = std::function<void(TOpenPictureDialog&)>;

bool runDialog(TOpenPictureDialog& dlg, Steps steps) {
    QTimer::singleShot(0, &dlg, [&dlg, steps] {
        QVERIFY(QApplication::activeModalWidget() == &dlg);
        steps(dlg);
    });
    return dlg.Execute();
}

// Runs F on the next modal window (the preview form) once it is open.
void onNextModal(std::function<void(QWidget*)> f) {
    QTimer::singleShot(0, [f] { f(QApplication::activeModalWidget()); });
}

// A W x H bitmap file in one colour, written by the program's own writer.
QString writeBmp(const QString& path, int w, int h, vem::TColor color) {
    vem::TBitmap bitmap;
    bitmap.SetWidth(w);
    bitmap.SetHeight(h);
    bitmap.Surface().SetBrushColor(color);
    bitmap.Surface().DrawRectangle(-1, -1, w + 1, h + 1);
    vem::TPicture picture;
    picture.AssignGraphic(&bitmap);
    picture.SaveFile(path.toStdString());
    return path;
}

QString writeText(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
}

struct PreviewState {
    QString label, caption;
    bool button = false, picture = false;
};

PreviewState previewOf(TOpenPictureDialog& d) {
    return {d.PictureLabel->text(), d.PaintPanel->Caption(), d.PreviewButton->isEnabled(),
            d.PaintBox->Image().Picture().Graphic() != nullptr};
}

struct BoxLog {
    QStringList texts;
    BoxLog() {
        vemui::SetErrorBoxHook([this](const QString&, const QString& text) { texts << text; });
    }
    ~BoxLog() { vemui::SetErrorBoxHook({}); }
};

const QStringList ProgramFilters{
    "すべてのファイル (*.bmp *.ico *.emf *.wmf)", "ビットマップ (*.bmp)", "アイコン (*.ico)",
    "エンハンス メタファイル (*.emf)", "メタファイル (*.wmf)"};

} // namespace

Q_DECLARE_METATYPE(Steps)

class TestOpenPictureDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void filterTranslation_data();
    void filterTranslation();
    void firstOpening();
    void remembersTypeAndNameOfLastAccept();
    void typedMissingNameAccepted();
    void preview_data();
    void preview();
    void previewSkipsSameNameUntilShownAgain();
    void previewDrawsFittedOrSaysInvalid();
    void previewWindow_data();
    void previewWindow();

private:
    QTemporaryDir dir_;
};

void TestOpenPictureDialog::initTestCase() { QVERIFY(dir_.isValid()); }

void TestOpenPictureDialog::filterTranslation_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("the program's open filter")
        << "すべてのファイル (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|ビットマップ (*.bmp)|*.bmp|"
           "アイコン (*.ico)|*.ico|エンハンス メタファイル (*.emf)|*.emf|メタファイル (*.wmf)|*.wmf"
        << ProgramFilters;
    QTest::newRow("save filter, trailing separator") << "bmp|*.bmp;" << QStringList{"bmp (*.bmp)"};
    QTest::newRow("other parentheses stay") << "Foo (beta)|*.foo" << QStringList{"Foo (beta) (*.foo)"};
    QTest::newRow("description without patterns dropped") << "A|*.a|B" << QStringList{"A (*.a)"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestOpenPictureDialog::filterTranslation() {
    QFETCH(QString, text);
    QFETCH(QStringList, filters);
    QCOMPARE(vemui::NameFiltersFromFilterText(text.toStdString()), filters);
}

void TestOpenPictureDialog::firstOpening() {
    TOpenPictureDialog dlg(nullptr);
    QStringList filters;
    QString selected, typed;
    PreviewState state;
    QPoint pos, expectedPos;
    QVERIFY(!runDialog(dlg, [&](TOpenPictureDialog& d) {
        filters = d.nameFilters();
        selected = d.selectedNameFilter();
        typed = d.findChild<QLineEdit*>("fileNameEdit")->text();
        state = previewOf(d);
        pos = d.pos();
        expectedPos = vemui::CommonDialogTopLeft(d.screen()->geometry(), d.frameGeometry().size());
        d.reject();
    }));
    QCOMPARE(filters, ProgramFilters);
    QCOMPARE(selected, ProgramFilters[0]);
    QCOMPARE(typed, QString());
    QCOMPARE(state.label, QString("画像:"));
    QCOMPARE(state.caption, QString("(なし)"));
    QVERIFY(!state.button);
    QCOMPARE(pos, expectedPos);
    // No title of its own: Qt's default for an open dialog.
    QFileDialog plain;
    plain.setOption(QFileDialog::DontUseNativeDialog);
    plain.setFileMode(QFileDialog::AnyFile);
    QCOMPARE(dlg.windowTitle(), plain.windowTitle());
    QCOMPARE(dlg.defaultSuffix(), QString());
    QCOMPARE(dlg.FileName(), QString());
    QVERIFY(dlg.isSizeGripEnabled());
    QCOMPARE(dlg.PreviewButton->size(), QSize(23, 22));
    QCOMPARE(dlg.PreviewButton->toolTip(), QString("プレビュー"));
}

void TestOpenPictureDialog::remembersTypeAndNameOfLastAccept() {
    const QString picture = writeBmp(dir_.filePath("kept.bmp"), 4, 3, 0x0000FF);
    TOpenPictureDialog dlg(nullptr);
    QVERIFY(runDialog(dlg, [&](TOpenPictureDialog& d) {
        d.selectNameFilter(ProgramFilters[1]);
        d.selectFile(picture);
        static_cast<QDialog&>(d).accept();
    }));
    QCOMPARE(dlg.FileName(), picture);

    // Another type and name chosen, then cancelled: the next opening still
    // proposes what was accepted.
    QString filter;
    QStringList proposed;
    QVERIFY(!runDialog(dlg, [&](TOpenPictureDialog& d) {
        d.selectNameFilter(ProgramFilters[4]);
        d.findChild<QLineEdit*>("fileNameEdit")->setText("other.wmf");
        d.reject();
    }));
    QVERIFY(!runDialog(dlg, [&](TOpenPictureDialog& d) {
        filter = d.selectedNameFilter();
        proposed = d.selectedFiles();
        d.reject();
    }));
    QCOMPARE(filter, ProgramFilters[1]);
    QCOMPARE(proposed, QStringList{picture});
    QCOMPARE(dlg.FileName(), picture);

    // Another file of the same folder typed over the proposed one.
    const QString next = writeBmp(dir_.filePath("next.bmp"), 2, 2, 0);
    QVERIFY(runDialog(dlg, [&](TOpenPictureDialog& d) {
        auto* edit = d.findChild<QLineEdit*>("fileNameEdit");
        edit->setText("next.bmp");
        QTest::keyClick(edit, Qt::Key_Return);
    }));
    QCOMPARE(dlg.FileName(), next);
}

void TestOpenPictureDialog::typedMissingNameAccepted() {
    TOpenPictureDialog dlg(nullptr);
    QVERIFY(runDialog(dlg, [&](TOpenPictureDialog& d) {
        d.setDirectory(dir_.path());
        auto* edit = d.findChild<QLineEdit*>("fileNameEdit");
        edit->setText("nowhere.bmp");
        QTest::keyClick(edit, Qt::Key_Return);
    }));
    QCOMPARE(dlg.FileName(), dir_.filePath("nowhere.bmp"));
    QVERIFY(!QFile::exists(dlg.FileName()));
}

void TestOpenPictureDialog::preview_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("label");
    const QString none = "画像:";
    QTest::newRow("bitmap 640x480") << writeBmp(dir_.filePath("vga.bmp"), 640, 480, 0xFF0000) << " (640x480)";
    QTest::newRow("upper-case extension") << writeBmp(dir_.filePath("TALL.BMP"), 3, 7, 0xFF0000) << " (3x7)";
    QTest::newRow("text file") << writeText(dir_.filePath("notes.txt"), "hello\n") << none;
    QTest::newRow("no extension") << writeText(dir_.filePath("README"), "hello\n") << none;
    QTest::newRow("invalid bitmap") << writeText(dir_.filePath("broken.bmp"), "BM not really") << none;
    QTest::newRow("bitmap header cut short") << writeText(dir_.filePath("short.bmp"), QByteArray("BM\x46\0\0\0", 6))
                                             << none;
    QTest::newRow("invalid icon") << writeText(dir_.filePath("bad.ico"), QByteArray(3, '\1')) << none;
    QDir(dir_.path()).mkdir("folder.bmp");
    QTest::newRow("folder") << dir_.filePath("folder.bmp") << none;
    QTest::newRow("missing file") << dir_.filePath("gone.bmp") << none;
}

void TestOpenPictureDialog::preview() {
    QFETCH(QString, path);
    QFETCH(QString, label);
    const bool good = label != "画像:";
    // A good picture first, so a failing selection has something to clear.
    const QString before = writeBmp(dir_.filePath("before.bmp"), 2, 2, 0);
    BoxLog boxes;
    TOpenPictureDialog dlg(nullptr);
    PreviewState state;
    runDialog(dlg, [&](TOpenPictureDialog& d) {
        emit d.currentChanged(before);
        emit d.currentChanged(path);
        state = previewOf(d);
        d.reject();
    });
    QCOMPARE(state.label, label);
    QCOMPARE(state.button, good);
    QCOMPARE(state.picture, good);
    QCOMPARE(state.caption, good ? QString() : QString("(なし)"));
    QCOMPARE(boxes.texts, QStringList{});
}

void TestOpenPictureDialog::previewSkipsSameNameUntilShownAgain() {
    const QString path = writeBmp(dir_.filePath("changing.bmp"), 5, 6, 0);
    TOpenPictureDialog dlg(nullptr);
    PreviewState afterRewrite, onShow, afterReselect;
    runDialog(dlg, [&](TOpenPictureDialog& d) {
        emit d.currentChanged(path);
        writeText(path, "no longer a picture");
        emit d.currentChanged(path);
        afterRewrite = previewOf(d);
        d.reject();
    });
    runDialog(dlg, [&](TOpenPictureDialog& d) {
        onShow = previewOf(d);
        writeBmp(path, 8, 9, 0);
        emit d.currentChanged(path);
        afterReselect = previewOf(d);
        d.reject();
    });
    QCOMPARE(afterRewrite.label, QString(" (5x6)"));
    QCOMPARE(onShow.label, QString("画像:"));
    QCOMPARE(onShow.caption, QString("(なし)"));
    QVERIFY(!onShow.button && !onShow.picture);
    QCOMPARE(afterReselect.label, QString(" (8x9)"));
}

void TestOpenPictureDialog::previewDrawsFittedOrSaysInvalid() {
    TOpenPictureDialog dlg(nullptr);
    emit dlg.currentChanged(writeBmp(dir_.filePath("wide.bmp"), 200, 40, 0x0000FF));
    const QImage shown = dlg.PaintBox->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!dlg.PaintBox->DrawFailed());
    // Stretched to the full width, one fifth of it high, centred downwards.
    const int w = shown.width(), h = shown.height(), dh = w / 5, top = (h - dh) / 2;
    QVERIFY2(w > 20 && h > dh + 4, "the preview area is too small to tell");
    const QRgb red = qRgb(255, 0, 0);
    QCOMPARE(shown.pixel(w / 2, h / 2), red);
    QCOMPARE(shown.pixel(1, top + 1), red);
    QCOMPARE(shown.pixel(w - 2, top + dh - 2), red);
    QVERIFY(shown.pixel(w / 2, top - 2) != red);
    QVERIFY(shown.pixel(w / 2, top + dh + 1) != red);

    // A bitmap that claims a size but holds no pixels cannot be drawn.
    auto store = std::make_shared<vem::TBitmapImage>();
    store->Width = 10;
    store->StoredHeight = 10;
    store->BitCount = 24;
    vem::TBitmap broken;
    broken.SetImage(store);
    BoxLog boxes;
    dlg.PaintBox->Image().Picture().AssignGraphic(&broken);
    dlg.PaintBox->grab();
    QVERIFY(dlg.PaintBox->DrawFailed());
    QCOMPARE(boxes.texts, QStringList{});
}

void TestOpenPictureDialog::previewWindow_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("640x480, button") << QSize(640, 480) << false;
    QTest::newRow("small, double click") << QSize(100, 60) << true;
    QTest::newRow("wide and low") << QSize(3000, 20) << false;
}

// The client is the picture plus 10 pixels plus the panel's frame (a line
// and a 5-pixel border on each side: 12), at most three quarters of the monitor.
void TestOpenPictureDialog::previewWindow() {
    QFETCH(QSize, picture);
    QFETCH(bool, doubleClick);
    const QString path =
        writeBmp(dir_.filePath(QString("p%1x%2.bmp").arg(picture.width()).arg(picture.height())), picture.width(),
                 picture.height(), 0x00FF00);
    TOpenPictureDialog dlg(nullptr);
    QString title;
    QSize client;
    QRect monitor;
    bool tool = false, modal = false;
    QPointer<QWidget> form;
    runDialog(dlg, [&](TOpenPictureDialog& d) {
        emit d.currentChanged(path);
        onNextModal([&](QWidget* w) {
            QVERIFY(w && w != &d);
            form = w;
            title = w->windowTitle();
            client = w->size();
            monitor = w->screen()->geometry();
            tool = (w->windowFlags() & Qt::WindowType_Mask) == Qt::Tool;
            modal = w->isModal();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        if (doubleClick)
            QTest::mouseDClick(d.PaintBox, Qt::LeftButton);
        else
            d.PreviewButton->click();
        d.reject();
    });
    QCOMPARE(title, QString("プレビュー"));
    QVERIFY(tool);
    QVERIFY(modal);
    QCOMPARE(client, QSize(std::min(monitor.width() * 3 / 4, picture.width() + 22),
                           std::min(monitor.height() * 3 / 4, picture.height() + 22)));
    QVERIFY(form.isNull());
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    TestOpenPictureDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_OpenPictureDialog.moc"
