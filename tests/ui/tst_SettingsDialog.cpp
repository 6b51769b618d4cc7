// The conversion settings dialog, driven through its real controls.
#include <QApplication>
#include <QColorDialog>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "Application.h"
#include "BoxLog.h"
#include "ErrorDisplay.h"
#include "SettingsDialog.h"

using vemui::TOKRightDlg;

namespace {

enum Road { OkButton, EnterKey, CancelButton, EscapeKey, CloseBox };

void closeBy(TOKRightDlg& dlg, int road) {
    switch (road) {
    case OkButton: QTest::mouseClick(dlg.OKBtn, Qt::LeftButton); break;
    case EnterKey: QTest::keyClick(dlg.Edit1, Qt::Key_Return); break;
    case CancelButton: QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton); break;
    case EscapeKey: QTest::keyClick(dlg.Edit1, Qt::Key_Escape); break;
    case CloseBox: dlg.close(); break;
    }
}

// The swatch as it shows on screen.
QImage shown(QWidget* swatch) { return swatch->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// True when every border pixel of a 41 x 17 swatch is black and every inner
// pixel is Inner.
bool framedField(const QImage& image, QRgb inner) {
    if (image.size() != QSize(41, 17)) return false;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 41; ++x) {
            const bool border = x == 0 || y == 0 || x == 40 || y == 16;
            if (image.pixel(x, y) != (border ? qRgb(0, 0, 0) : inner)) return false;
        }
    return true;
}

// Runs Action on the modal dialog that opens next, after it has shown.
template <class F>
void onNextModal(F action) {
    QTimer::singleShot(0, [action] {
        if (QWidget* modal = QApplication::activeModalWidget()) action(modal);
    });
}

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT
private slots:
    void opensFromSettings_data();
    void opensFromSettings();
    void modeIsWrittenWhenChosen();
    void colourChooser();
    void closingRoads_data();
    void closingRoads();
    void nonIntegerKeepsDialogOpenUntilFixed();
    void execReturnsModalResult();
};

void TestSettingsDialog::opensFromSettings_data() {
    QTest::addColumn<int>("pointX");
    QTest::addColumn<int>("pointY");
    QTest::addColumn<int>("approx");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("back");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QRgb>("targetShown");
    QTest::addColumn<QRgb>("backShown");
    QTest::newRow("program start") << 0 << 0 << 0 << 0 << 0 << 0 << QStringList{"0", "0", "0", "0"}
                                   << qRgb(0, 0, 0) << qRgb(0, 0, 0);
    QTest::newRow("picked values") << -3 << 2147483647 << 10 << 50 << 0x0000FF << 0x00FF00
                                   << QStringList{"-3", "2147483647", "10", "50"} << qRgb(255, 0, 0)
                                   << qRgb(0, 255, 0);
}

void TestSettingsDialog::opensFromSettings() {
    QFETCH(int, pointX);
    QFETCH(int, pointY);
    QFETCH(int, approx);
    QFETCH(int, limit);
    QFETCH(int, target);
    QFETCH(int, back);
    QFETCH(QStringList, texts);
    QFETCH(QRgb, targetShown);
    QFETCH(QRgb, backShown);
    vem::TConvSettings s;
    s.ConvMode = 3;
    s.PointX = pointX;
    s.PointY = pointY;
    s.ApproxLV = approx;
    s.LimitLV = limit;
    s.TargetColor = target;
    s.BackColor = back;
    QColorDialog::setCustomColor(0, QColor(Qt::blue));

    TOKRightDlg dlg(s, nullptr);
    QCOMPARE(dlg.windowTitle(), QString("ダイアログ"));
    QCOMPARE(dlg.minimumSize(), QSize(555, 171));
    QCOMPARE(dlg.maximumSize(), QSize(555, 171));
    QCOMPARE((QStringList{dlg.Edit1->text(), dlg.Edit2->text(), dlg.Edit3->text(), dlg.Edit4->text()}), texts);
    for (QRadioButton* radio : dlg.findChildren<QRadioButton*>()) QVERIFY2(!radio->isChecked(), qPrintable(radio->objectName()));
    QVERIFY(framedField(shown(dlg.findChild<QWidget*>("Image1")), targetShown));
    QVERIFY(framedField(shown(dlg.findChild<QWidget*>("Image2")), backShown));
    QCOMPARE(QColorDialog::customColor(0), QColor(Qt::white));
    QCOMPARE(s.ConvMode, 3);
}

