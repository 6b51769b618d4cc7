// The open and save commands through their real dialogs, and every failure
// they can meet as the user sees it in the error box.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

#include "ui/ImageWindow.h"
#include "ui/ImageWindows.h"
#include "UiTestHelpers.h"

using namespace uitest;

namespace {

// File header and a 40-byte information header, nothing after them; the size
// fields are those of a 1 x 1 picture, whose row is missing.
QByteArray bmpHeaders(qint32 width, qint32 height, int bits) {
    return ToQByteArray(
        vem::test::BmpBuilder(width, height, static_cast<std::uint16_t>(bits)).SizeImage(4).FileSize(58).Build());
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList captions() {
    return {MDIChild1->windowTitle(), MDIChild2->windowTitle(), MDIChild3->windowTitle()};
}

// What the save dialog proposes when it opens next through BUTTON.
QStringList proposedBy(QAbstractButton* button) {
    QStringList proposed;
    WhenModal([&proposed](QWidget* w) {
        if (auto* d = qobject_cast<QFileDialog*>(w)) {
            proposed = d->selectedFiles();
            d->reject();
        }
    });
    button->click();
    return proposed;
}

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString good() const { return WriteFile(path("good.bmp"), Bmp24(4, 3, [](int x, int) { return 0x102030u * x; })); }

private slots:
    void init() { StartForms(); }
    void cleanup() {
        const QString boxes = StopForms();
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes));
    }

    void openFailures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("comboIndex");
        QTest::addColumn<QString>("box");
        const QByteArray text("hello\n");
        QTest::newRow("missing file") << "gone.bmp" << QByteArray() << 0
                                      << "ファイル \"%1\". No such file or directory は開けません.";
        QTest::newRow("missing file, editing") << "gone.bmp" << QByteArray() << 1
                                               << "ファイル \"%1\". No such file or directory は開けません.";
        QTest::newRow("unknown extension as typed") << "photo.JPG" << text << 0
                                                    << "拡張子 .JPG の画像形式は処理できません.";
        QTest::newRow("no extension") << "README" << text << 1 << "拡張子 . の画像形式は処理できません.";
        QTest::newRow("invalid bitmap") << "broken.bmp" << QByteArray("BM but no bitmap at all, only some text")
                                        << 0 << "ビットマップイメージが不正です.";
        // An 8-bit bitmap whose colour table is missing.
        QTest::newRow("file ends early") << "cut.bmp" << bmpHeaders(2, 2, 8) << 1 << "ストリームからの読み込みエラー.";
        QTest::newRow("invalid icon") << "bad.ico" << QByteArray(3, '\1') << 0 << "アイコンイメージが不正です.";
        QTest::newRow("invalid metafile") << "bad.wmf" << QByteArray(40, 'x') << 0 << "メタファイルが不正です.";
        QTest::newRow("invalid enhanced metafile") << "bad.emf" << QByteArray(80, 'x') << 1
                                                   << "メタファイルが不正です.";
        QTest::newRow("picture too large") << "huge.bmp" << bmpHeaders(20000, 20000, 24) + QByteArray(64, '\0') << 0
                                           << "メモリが足りません.";
    }
    // The failed load leaves every picture as it was; the program goes on.
    void openFailures() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, comboIndex);
        QFETCH(QString, box);
        OpenThroughDialog(0, good());
        OpenThroughDialog(1, good());
        const QStringList before = captions();
        QCOMPARE(before, (QStringList{"原画:4×3", "編集用:4×3", "完成:4×3"}));
        const QString file = path(name);
        if (!bytes.isNull()) WriteFile(file, bytes);
        {
            ErrorBoxes boxes;
            OpenThroughDialog(comboIndex, file);
            QCOMPARE(boxes.Texts, QStringList{box.arg(file)});
        }
        QCOMPARE(captions(), before);
        OpenThroughDialog(1, WriteFile(path("next.bmp"), Bmp24(2, 5, [](int, int) { return 0u; })));
        QCOMPARE(MDIChild2->windowTitle(), QString("編集用:2×5"));
    }

    void openWithEditedComboTextDoesNothing() {
        MainForm->ComboBox1->setCurrentIndex(1);
        MainForm->ComboBox1->lineEdit()->setText("なにか");
        bool opened = false;
        WhenModal([&opened, file = good()](QWidget* w) {
            if (auto* d = qobject_cast<QFileDialog*>(w)) {
                opened = true;
                d->findChild<QLineEdit*>("fileNameEdit")->setText(file);
                static_cast<QDialog*>(d)->accept();
            }
        });
        MainForm->ToolButton1->click();
        QVERIFY(opened);
        QCOMPARE(captions(), (QStringList{"MDIChild1", "MDIChild2", "MDIChild3"}));
    }

    void saveIntoMissingFolder() {
        OpenThroughDialog(0, good());
        const QString target = path("missing/out.bmp");
        {
            ErrorBoxes boxes;
            ChooseFile(target);
            MainForm->ToolButton12->click();
            QCOMPARE(boxes.Texts,
                     QStringList{"ファイル \"" + target + "\". No such file or directory を作成できません."});
        }
        QVERIFY(!QFile::exists(target));
        // The next save, by either command, proposes the name that failed.
        QCOMPARE(proposedBy(MainForm->Button1), QStringList{target});
    }

    void savedNameAsTyped_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("existing");
        QTest::newRow("no extension") << "result" << QByteArray();
        QTest::newRow("other extension") << "result.png" << QByteArray();
        QTest::newRow("existing file replaced") << "old.bmp" << QByteArray("an older file, longer than nothing");
    }
    void savedNameAsTyped() {
        QFETCH(QString, name);
        QFETCH(QByteArray, existing);
        const QString target = path(name);
        if (!existing.isNull()) WriteFile(target, existing);
        OpenThroughDialog(0, good());
        ChooseFile(target);
        MainForm->ToolButton12->click();
        int w = 0, h = 0, w0 = 0, h0 = 0;
        const QVector<std::uint32_t> pixels = BmpPixels(readAll(target), w, h);
        QCOMPARE(QSize(w, h), QSize(4, 3));
        QCOMPARE(pixels, BmpPixels(readAll(path("good.bmp")), w0, h0));
        QVERIFY(!QFile::exists(target + ".bmp"));
    }

    void saveNameSharedByBothCommands() {
        OpenThroughDialog(0, good());
        OpenThroughDialog(1, good());
        // In whatever folder the dialog shows first: no folder of its own.
        QCOMPARE(QFileInfo(proposedBy(MainForm->ToolButton12).value(0)).fileName(), QString("hoho.bmp"));
        const QString first = path("first.bmp");
        ChooseFile(first);
        MainForm->ToolButton12->click();
        QVERIFY(QFile::exists(first));
        QCOMPARE(proposedBy(MainForm->Button1), QStringList{first});
        const QString second = path("second.bmp");
        ChooseFile(second);
        MainForm->Button1->click();
        QVERIFY(QFile::exists(second));
        QCOMPARE(proposedBy(MainForm->ToolButton12), QStringList{second});
    }

    // A name typed in full and Enter: the completer's list, shown while
    // typing, goes with the dialog instead of swallowing the next press.
    void noPopupOutlivesTheDialog_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("open") << "ToolButton1";
        QTest::newRow("save") << "ToolButton12";
    }
    void noPopupOutlivesTheDialog() {
        QFETCH(QString, button);
        const QString file = good();
        QPointer<QAbstractItemView> popup;
        WhenModal([&popup, file](QWidget* w) {
            auto* dialog = qobject_cast<QDialog*>(w);
            QVERIFY2(dialog, "no file dialog is open");
            // A failed step must not leave the dialog waiting for a user.
            const auto closeAnyway = qScopeGuard([dialog] {
                if (dialog->isVisible()) dialog->reject();
            });
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(edit && edit->completer());
            popup = edit->completer()->popup();
            edit->clear();
            QTest::keyClicks(edit, file, Qt::NoModifier, 20);
            // The list comes once the folder has been read, which takes its time.
            QTRY_VERIFY((edit->completer()->complete(), popup->isVisible()));
            QTest::keyClick(popup, Qt::Key_Return);
            QVERIFY2(!dialog->isVisible(), "Enter did not close the dialog");
        });
        MainForm->ToolBar2->findChild<QAbstractButton*>(button)->click();
        QVERIFY(popup);
        QVERIFY(!popup->isVisible());
        QVERIFY(!QApplication::activePopupWidget());
    }

    // The transparent export: a dialog and a name of its own, ".png" added to
    // a name typed without an extension, the progress in the caption, the
    // picture read back by Qt with black (the start background) transparent.
    void pngExport() {
        OpenThroughDialog(0, good());
        QStringList proposed, filters;
        WhenModal([&](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            QVERIFY2(d, "no file dialog is open");
            proposed = d->selectedFiles();
            filters = d->nameFilters();
            d->reject();
        });
        MainForm->N5->trigger();
        QCOMPARE(QFileInfo(proposed.value(0)).fileName(), QString("hoho.png"));
        QCOMPARE(filters, QStringList{"PNG画像 (*.png)"});

        QStringList titles;
        connect(MainForm, &QWidget::windowTitleChanged, [&titles](const QString& t) { titles << t; });
        ChooseFile(path("cutout"));
        MainForm->N5->trigger();
        const QString title = QString::fromStdString(MainForm->Workspace.TitleText);
        QCOMPARE(titles.value(titles.size() - 2), title + "100%");
        QCOMPARE(MainForm->windowTitle(), title);
        QVERIFY(!QFile::exists(path("cutout")));
        const QImage png(path("cutout.png"));
        QCOMPARE(png.size(), QSize(4, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                QCOMPARE(png.pixel(x, y), (x == 0 ? 0x00000000u : 0xFF000000u) | 0x102030u * x);
        QCOMPARE(QFileInfo(proposedBy(MainForm->ToolButton12).value(0)).fileName(), QString("hoho.bmp"));

        const QString missing = path("missing/out.png");
        ErrorBoxes boxes;
        ChooseFile(missing);
        MainForm->N5->trigger();
        QCOMPARE(boxes.Texts, QStringList{"ファイル \"" + missing + "\". No such file or directory を作成できません."});
        QCOMPARE(MainForm->windowTitle(), title);
    }

    void openProposesLastAcceptedName() {
        const QString file = good();
        OpenThroughDialog(0, file);
        QStringList proposed;
        WhenModal([&proposed](QWidget* w) {
            proposed = qobject_cast<QFileDialog*>(w)->selectedFiles();
            static_cast<QDialog*>(w)->reject();
        });
        MainForm->ToolButton1->click();
        QCOMPARE(proposed, QStringList{file});
    }
};

VEM_UI_TEST_MAIN(TestFileCommands)

#include "tst_FileCommands.moc"
