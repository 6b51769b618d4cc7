// The program under an address-space limit: a child process (this test run
// again) starts the forms, sets the limit a given number of MB above what it
// already uses, opens a picture as the original and lets every window paint,
// then prints the boxes it showed and the windows' captions and picture sizes.
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "BoxLog.h"
#include "ui/ImageWindow.h"
#include "ui/ImageWindows.h"
#include "UiTestHelpers.h"

namespace {

constexpr const char* ChildFlag = "--low-memory-child";

long vmSizeKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7));
    return 0;
}

void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// argv: FLAG FIRST BIG BUDGET_MB. FIRST (may be "-") is opened before the limit.
int runChild(int argc, char** argv) {
    int qtArgc = 1;
    vemui::TApplication app(qtArgc, argv);
    if (argc != 5) return 2;
    CreateApplicationForms();
    MainForm->resize(1200, 800);
    MainForm->show();
    settle();
    BoxLog boxes;
    if (std::string(argv[2]) != "-") vemui::Guarded([&] { MainForm->LoadByTarget(1, QString::fromLocal8Bit(argv[2])); });
    settle();
    const rlim_t limit = (static_cast<rlim_t>(vmSizeKiB()) + static_cast<rlim_t>(std::stol(argv[4])) * 1024) * 1024;
    const rlimit as{limit, limit};
    if (setrlimit(RLIMIT_AS, &as) != 0) return 3;
    vemui::Guarded([&] { MainForm->LoadByTarget(1, QString::fromLocal8Bit(argv[3])); });
    settle();
    for (QWidget* w : {static_cast<QWidget*>(MDIChild1), static_cast<QWidget*>(MDIChild2), static_cast<QWidget*>(MDIChild3)})
        w->repaint();
    for (const QString& text : boxes.texts) std::printf("box %s\n", text.toUtf8().constData());
    for (TMDIChild* w : {static_cast<TMDIChild*>(MDIChild1), static_cast<TMDIChild*>(MDIChild3)})
        std::printf("window %s %dx%d\n", w->windowTitle().toUtf8().constData(), w->Slot().Image1.Picture().Width(),
                    w->Slot().Image1.Picture().Height());
    std::fflush(stdout);
    DestroyApplicationForms();
    return 0;
}

} // namespace

class TestLowMemory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openUnderLimit_data();
    void openUnderLimit();

private:
    QTemporaryDir dir_;
    QString big_, small_;
};

void TestLowMemory::initTestCase() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer's shadow memory does not fit under an address-space limit");
#endif
    QVERIFY(dir_.isValid());
    // 96 MB of pixels: the original and the finished picture need 192 MB; a
    // full-size display copy of each would need 256 MB more.
    big_ = dir_.filePath("big.bmp");
    small_ = dir_.filePath("small.bmp");
    uitest::WriteFile(big_, uitest::Bmp24(8192, 4096, [](int x, int y) { return std::uint32_t(x ^ y); }));
    uitest::WriteFile(small_, uitest::Bmp24(10, 10, [](int, int) { return 0x336699u; }));
}

void TestLowMemory::openUnderLimit_data() {
    QTest::addColumn<bool>("first");
    QTest::addColumn<int>("budgetMB");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("fits the engine: loads and shows without a box")
        << false << 96 * 3 + 64 << QStringList{"window 原画:8192×4096 8192x4096", "window 完成:8192×4096 8192x4096"};
    QTest::newRow("does not fit: one box, the windows keep their pictures")
        << true << 48 << QStringList{"box メモリが足りません.", "window 原画:10×10 10x10", "window 完成:10×10 10x10"};
}

void TestLowMemory::openUnderLimit() {
    QFETCH(bool, first);
    QFETCH(int, budgetMB);
    QFETCH(QStringList, expected);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {ChildFlag, first ? small_ : QStringLiteral("-"), big_, QString::number(budgetMB)});
    QVERIFY(child.waitForFinished(120000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, expected);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::string(argv[1]) == ChildFlag) return runChild(argc, argv);
    vemui::TApplication app(argc, argv);
    TestLowMemory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_LowMemory.moc"
