// Files dropped on the main window: the drop is taken at once, the
// load-target dialog runs as the next event, and OK loads the first file.
#include <functional>

#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUrl>

#include "ui/ImageWindow.h"
#include "ui/ImageWindows.h"
#include "ui/LoadTargetDialog.h"
#include "UiTestHelpers.h"

using namespace uitest;
using vemui::TOKBottomDlg;

namespace {

using Answer = std::function<void(TOKBottomDlg&)>;

QStringList captions() {
    return {MDIChild1->windowTitle(), MDIChild2->windowTitle(), MDIChild3->windowTitle()};
}

// What a drop looked like from outside while it was being handled.
struct DropRun {
    bool accepted = false;
    bool dropReturned = false;
    bool dialogShown = false;
    bool shownAfterDrop = false;
    bool startedOnOriginal = false;
};

// Answers the load-target dialog as soon as it shows, wherever it shows,
// recording what the drop had done by then.
struct DialogAnswerer : QObject {
    DropRun& run;
    Answer answer;
    DialogAnswerer(DropRun& r, Answer a) : run(r), answer(std::move(a)) { qApp->installEventFilter(this); }
    ~DialogAnswerer() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<TOKBottomDlg*>(watched);
        if (dialog && event->type() == QEvent::Show && !run.dialogShown) {
            run.dialogShown = true;
            run.shownAfterDrop = run.dropReturned;
            run.startedOnOriginal = dialog->RadioButton1->isChecked() && dialog->LoadTarget == 1;
            QMetaObject::invokeMethod(dialog, [dialog, a = answer] { a(*dialog); }, Qt::QueuedConnection);
        }
        return false;
    }
};

// Drags MIME over the middle of TARGET (the main window by default) and
// drops it there, as a file manager does: Qt hands the drag to the first
// widget from TARGET outward that takes it. Then lets the next events run,
// answering the load-target dialog with ANSWER.
DropRun drop(QMimeData& mime, const Answer& answer, QWidget* target = nullptr) {
    DropRun run;
    DialogAnswerer answerer(run, answer);
    if (!target) target = MainForm;
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (enter.isAccepted()) {
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        run.accepted = dropped.isAccepted();
    }
    run.dropReturned = true;
    QCoreApplication::processEvents();
    return run;
}

DropRun dropFiles(const QStringList& files, const Answer& answer) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    return drop(mime, answer);
}

const Answer ok = [](TOKBottomDlg& d) { d.OKBtn->click(); };
const Answer editingOk = [](TOKBottomDlg& d) {
    d.RadioButton2->click();
    d.OKBtn->click();
};

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestDrops : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString bmp(const QString& name, int w, int h) const {
        return WriteFile(dir_.filePath(name), Bmp24(w, h, [](int x, int y) { return 0x010203u * (x + y); }));
    }

