// The error display, the shared catch of the handlers, the application
// object's catch, and the application's preparations.
#include <new>
#include <stdexcept>

#include <QColorDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Application.h"
#include "BoxLog.h"
#include "core/base/Errors.h"
#include "ErrorDisplay.h"

namespace {

using Thrower = std::function<void()>;

// An object whose event handler fails.
class FailingObject : public QObject {
public:
    int handled = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++handled;
            throw vem::EReadError("ストリームからの読み込みエラー");
        }
        return QObject::event(e);
    }
};

// A widget that takes the mouse and then fails, as a drag that breaks would.
class GrabbingWidget : public QWidget {
protected:
    void mousePressEvent(QMouseEvent*) override {
        vemui::Guarded([this] {
            grabMouse();
            throw vem::EInvalidGraphic("ビットマップイメージが不正です");
        });
    }
};

} // namespace

Q_DECLARE_METATYPE(Thrower)

class TestErrorDisplay : public QObject {
    Q_OBJECT
private slots:
    void boxText_data();
    void boxText();
    void realBoxIsStopIconWithOneOkButton();
    void guardedEndsHandlerAndGoesOn();
    void notifyCatchesHandlerFailures();
    void failureReleasesPressedButtonAndGrab();
    void noSettingsFileIsReadOrWritten();
};

void TestErrorDisplay::boxText_data() {
    QTest::addColumn<Thrower>("thrower");
    QTest::addColumn<QString>("text");
    QTest::newRow("program message") << Thrower([] { throw vem::EConvertError("'abc' は整数ではありません"); })
                                     << "'abc' は整数ではありません.";
    QTest::newRow("ends in a period") << Thrower([] { throw vem::EWriteError("done."); }) << "done.";
    QTest::newRow("out of memory") << Thrower([] { throw std::bad_alloc(); }) << "メモリが足りません.";
    QTest::newRow("other library failure") << Thrower([] { throw std::out_of_range("slot"); }) << "slot.";
}

void TestErrorDisplay::boxText() {
    QFETCH(Thrower, thrower);
    QFETCH(QString, text);
    BoxLog log;
    vemui::Guarded(thrower);
    QCOMPARE(log.texts, QStringList{text});
}

void TestErrorDisplay::realBoxIsStopIconWithOneOkButton() {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString title, text;
    Qt::TextFormat format = Qt::AutoText;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        icon = box->icon();
        buttons = box->standardButtons();
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        modal = box->isModal();
        box->button(QMessageBox::Ok)->click();
    });
    vemui::ShowError(vem::EFOpenError("ファイル \"/tmp/<b>x</b>\". No such file or directory は開けません"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // The program file is tst_ErrorDisplay: no dot to cut at, all but the first character lowered.
    QCOMPARE(title, QString("tst_errordisplay"));
    QCOMPARE(text, QString("ファイル \"/tmp/<b>x</b>\". No such file or directory は開けません."));
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(modal);
}

void TestErrorDisplay::guardedEndsHandlerAndGoesOn() {
    BoxLog log;
    int before = 0, after = 0;
    vemui::Guarded([&] {
        before = 1;
        throw vem::EInvalidGraphicOperation("スキャンライン のインデックスが範囲を越えました");
        after = 1;
    });
    QCOMPARE(before, 1);
    QCOMPARE(after, 0);
    QCOMPARE(log.texts, QStringList{"スキャンライン のインデックスが範囲を越えました."});
    vemui::Guarded([&] { after = 2; });
    QCOMPARE(after, 2);
    QCOMPARE(log.texts.size(), 1);
}

void TestErrorDisplay::notifyCatchesHandlerFailures() {
    BoxLog log;
    FailingObject target;
    QEvent sent(QEvent::User);
    QCoreApplication::sendEvent(&target, &sent);
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&target);
    QCOMPARE(target.handled, 2);
    QCOMPARE(log.texts, (QStringList{"ストリームからの読み込みエラー.", "ストリームからの読み込みエラー."}));
}

