// The about box, and the mapping of the forms' font onto an installed one.
#include <QDialogButtonBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AboutBox.h"
#include "Application.h"
#include "vem_version.h"

class TestAboutBox : public QObject {
    Q_OBJECT
private slots:
    void showsItsTexts();
    void okClosesWithResultOne();
    void formFontIsAnInstalledJapaneseFont();
    void standardButtonsSpeakJapanese();
};

void TestAboutBox::showsItsTexts() {
    vemui::TAboutBox box;
    QCOMPARE(box.windowTitle(), QString("バージョン情報"));
    QCOMPARE(box.minimumSize(), QSize(252, 184));
    QCOMPARE(box.maximumSize(), QSize(252, 184));
    QStringList texts;
    for (const char* name : {"ProductName", "Version", "Copyright", "Comments"}) {
        auto* label = box.findChild<QLabel*>(name);
        QVERIFY2(label, name);
        texts << label->text();
    }
    QCOMPARE(texts, (QStringList{"ヴェム～VEM～", "バージョン " VEM_VERSION, "著作権表記", "コメント"}));
    QVERIFY(box.Comments->wordWrap());
    QVERIFY(box.ProgramIcon->pixmap().isNull());
    QVERIFY(!box.isVisible());
}

void TestAboutBox::okClosesWithResultOne() {
    vemui::TAboutBox box;
    QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
    QTimer::singleShot(5000, &box, [&box] { box.done(-1); });
    QCOMPARE(box.exec(), 1);
    QTimer::singleShot(0, &box, [&box] { QTest::mouseClick(box.OKButton, Qt::LeftButton); });
    QTimer::singleShot(5000, &box, [&box] { box.done(-1); });
    QCOMPARE(box.exec(), 1);
}

// "ＭＳ Ｐゴシック" is not installed anywhere but on the platform the forms
// were drawn for; without the mapping the Japanese captions could fall back
// to a font without Japanese glyphs.
void TestAboutBox::formFontIsAnInstalledJapaneseFont() {
    vemui::TAboutBox box;
    QCOMPARE(box.font().family(), QString("ＭＳ Ｐゴシック"));
    QCOMPARE(QFontInfo(box.font()).family(), QString("Noto Sans CJK JP"));
}

void TestAboutBox::standardButtonsSpeakJapanese() {
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QString("キャンセル"));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    TestAboutBox test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_AboutBox.moc"