// Each mode is written the moment its button becomes selected, and only then;
// Cancel undoes nothing, and the next opening again shows no mode selected.
void TestSettingsDialog::modeIsWrittenWhenChosen() {
    vem::TConvSettings s;
    {
        TOKRightDlg dlg(s, nullptr);
        dlg.show();
        const QList<QRadioButton*> radios{dlg.RadioButton1, dlg.RadioButton2, dlg.RadioButton3, dlg.RadioButton4,
                                          dlg.RadioButton5};
        const QStringList captions{"一致部分を残す", "一致部分を消す", "指定色一致部分を残す", "指定色一致部分を消す",
                                   "指定座標から近似色"};
        for (int mode : {4, 0, 2, 1, 3}) {
            QCOMPARE(radios[mode]->text(), captions[mode]);
            QTest::mouseClick(radios[mode], Qt::LeftButton);
            QCOMPARE(s.ConvMode, mode);
        }
        s.ConvMode = 9;
        QTest::mouseClick(dlg.RadioButton4, Qt::LeftButton);
        QCOMPARE(s.ConvMode, 9);
        QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
        QCOMPARE(dlg.result(), 2);
    }
    QCOMPARE(s.ConvMode, 9);
    TOKRightDlg again(s, nullptr);
    for (QRadioButton* r : again.findChildren<QRadioButton*>()) QVERIFY(!r->isChecked());
}

void TestSettingsDialog::colourChooser() {
    vem::TConvSettings s;
    s.BackColor = 0x00FF00;
    TOKRightDlg dlg(s, nullptr);
    dlg.show();

    QColor openedOn;
    QPoint placedAt;
    QSize placedSize;
    QRect monitor;
    onNextModal([&](QWidget* modal) {
        auto* chooser = qobject_cast<QColorDialog*>(modal);
        if (!chooser) {
            modal->close();
            return;
        }
        openedOn = chooser->currentColor();
        placedAt = chooser->frameGeometry().topLeft();
        placedSize = chooser->frameGeometry().size();
        monitor = chooser->screen()->geometry();
        chooser->setCurrentColor(QColor(255, 0, 0));
        chooser->accept();
    });
    QTest::mouseClick(dlg.Image1, Qt::LeftButton);
    QCOMPARE(openedOn, QColor(Qt::black));
    QCOMPARE(s.TargetColor, 0x000000FF);
    QVERIFY(framedField(shown(dlg.Image1), qRgb(255, 0, 0)));
    QCOMPARE(placedAt.x(), monitor.left() + (monitor.width() - placedSize.width()) / 2);
    QCOMPARE(placedAt.y(), monitor.top() + (monitor.height() - placedSize.height()) / 3);

    // The background swatch's chooser opens on the colour last accepted, not
    // on BackColor; cancelling it changes nothing.
    openedOn = QColor();
    onNextModal([&](QWidget* modal) {
        if (auto* chooser = qobject_cast<QColorDialog*>(modal)) {
            openedOn = chooser->currentColor();
            chooser->setCurrentColor(QColor(Qt::blue));
        }
        modal->close();
    });
    QTest::mouseClick(dlg.Image2, Qt::LeftButton);
    QCOMPARE(openedOn, QColor(255, 0, 0));
    QCOMPARE(s.BackColor, 0x00FF00);
    QVERIFY(framedField(shown(dlg.Image2), qRgb(0, 255, 0)));

    QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
    QCOMPARE(dlg.result(), 2);
    QCOMPARE(s.TargetColor, 0x000000FF);
}

void TestSettingsDialog::closingRoads_data() {
    QTest::addColumn<int>("road");
    QTest::addColumn<QStringList>("edits"); // Edit1..Edit4
    QTest::addColumn<int>("result");        // 0: the dialog stays open
    QTest::addColumn<QString>("box");
    QTest::addColumn<QList<int>>("stored"); // PointX, PointY, LimitLV, ApproxLV
    const QStringList good{" 20", "+7", "$1F", "-3"};
    const QList<int> converted{20, 7, -3, 31};
    QTest::newRow("OK") << int(OkButton) << good << 1 << QString() << converted;
    QTest::newRow("Enter") << int(EnterKey) << good << 1 << QString() << converted;
    QTest::newRow("Cancel") << int(CancelButton) << good << 2 << QString() << converted;
    QTest::newRow("Esc") << int(EscapeKey) << good << 2 << QString() << converted;
    QTest::newRow("close box") << int(CloseBox) << good << 2 << QString() << converted;
    QTest::newRow("hex forms") << int(OkButton) << QStringList{"x1f", "0X1F", "-$FFFFFFFF", "0x80000000"} << 1
                               << QString() << QList<int>{31, 31, int(-2147483647 - 1), 1};
    // The limit level converts before the approximation level: it is stored
    // although the approximation level's field then fails.
    QTest::newRow("OK, empty approximation") << int(OkButton) << QStringList{"1", "2", "", "4"} << 0
                                             << "'' は整数ではありません." << QList<int>{1, 2, 4, 300};
    QTest::newRow("Enter, out of range") << int(EnterKey) << QStringList{"1", "2", "3", "2147483648"} << 0
                                         << "'2147483648' は整数ではありません." << QList<int>{1, 2, 400, 300};
    QTest::newRow("Esc, trailing space") << int(EscapeKey) << QStringList{"20 ", "2", "3", "4"} << 0
                                         << "'20 ' は整数ではありません." << QList<int>{100, 200, 400, 300};
    QTest::newRow("close box, sign alone") << int(CloseBox) << QStringList{"5", "-", "3", "4"} << 0
                                           << "'-' は整数ではありません." << QList<int>{5, 200, 400, 300};
    QTest::newRow("Cancel, prefix alone") << int(CancelButton) << QStringList{"5", "6", "0x", "4"} << 0
                                          << "'0x' は整数ではありません." << QList<int>{5, 6, 4, 300};
}