void TestErrorDisplay::failureReleasesPressedButtonAndGrab() {
    BoxLog log;
    QWidget window;
    window.resize(200, 100);
    auto* button = new QPushButton("b", &window);
    button->setGeometry(0, 0, 80, 30);
    auto* grabbing = new GrabbingWidget;
    grabbing->setParent(&window);
    grabbing->setGeometry(100, 0, 80, 30);
    window.show();
    int clicks = 0;
    QObject::connect(button, &QPushButton::pressed,
                     [] { vemui::Guarded([] { throw vem::EOutOfResources("システム リソースが足りません"); }); });
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });

    QTest::mousePress(button, Qt::LeftButton);
    QVERIFY(!button->isDown());
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(clicks, 0);

    QTest::mousePress(grabbing, Qt::LeftButton);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    QTest::mouseRelease(grabbing, Qt::LeftButton);
    QCOMPARE(log.texts, (QStringList{"システム リソースが足りません.", "ビットマップイメージが不正です."}));
}

namespace {

// Qt's file dialog and colour dialog remember history, last folder and custom
// colours in a "QtProject" settings file. The child run uses both dialogs
// under a home of its own and reports what they had read.
int settingsChild(int argc, char** argv, bool prepared) {
    std::unique_ptr<QApplication> app;
    if (prepared)
        app = std::make_unique<vemui::TApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QTextStream out(stdout);
    out << "custom0=" << QColorDialog::customColor(0).name(QColor::HexArgb) << "\n";
    {
        QFileDialog files;
        files.setOption(QFileDialog::DontUseNativeDialog);
        // The non-native dialog reads its settings when it first shows.
        QTimer::singleShot(0, &files, [&files] { files.reject(); });
        files.exec();
        out << "history=" << files.history().join(QLatin1Char('|')) << "\n";
    }
    {
        QColorDialog::setCustomColor(1, QColor(Qt::green));
        QColorDialog colors;
        colors.setOption(QColorDialog::DontUseNativeDialog);
        QTimer::singleShot(0, &colors, [&colors] { colors.accept(); });
        colors.exec();
    }
    out.flush();
    return 0;
}

struct ChildRun {
    QString output;
    QStringList files; // every file left under the home folder, relative
    QByteArray preset; // the preset settings file's bytes afterwards
};

// A remembered folder (the cache folder, which exists) and custom colour 0
// red. The file dialog takes the history only along with a sidebar width.
QByteArray presetSettings(const QString& folder) {
    return "[FileDialog]\nhistory=file://" + folder.toUtf8() +
           "\nsidebarWidth=90\n\n[Qt]\ncustomColors\\0=4294901760\n";
}

ChildRun runSettingsChild(bool prepared, const QTemporaryDir& home, const QTemporaryDir& cache) {
    ChildRun run;
    const QString config = home.filePath(".config");
    QDir().mkpath(config);
    const QString presetPath = config + "/QtProject.conf";
    QFile preset(presetPath);
    preset.open(QIODevice::WriteOnly);
    preset.write(presetSettings(cache.path()));
    preset.close();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("XDG_CACHE_HOME", cache.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(home.path());
    child.start(QCoreApplication::applicationFilePath(),
                {"--settings-child", prepared ? "prepared" : "plain"});
    child.waitForFinished(60000);
    run.output = QString::fromUtf8(child.readAllStandardOutput());
    QDirIterator it(home.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) run.files << QDir(home.path()).relativeFilePath(it.next());
    run.files.sort();
    QFile after(presetPath);
    if (after.open(QIODevice::ReadOnly)) run.preset = after.readAll();
    return run;
}

} // namespace

void TestErrorDisplay::noSettingsFileIsReadOrWritten() {
    // Without the preparations Qt reads the preset and writes its state back:
    // this proves the run below exercises both.
    {
        QTemporaryDir home, cache;
        const ChildRun plain = runSettingsChild(false, home, cache);
        QVERIFY2(plain.output.contains("custom0=#ffff0000"), qPrintable(plain.output));
        QVERIFY2(plain.output.contains("history=" + cache.path() + "|"), qPrintable(plain.output));
        QVERIFY(plain.preset != presetSettings(cache.path()));
    }
    QTemporaryDir home, cache;
    const ChildRun prepared = runSettingsChild(true, home, cache);
    QVERIFY2(prepared.output.contains("custom0=#ffffffff"), qPrintable(prepared.output));
    QVERIFY2(!prepared.output.contains(cache.path()), qPrintable(prepared.output));
    QCOMPARE(prepared.files, QStringList{".config/QtProject.conf"});
    QCOMPARE(prepared.preset, presetSettings(cache.path()));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && qstrcmp(argv[1], "--settings-child") == 0) {
        int childArgc = 1;
        return settingsChild(childArgc, argv, qstrcmp(argv[2], "prepared") == 0);
    }
    vemui::TApplication app(argc, argv);
    TestErrorDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ErrorDisplay.moc"