private slots:
    void init() { StartForms(); }
    void cleanup() {
        const QString boxes = StopForms();
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes));
    }

    void answers_data() {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QStringList>("loaded");
        const QStringList none{"MDIChild1", "MDIChild2", "MDIChild3"};
        QTest::newRow("OK") << ok << QStringList{"原画:4×3", "MDIChild2", "完成:4×3"};
        QTest::newRow("editing, OK") << editingOk << QStringList{"MDIChild1", "編集用:4×3", "MDIChild3"};
        QTest::newRow("editing then original, OK") << Answer([](TOKBottomDlg& d) {
            d.RadioButton2->click();
            d.RadioButton1->click();
            d.OKBtn->click();
        }) << QStringList{"原画:4×3", "MDIChild2", "完成:4×3"};
        QTest::newRow("Cancel") << Answer([](TOKBottomDlg& d) { d.CancelBtn->click(); }) << none;
        QTest::newRow("Esc") << Answer([](TOKBottomDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }) << none;
        QTest::newRow("close box") << Answer([](TOKBottomDlg& d) { d.close(); }) << none;
    }
    // The combo box says "editing": a drop does not look at it.
    void answers() {
        QFETCH(Answer, answer);
        QFETCH(QStringList, loaded);
        MainForm->ComboBox1->setCurrentIndex(1);
        const DropRun run = dropFiles({bmp("one.bmp", 4, 3)}, answer);
        QVERIFY(run.accepted);
        QVERIFY(run.dialogShown);
        QVERIFY(run.shownAfterDrop);
        QVERIFY(run.startedOnOriginal);
        QCOMPARE(captions(), loaded);
        QVERIFY(!MainForm->findChild<TOKBottomDlg*>());
    }

    void onlyFirstOfThreeFilesLoaded() {
        const QStringList files{bmp("first.bmp", 4, 3), bmp("second.bmp", 5, 5), bmp("third.bmp", 6, 6)};
        QVERIFY(dropFiles(files, editingOk).dialogShown);
        QCOMPARE(captions(), (QStringList{"MDIChild1", "編集用:4×3", "MDIChild3"}));
    }

    // Deep folders and a Japanese name: the whole path, far past 260 bytes.
    void longPathLoadedWhole() {
        QString folder = dir_.path();
        for (int i = 0; i < 6; ++i) folder += "/" + QString(50, QChar(u'a' + i));
        QVERIFY(QDir().mkpath(folder));
        const QString file = WriteFile(folder + "/原画ファイル.bmp", Bmp24(3, 2, [](int, int) { return 0u; }));
        QVERIFY(file.toUtf8().size() > 300);
        QVERIFY(dropFiles({file}, ok).dialogShown);
        QCOMPARE(captions(), (QStringList{"原画:3×2", "MDIChild2", "完成:3×2"}));
    }

    // The box comes once the dialog is gone; nothing changes; the next drop works.
    void droppedTextFile() {
        QVERIFY(dropFiles({bmp("before.bmp", 2, 2)}, ok).dialogShown);
        const QStringList before = captions();
        QStringList texts;
        bool dialogAlive = true;
        vemui::SetErrorBoxHook([&](const QString&, const QString& text) {
            texts << text;
            dialogAlive = MainForm->findChild<TOKBottomDlg*>() != nullptr;
        });
        const QString notes = WriteFile(dir_.filePath("notes.txt"), "just words\n");
        QVERIFY(dropFiles({notes}, ok).dialogShown);
        CatchUnexpectedBoxes();
        QCOMPARE(texts, QStringList{"拡張子 .txt の画像形式は処理できません."});
        QVERIFY(!dialogAlive);
        QCOMPARE(captions(), before);
        QVERIFY(dropFiles({bmp("after.bmp", 7, 1)}, editingOk).dialogShown);
        QCOMPARE(MDIChild2->windowTitle(), QString("編集用:7×1"));
    }

    // A file manager offers the file's address as text too. Wherever on the
    // frame it lands, the frame asks for the target, and no edit field takes
    // the text.
    void droppedAnywhereOnTheFrame_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("combo box") << "combo box";
        QTest::newRow("tool bar button") << "tool bar button";
        QTest::newRow("image window") << "image window";
        QTest::newRow("client area") << "client area";
    }
    void droppedAnywhereOnTheFrame() {
        QFETCH(QString, where);
        QWidget* target = where == "combo box"         ? MainForm->ComboBox1->lineEdit()
                          : where == "tool bar button" ? static_cast<QWidget*>(MainForm->Button2)
                          : where == "image window"    ? static_cast<QWidget*>(MDIChild2->Image1())
                                                       : MainForm->MdiArea->viewport();
        const QUrl file = QUrl::fromLocalFile(bmp("dragged.bmp", 4, 3));
        QMimeData mime;
        mime.setUrls({file});
        mime.setText(file.toString());
        const DropRun run = drop(mime, ok, target);
        QVERIFY(run.accepted);
        QVERIFY(run.dialogShown);
        QCOMPARE(captions(), (QStringList{"原画:4×3", "MDIChild2", "完成:4×3"}));
        QCOMPARE(MainForm->ComboBox1->currentText(), QStringLiteral("原画を読み込む"));
    }

    void nothingButFilesIsTaken() {
        QMimeData text;
        text.setText("a.bmp");
        const DropRun plain = drop(text, ok);
        QVERIFY(!plain.accepted && !plain.dialogShown);
        QMimeData web;
        web.setUrls({QUrl("https://example.invalid/a.bmp")});
        const DropRun remote = drop(web, ok);
        QVERIFY(!remote.accepted && !remote.dialogShown);
        QCOMPARE(captions(), (QStringList{"MDIChild1", "MDIChild2", "MDIChild3"}));
    }
};

VEM_UI_TEST_MAIN(TestDrops)

#include "tst_Drops.moc"