void TestSettingsDialog::closingRoads() {
    QFETCH(int, road);
    QFETCH(QStringList, edits);
    QFETCH(int, result);
    QFETCH(QString, box);
    QFETCH(QList<int>, stored);
    vem::TConvSettings s;
    s.PointX = 100;
    s.PointY = 200;
    s.ApproxLV = 300;
    s.LimitLV = 400;
    BoxLog log;
    TOKRightDlg dlg(s, nullptr);
    dlg.show();
    QLineEdit* fields[] = {dlg.Edit1, dlg.Edit2, dlg.Edit3, dlg.Edit4};
    for (int i = 0; i < 4; ++i) fields[i]->setText(edits[i]);

    closeBy(dlg, road);

    QCOMPARE(dlg.isVisible(), result == 0);
    QCOMPARE(dlg.result(), result);
    QCOMPARE(log.texts, box.isEmpty() ? QStringList{} : QStringList{box});
    QCOMPARE((QList<int>{s.PointX, s.PointY, s.LimitLV, s.ApproxLV}), stored);
    for (int i = 0; i < 4; ++i) QCOMPARE(fields[i]->text(), edits[i]);
}

// The scenario of a user who mistypes a field, tries OK and Cancel, then fixes it.
void TestSettingsDialog::nonIntegerKeepsDialogOpenUntilFixed() {
    vem::TConvSettings s;
    s.ConvMode = 2;
    s.PointX = 1;
    s.PointY = 2;
    s.ApproxLV = 3;
    s.LimitLV = 4;
    BoxLog log;
    TOKRightDlg dlg(s, nullptr);
    dlg.show();
    dlg.Edit1->setText("12");
    dlg.Edit2->setText("x");
    dlg.Edit3->setText("5");
    dlg.Edit4->setText("7");

    QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    QVERIFY(dlg.isVisible());
    QCOMPARE(log.texts, QStringList{"'x' は整数ではありません."});
    QCOMPARE(log.titles, QStringList{"tst_settingsdialog"});
    QCOMPARE((QList<int>{s.PointX, s.PointY, s.LimitLV, s.ApproxLV}), (QList<int>{12, 2, 4, 3}));

    QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
    QVERIFY(dlg.isVisible());
    QCOMPARE(log.texts.size(), 2);
    QCOMPARE(log.texts[1], QString("'x' は整数ではありません."));

    dlg.Edit2->setText("3");
    QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), 2);
    QCOMPARE(log.texts.size(), 2);
    QCOMPARE((QList<int>{s.PointX, s.PointY, s.LimitLV, s.ApproxLV}), (QList<int>{12, 3, 7, 5}));
    QCOMPARE(s.ConvMode, 2);
}

// exec() is what the conversion command runs; its value decides whether the
// conversion runs.
void TestSettingsDialog::execReturnsModalResult() {
    vem::TConvSettings s;
    BoxLog log;
    for (int road : {OkButton, EscapeKey}) {
        TOKRightDlg dlg(s, nullptr);
        dlg.Edit2->setText("y");
        // First attempt fails on the bad field, the second (after the fix) closes.
        QTimer::singleShot(0, &dlg, [&dlg, road] {
            closeBy(dlg, road);
            dlg.Edit2->setText("8");
            closeBy(dlg, road);
        });
        // Should the dialog refuse to close, end the loop so the test fails instead of hanging.
        QTimer::singleShot(5000, &dlg, [&dlg] { dlg.QDialog::done(-1); });
        QCOMPARE(dlg.exec(), road == OkButton ? 1 : 2);
        QCOMPARE(s.PointY, 8);
    }
    QCOMPARE(log.texts, (QStringList{"'y' は整数ではありません.", "'y' は整数ではありません."}));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    TestSettingsDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SettingsDialog.moc"
