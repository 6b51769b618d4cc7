// The load-target dialog, driven through its real controls while it runs.
#include <functional>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "Application.h"
#include "LoadTargetDialog.h"

using vemui::TOKBottomDlg;

namespace {

using Steps = std::function<void(TOKBottomDlg&)>;

// Runs STEPS on the dialog once its modal loop is running; returns exec()'s result.
int runDialog(TOKBottomDlg& dlg, Steps steps) {
    QTimer::singleShot(0, &dlg, [&dlg, steps] {
        QVERIFY(QApplication::activeModalWidget() == &dlg);
        steps(dlg);
    });
    return dlg.exec();
}

// The controls Tab visits, starting at OK.
QList<QWidget*> tabOrder(TOKBottomDlg& dlg) {
    QList<QWidget*> order;
    QWidget* w = dlg.OKBtn;
    do {
        if (w->focusPolicy() & Qt::TabFocus) order << w;
        w = w->nextInFocusChain();
    } while (w != dlg.OKBtn && order.size() < 10);
    return order;
}

// A click on the button's round indicator, which is always inside its hit area.
void choose(QRadioButton* radio) { QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2)); }

} // namespace

Q_DECLARE_METATYPE(Steps)

class TestLoadTargetDialog : public QObject {
    Q_OBJECT
private slots:
    void formAsDesigned();
    void closing_data();
    void closing();
};

void TestLoadTargetDialog::formAsDesigned() {
    TOKBottomDlg dlg(nullptr);
    QCOMPARE(dlg.windowTitle(), QString("ダイアログ"));
    QCOMPARE(dlg.size(), QSize(313, 214));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(dlg.LoadTarget, 1);
    QVERIFY(dlg.RadioButton1->isChecked());
    QVERIFY(!dlg.RadioButton2->isChecked());
    QCOMPARE(dlg.RadioButton1->text(), QString("原画として読み込む"));
    QCOMPARE(dlg.RadioButton2->text(), QString("編集用として読み込む"));
    QCOMPARE(dlg.CancelBtn->text(), QString("キャンセル"));
    QCOMPARE(dlg.OKBtn->geometry(), QRect(79, 180, 75, 25));
    QCOMPARE(dlg.CancelBtn->geometry(), QRect(159, 180, 75, 25));
    QCOMPARE(dlg.RadioButton1->geometry(), QRect(24, 24, 265, 17));
    QCOMPARE(dlg.RadioButton2->geometry(), QRect(24, 64, 265, 17));
    QVERIFY(dlg.OKBtn->isDefault());
    QCOMPARE(tabOrder(dlg), (QList<QWidget*>{dlg.OKBtn, dlg.CancelBtn, dlg.RadioButton1, dlg.RadioButton2}));
}

void TestLoadTargetDialog::closing_data() {
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("target");
    QTest::newRow("OK") << Steps([](TOKBottomDlg& d) { QTest::mouseClick(d.OKBtn, Qt::LeftButton); }) << 1 << 1;
    QTest::newRow("Enter") << Steps([](TOKBottomDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }) << 1 << 1;
    QTest::newRow("Cancel") << Steps([](TOKBottomDlg& d) { QTest::mouseClick(d.CancelBtn, Qt::LeftButton); }) << 2
                            << 1;
    QTest::newRow("Esc") << Steps([](TOKBottomDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }) << 2 << 1;
    QTest::newRow("close box") << Steps([](TOKBottomDlg& d) { d.close(); }) << 2 << 1;
    QTest::newRow("editing, OK") << Steps([](TOKBottomDlg& d) {
        choose(d.RadioButton2);
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
    }) << 1 << 2;
    QTest::newRow("editing, then original, OK") << Steps([](TOKBottomDlg& d) {
        choose(d.RadioButton2);
        choose(d.RadioButton1);
        QTest::keyClick(&d, Qt::Key_Return);
    }) << 1 << 1;
    QTest::newRow("editing, Esc") << Steps([](TOKBottomDlg& d) {
        choose(d.RadioButton2);
        QTest::keyClick(&d, Qt::Key_Escape);
    }) << 2 << 2;
}

void TestLoadTargetDialog::closing() {
    QFETCH(Steps, steps);
    QFETCH(int, result);
    QFETCH(int, target);
    TOKBottomDlg dlg(nullptr);
    QCOMPARE(runDialog(dlg, steps), result);
    QCOMPARE(dlg.LoadTarget, target);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    TestLoadTargetDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_LoadTargetDialog.moc"
