// The shared save dialog, driven while it runs: the proposed names, the name
// used exactly as typed, no question before replacing a file.
#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Application.h"
#include "DialogPlacement.h"
#include "SaveDialog.h"

using vemui::TSaveDialog;

namespace {

// Runs STEPS on the save dialog once it shows; returns Execute()'s result.
bool runDialog(TSaveDialog& dlg, std::function<void(TSaveDialog&)> steps) {
    QTimer::singleShot(0, &dlg, [&dlg, steps] {
        QVERIFY(QApplication::activeModalWidget() == &dlg);
        steps(dlg);
    });
    return dlg.Execute();
}

QLineEdit* nameEdit(QFileDialog& dlg) { return dlg.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

// Types NAME into DIR's name field and presses the accept button's key.
void typeAndAccept(TSaveDialog& dlg, const QString& dir, const QString& name) {
    dlg.setDirectory(dir);
    QLineEdit* edit = nameEdit(dlg);
    QVERIFY(edit);
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Records any message box that shows while it lives and answers it with its
// "yes", so a question asked inside the accept cannot hold the test.
struct QuestionCatcher : QObject {
    QStringList texts;
    QuestionCatcher() { qApp->installEventFilter(this); }
    ~QuestionCatcher() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (auto* box = qobject_cast<QMessageBox*>(watched); box && event->type() == QEvent::Show) {
            texts << box->text();
            QMetaObject::invokeMethod(
                box,
                [box] {
                    for (QAbstractButton* b : box->buttons())
                        if (box->buttonRole(b) == QMessageBox::YesRole || box->buttonRole(b) == QMessageBox::AcceptRole)
                            return b->click();
                    box->reject();
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

class TestSaveDialog : public QObject {
    Q_OBJECT
private slots:
    void firstOpening();
    void existingFileNotQuestioned();
    void proposesLastAcceptedName();
};

void TestSaveDialog::firstOpening() {
    TSaveDialog dlg(nullptr);
    QString proposed, filter;
    QStringList filters;
    QPoint pos, expectedPos;
    const bool accepted = runDialog(dlg, [&](TSaveDialog& d) {
        proposed = nameEdit(d)->text();
        filters = d.nameFilters();
        filter = d.selectedNameFilter();
        pos = d.pos();
        expectedPos = vemui::CommonDialogTopLeft(d.screen()->geometry(), d.frameGeometry().size());
        d.reject();
    });
    QVERIFY(!accepted);
    QCOMPARE(proposed, QString("hoho.bmp"));
    QCOMPARE(filters, QStringList{"bmp (*.bmp)"});
    QCOMPARE(filter, QString("bmp (*.bmp)"));
    QCOMPARE(pos, expectedPos);
    QVERIFY(dlg.testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(dlg.defaultSuffix(), QString());
    QCOMPARE(dlg.FileName(), QString("hoho.bmp"));
}

void TestSaveDialog::existingFileNotQuestioned() {
    QTemporaryDir dir;
    const QString path = dir.filePath("old.bmp");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    TSaveDialog dlg(nullptr);
    QuestionCatcher questions;
    const bool accepted = runDialog(dlg, [&](TSaveDialog& d) { typeAndAccept(d, dir.path(), "old.bmp"); });
    QCOMPARE(questions.texts, QStringList{});
    QVERIFY(accepted);
    QCOMPARE(dlg.FileName(), path);
}

// A cancelled opening, another name typed in it, changes nothing.
void TestSaveDialog::proposesLastAcceptedName() {
    QTemporaryDir dir;
    TSaveDialog dlg(nullptr);
    QVERIFY(runDialog(dlg, [&](TSaveDialog& d) { typeAndAccept(d, dir.path(), "kept.bmp"); }));
    QVERIFY(!runDialog(dlg, [&](TSaveDialog& d) {
        nameEdit(d)->setText("other.bmp");
        d.reject();
    }));
    QStringList proposed;
    QVERIFY(!runDialog(dlg, [&](TSaveDialog& d) {
        proposed = d.selectedFiles();
        d.reject();
    }));
    QCOMPARE(proposed, QStringList{dir.filePath("kept.bmp")});
    QCOMPARE(dlg.FileName(), dir.filePath("kept.bmp"));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    TestSaveDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SaveDialog.moc"
