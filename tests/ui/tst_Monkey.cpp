// A seeded monkey: thousands of random user actions on the whole program
// (presses on the image windows, every tool bar control and menu item, the
// settings dialog with random field texts, loads of sound and damaged files,
// saves, window commands, drops), checking after each one that the program
// is still whole: no dialog left open, no failure past the error box, every
// slot's WorkBmp on its own picture.
//
// The seed is printed at the start of each run. VEM_MONKEY_SEED replays one
// run, VEM_MONKEY_STEPS sets the number of steps (default 5000). Without a
// seed the test runs the fixed seed and then a seed taken from the clock,
// half the steps each.
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "core/pixels/Bitmap.h"
#include "ui/ImageWindow.h"
#include "ui/ImageWindows.h"
#include "ui/LoadTargetDialog.h"
#include "ui/OpenPictureDialog.h"
#include "ui/SaveDialog.h"
#include "ui/SettingsDialog.h"
#include "UiTestHelpers.h"

namespace {

constexpr std::uint64_t FixedSeed = 20261207;
constexpr int DefaultSteps = 5000;
// A modal loop that has not ended after this long is taken for a hang.
constexpr int HangMs = 60000;
// A step that never returns to any event loop is stopped by the process
// watchdog instead.
constexpr int StuckSeconds = 300;

// Failures that unwound past every handler's own catch into the event
// dispatch (TApplication::notify caught them): each one is a fault.
QStringList& escapedFailures() {
    static QStringList texts;
    return texts;
}

// The program's application object, with a note of every failure that
// reaches its outermost catch before the box shows it as usual.
class TMonkeyApplication : public vemui::TApplication {
public:
    using vemui::TApplication::TApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            escapedFailures() << QString::fromUtf8(e.what());
            vemui::ShowError(e);
            return true;
        } catch (...) {
            escapedFailures() << QStringLiteral("(not a std::exception)");
            return true;
        }
    }
};

// Every text the error box may show; anything else (a library's own what(),
// a message of an internal error) means a failure the program did not mean.
bool isKnownBoxText(const QString& text) {
    static const QStringList fixed{
        "ビットマップイメージが不正です.",   "ストリームからの読み込みエラー.",
        "ストリームへの書き込みエラー.",     "アイコンイメージが不正です.",
        "メタファイルが不正です.",           "スキャンライン のインデックスが範囲を越えました.",
        "メモリが足りません.",               "システム リソースが足りません.",
    };
    static const QRegularExpression patterns[] = {
        QRegularExpression(QStringLiteral("^'[^\\n]*' は整数ではありません\\.$")),
        QRegularExpression(QStringLiteral("^拡張子 \\.[^\\n]* の画像形式は処理できません\\.$")),
        QRegularExpression(QStringLiteral("^ファイル \".+\"\\. .+ は開けません\\.$")),
        QRegularExpression(QStringLiteral("^ファイル \".+\"\\. .+ を作成できません\\.$")),
        QRegularExpression(QStringLiteral("^システムエラー。コード：-?[0-9]+\\.\\n"),
                           QRegularExpression::DotMatchesEverythingOption),
    };
    if (fixed.contains(text)) return true;
    for (const QRegularExpression& p : patterns)
        if (p.match(text).hasMatch()) return true;
    return false;
}

// A file the monkey may load or drop; MustFail when no load of it can succeed.
struct PoolFile {
    QString Path;
    bool MustFail = false;
};

// A text for a number field of the settings dialog and the value it must
// convert to, or none when it is not an integer.
struct FieldText {
    QString Text;
    std::optional<std::int32_t> Value;
};

// What one slot looked like before an action, to see that a failed or
// cancelled command left it alone.
struct SlotState {
    std::string Caption;
    const vem::TGraphic* Graphic;
    const vem::TBitmap* WorkBmp;
    int Width, Height;
    bool operator==(const SlotState&) const = default;
};

SlotState stateOf(const vem::TImageSlot& s) {
    return {s.Caption(), s.Image1.Picture().Graphic(), s.WorkBmp, s.Image1.Width(), s.Image1.Height()};
}

// A valid 16 x 16 icon (one 4-bit DIB image) and a plain WMF naming a
// 20 x 10 window: both load, and both leave the slot an empty bitmap.
QByteArray iconFile() {
    QByteArray b;
    auto u8 = [&](int v) { b.append(char(v & 0xFF)); };
    auto u16 = [&](int v) { u8(v); u8(v >> 8); };
    auto u32 = [&](qint64 v) { u16(int(v & 0xFFFF)); u16(int((v >> 16) & 0xFFFF)); };
    const int imageBytes = 40 + 16 * 4 + 8 * 16 + 4 * 16;
    u16(0); u16(1); u16(1);
    u8(16); u8(16); u8(0); u8(0); u16(1); u16(4); u32(imageBytes); u32(22);
    u32(40); u32(16); u32(32); u16(1); u16(4); u32(0); u32(0); u32(0); u32(0); u32(0); u32(0);
    for (int i = 0; i < 16; ++i) u32(0x00101010 * i);
    b.append(QByteArray(8 * 16, char(0x12)));
    b.append(QByteArray(4 * 16, '\0'));
    return b;
}

QByteArray wmfFile() {
    QByteArray b;
    auto u16 = [&](int v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto u32 = [&](int v) { u16(v & 0xFFFF); u16(v >> 16); };
    u16(1); u16(9); u16(0x0300); u32(17); u16(0); u32(5); u16(0);
    u32(5); u16(0x020C); u16(10); u16(20);
    u32(3); u16(0);
    return b;
}

class Monkey {
public:
    Monkey(std::uint64_t seed, const QVector<PoolFile>& pool, const QString& work)
        : rng_(seed), seed_(seed), pool_(pool), work_(work) {
        vemui::SetErrorBoxHook([this](const QString&, const QString& text) { boxes_ << text; });
        QObject::connect(&hangTimer_, &QTimer::timeout, [this] { hang(); });
        hangTimer_.setSingleShot(true);
        hangTimer_.setInterval(HangMs);
        saveNames_ = {work_ + "/out-a.bmp", work_ + "/out-b.bmp", work_ + "/result", work_ + "/結果.bmp",
                      work_ + "/missing-folder/out.bmp", work_ + "/out-c.BMP"};
    }
    // A box after the run must not wait for a user either.
    ~Monkey() { uitest::CatchUnexpectedBoxes(); }

    // Runs STEPS actions on freshly created forms; empty when all went well,
    // otherwise what failed first and the actions that led there.
    QString Run(int steps, std::atomic<std::int64_t>& progress) {
        startForms();
        const auto started = std::chrono::steady_clock::now();
        for (step_ = 0; step_ < steps && failure_.isEmpty(); ++step_) {
            progress.store(std::chrono::steady_clock::now().time_since_epoch().count());
            const qsizetype boxesBefore = boxes_.size();
            stepBoxes_ = boxesBefore;
            hangTimer_.start();
            randomAction();
            ++generation_;
            settle();
            hangTimer_.stop();
            checkWhole(boxesBefore);
            if (step_ % 50 == 0 && failure_.isEmpty()) MainForm->grab(); // paint every window once in a while
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        qInfo("monkey seed %llu: %d steps in %.1f s, %lld error boxes, %d loads, %d conversions, %d drops",
              static_cast<unsigned long long>(seed_), step_, seconds, static_cast<long long>(boxes_.size()), loads_,
              conversions_, drops_);
        DestroyApplicationForms();
        if (failure_.isEmpty()) return {};
        QString report = QStringLiteral("seed %1, step %2: %3\nlast actions:\n").arg(seed_).arg(step_ - 1).arg(failure_);
        for (const QString& a : history_) report += QStringLiteral("  ") + a + QLatin1Char('\n');
        report += QStringLiteral("error boxes of the last step:\n");
        for (qsizetype i = stepBoxes_; i < boxes_.size(); ++i) report += QStringLiteral("  ") + boxes_[i] + QLatin1Char('\n');
        return report;
    }

private:
    std::mt19937_64 rng_;
    std::uint64_t seed_;
    const QVector<PoolFile>& pool_;
    QString work_;
    QStringList saveNames_;
    QStringList boxes_;
    QString failure_;
    std::deque<QString> history_;
    int step_ = 0;
    std::uint64_t generation_ = 0;
    QTimer hangTimer_;
    int loads_ = 0, conversions_ = 0, drops_ = 0;
    // Boxes shown by the settings dialog for its junk fields in this step.
    qsizetype settingsBoxes_ = 0;
    qsizetype stepBoxes_ = 0;

    // --- Randomness ---
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int oneIn) { return uniform(1, oneIn) == 1; }
    template <class T>
    const T& pick(const QVector<T>& items) {
        return items[uniform(0, int(items.size()) - 1)];
    }

    // --- Bookkeeping ---
    void note(const QString& what) {
        history_.push_back(QStringLiteral("%1: %2").arg(step_).arg(what));
        if (history_.size() > 25) history_.pop_front();
    }
    void fail(const QString& what) {
        if (failure_.isEmpty()) failure_ = what;
    }
    void expect(bool ok, const QString& what) {
        if (!ok) fail(what);
    }

    // A modal loop that never ended: the step fails and every modal window is
    // hidden, which ends its loop, so the test reports instead of hanging.
    void hang() {
        fail(QStringLiteral("a modal dialog was still open after %1 s").arg(HangMs / 1000));
        for (int i = 0; i < 32; ++i) {
            QWidget* w = QApplication::activeModalWidget();
            if (!w) break;
            w->hide();
        }
    }

    // Runs ACT on the modal window that WANT accepts as soon as it is the
    // active one (polled from the event loop, so from inside the modal loop
    // of whatever opens it). The returned flag tells whether it ran. The
    // driver dies with its step.
    std::shared_ptr<bool> driveModal(std::function<bool(QWidget*)> want, std::function<void(QWidget*)> act) {
        auto done = std::make_shared<bool>(false);
        auto poll = std::make_shared<std::function<void(int)>>();
        const std::uint64_t generation = generation_;
        *poll = [this, want, act, done, generation, weak = std::weak_ptr(poll)](int triesLeft) {
            if (generation != generation_) return;
            QWidget* w = QApplication::activeModalWidget();
            if (w && want(w)) {
                *done = true;
                act(w);
                return;
            }
            if (triesLeft == 0) return;
            if (auto again = weak.lock()) QTimer::singleShot(0, qApp, [again, triesLeft] { (*again)(triesLeft - 1); });
        };
        // The chain of single shots keeps the poller alive until it ends.
        QTimer::singleShot(0, qApp, [poll] { (*poll)(400); });
        return done;
    }

    // The open, save and convert buttons open dialogs, twice for a double
    // click: each one is cancelled, until the step ends.
    void cancelEveryDialog() {
        driveModal([](QWidget*) { return true; },
                   [this](QWidget* w) {
                       cancelEveryDialog();
                       if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
                   });
    }

    void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void startForms() {
        CreateApplicationForms();
        MainForm->resize(900, 700);
        MainForm->show();
        MainForm->activateWindow();
        settle();
    }

    vem::TWorkspace& ws() { return MainForm->Workspace; }
    QVector<TMDIChild*> windows() { return MainForm->ImageWindows(); }

    // --- The actions ---
    void randomAction() {
        struct Choice {
            int weight;
            void (Monkey::*run)();
        };
        static const Choice choices[] = {
            {30, &Monkey::pressPicture}, {6, &Monkey::pressWindow},  {12, &Monkey::open},
            {6, &Monkey::save},          {10, &Monkey::convert},     {7, &Monkey::checkBox},
            {8, &Monkey::copyButton},    {8, &Monkey::windowCommand}, {7, &Monkey::drop},
            {3, &Monkey::comboBox},      {2, &Monkey::shortcut},     {1, &Monkey::maybeExit},
            {3, &Monkey::pressToolBar},
        };
        int total = 0;
        for (const Choice& c : choices) total += c.weight;
        int r = uniform(0, total - 1);
        for (const Choice& c : choices) {
            if (r < c.weight) return (this->*c.run)();
            r -= c.weight;
        }
    }

    void pressPicture() {
        QVector<TMDIChild*> shown;
        for (TMDIChild* w : windows())
            if (w->Image1()->isVisible()) shown << w;
        if (shown.isEmpty()) return note(QStringLiteral("press: no picture on show"));
        TMDIChild* w = pick(shown);
        QWidget* image = w->Image1();
        const int x = uniform(-8, image->width() + 8);
        const int y = uniform(-8, image->height() + 8);
        static const QVector<Qt::MouseButton> buttons{Qt::LeftButton, Qt::LeftButton, Qt::RightButton,
                                                      Qt::RightButton, Qt::MiddleButton};
        const Qt::MouseButton button = pick(buttons);
        const bool twice = chance(6);
        note(QStringLiteral("press %1%2 at (%3, %4) on %5 (control %6x%7)")
                 .arg(button == Qt::LeftButton ? "left" : button == Qt::RightButton ? "right" : "middle")
                 .arg(twice ? " twice" : "")
                 .arg(x)
                 .arg(y)
                 .arg(w->windowTitle())
                 .arg(image->width())
                 .arg(image->height()));
        const vem::TConvSettings before = ws().Settings;
        const qsizetype boxes = boxes_.size();
        const bool rightPick = MainForm->CheckBox1->isChecked();
        uitest::Click(image, button, QPointF(x + 0.25, y + 0.75), twice);
        const vem::TConvSettings& after = ws().Settings;
        const bool settingsSame = before.ConvMode == after.ConvMode && before.TargetColor == after.TargetColor &&
                                  before.BackColor == after.BackColor && before.PointX == after.PointX &&
                                  before.PointY == after.PointY && before.ApproxLV == after.ApproxLV &&
                                  before.LimitLV == after.LimitLV;
        if (button == Qt::MiddleButton || (button == Qt::RightButton && !rightPick)) {
            expect(settingsSame && boxes_.size() == boxes, QStringLiteral("a press that must do nothing changed something"));
        } else if (button == Qt::LeftButton && boxes_.size() == boxes && w->Slot().HasPixel(x, y)) {
            expect(after.PointX == x && after.PointY == y, QStringLiteral("a left pick did not store its point"));
        }
    }

    // Anywhere on a window: title bar, close box, border, background.
    void pressWindow() {
        QVector<TMDIChild*> shown;
        for (TMDIChild* w : windows())
            if (w->isVisible()) shown << w;
        if (shown.isEmpty()) return note(QStringLiteral("window press: none on show"));
        TMDIChild* w = pick(shown);
        const QPoint at(uniform(0, std::max(0, w->width() - 1)), uniform(0, std::max(0, w->height() - 1)));
        QWidget* target = w->childAt(at);
        if (!target) target = w;
        const Qt::MouseButton button = chance(3) ? Qt::RightButton : Qt::LeftButton;
        const bool twice = chance(5);
        note(QStringLiteral("window press %1%2 at (%3, %4) of %5 on %6")
                 .arg(button == Qt::LeftButton ? "left" : "right")
                 .arg(twice ? " twice" : "")
                 .arg(at.x())
                 .arg(at.y())
                 .arg(w->windowTitle())
                 .arg(target->metaObject()->className()));
        uitest::Click(target, button, QPointF(target->mapFrom(w, at)), twice);
    }

    // Anywhere on the tool bar: its controls, the separators, the space after them.
    void pressToolBar() {
        QWidget* bar = MainForm->ToolBar2->findChild<QWidget*>(QStringLiteral("ToolBar2Panel"));
        if (!bar) return fail(QStringLiteral("the tool bar has no panel"));
        const QPoint at(uniform(0, std::min(bar->width() - 1, 780)), uniform(0, bar->height() - 1));
        QWidget* target = bar->childAt(at);
        if (!target) target = bar;
        cancelEveryDialog();
        note(QStringLiteral("tool bar press at (%1, %2) on %3").arg(at.x()).arg(at.y()).arg(target->objectName()));
        const Qt::MouseButton button = chance(4) ? Qt::RightButton : Qt::LeftButton;
        uitest::Click(target, button, QPointF(target->mapFrom(bar, at)), chance(8));
        // The combo box's list, dropped down by the press, goes away as a
        // click elsewhere would make it.
        for (int i = 0; i < 4 && QApplication::activePopupWidget(); ++i) QApplication::activePopupWidget()->close();
    }

    // Now and then a file the monkey saved itself: the writer's output read back.
    PoolFile randomFile() {
        if (!chance(6)) return pick(pool_);
        const QString path = pick(saveNames_);
        const bool registered = !path.endsWith(QLatin1String("/result"));
        return {path, !registered || !QFileInfo(path).isFile()};
    }

    QVector<SlotState> slotStates() {
        return {stateOf(ws().Original), stateOf(ws().Editing), stateOf(ws().Finished)};
    }

    // A load that failed or did nothing left the slots it would have filled.
    void checkLoad(int target, const PoolFile& file, const QVector<SlotState>& before, qsizetype boxesBefore) {
        const QVector<SlotState> after = slotStates();
        const qsizetype boxes = boxes_.size() - boxesBefore;
        if (target != 1 && target != 2) {
            expect(boxes == 0 && after == before, QStringLiteral("a load without a target changed something"));
            return;
        }
        ++loads_;
        if (file.MustFail) expect(boxes == 1, QStringLiteral("a load that must fail showed %1 boxes").arg(boxes));
        if (boxes == 0) return;
        expect(after[0] == before[0] && after[2] == before[2] && after[1] == before[1],
               QStringLiteral("a failed load changed a slot"));
    }

    void open() {
        const int route = uniform(0, 2);
        const int target = MainForm->OpenTarget();
        const PoolFile file = randomFile();
        const int answer = uniform(0, 5); // 0 cancel, 1 Esc, else choose
        note(QStringLiteral("open (%1), target %2, %3")
                 .arg(route == 0 ? "tool button" : route == 1 ? "action" : "Ctrl+O")
                 .arg(target)
                 .arg(answer < 2 ? QStringLiteral("cancelled") : file.Path));
        auto chosen = std::make_shared<bool>(false);
        const auto shown = driveModal(
            [](QWidget* w) { return qobject_cast<vemui::TOpenPictureDialog*>(w) != nullptr; },
            [this, file, answer, chosen](QWidget* w) {
                answerOpenDialog(static_cast<vemui::TOpenPictureDialog*>(w), file, answer, *chosen);
            });
        const QVector<SlotState> before = slotStates();
        const qsizetype boxes = boxes_.size();
        if (route == 0)
            uitest::Click(MainForm->ToolButton1, Qt::LeftButton, QPointF(5, 5));
        else if (route == 1)
            MainForm->FileOpen1->trigger();
        else
            QTest::keyClick(MainForm, Qt::Key_O, Qt::ControlModifier);
        if (route != 2) expect(*shown, QStringLiteral("the open dialog did not open"));
        if (*chosen) checkLoad(target, file, before, boxes);
        else expect(boxes_.size() == boxes && slotStates() == before, QStringLiteral("a cancelled open changed something"));
    }

    void answerOpenDialog(vemui::TOpenPictureDialog* d, const PoolFile& file, int answer, bool& chosen) {
        // Browsing first: the preview reads hostile files too, and shows nothing for them.
        if (chance(3)) {
            const qsizetype boxes = boxes_.size();
            d->DoSelectionChange(randomFile().Path);
            if (chance(3)) d->grab(); // draws the preview of whatever was read
            expect(boxes_.size() == boxes, QStringLiteral("the preview showed an error box"));
            if (d->PreviewButton->isEnabled() && chance(3)) {
                const auto shown = driveModal([](QWidget* w) { return w->objectName() == QLatin1String("PreviewForm"); },
                                              [this](QWidget* w) {
                                                  if (chance(2)) QTest::keyClick(w, Qt::Key_Escape);
                                                  else w->close();
                                              });
                d->PreviewButton->click();
                expect(*shown, QStringLiteral("the preview window did not open"));
            }
        }
        if (answer == 0) return d->reject();
        if (answer == 1) return QTest::keyClick(d, Qt::Key_Escape);
        d->selectFile(file.Path);
        if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(file.Path);
        static_cast<QDialog*>(d)->accept();
        // A folder is opened in the dialog rather than accepted: give up, as a user would.
        if (d->isVisible()) return d->reject();
        chosen = true;
    }

    void save() {
        const int route = uniform(0, 2);
        vem::TImageSlot& slot = route == 2 ? ws().Editing : ws().Finished;
        const QString name = pick(saveNames_);
        const bool cancel = chance(5);
        note(QStringLiteral("save %1 (%2) to %3")
                 .arg(QString::fromStdString(slot.KindName()))
                 .arg(route == 0 ? "tool button" : route == 1 ? "menu" : "Button1")
                 .arg(cancel ? QStringLiteral("nothing, cancelled") : name));
        auto accepted = std::make_shared<bool>(false);
        const auto shown = driveModal([](QWidget* w) { return qobject_cast<vemui::TSaveDialog*>(w) != nullptr; },
                   [this, name, cancel, accepted](QWidget* w) {
                       auto* d = static_cast<QFileDialog*>(w);
                       if (cancel) return chance(2) ? d->reject() : QTest::keyClick(d, Qt::Key_Escape);
                       d->selectFile(name);
                       if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(name);
                       static_cast<QDialog*>(d)->accept();
                       if (d->isVisible()) return d->reject();
                       *accepted = true;
                   });
        const vem::TGraphic* graphic = slot.Image1.Picture().Graphic();
        const bool hasPixels = graphic && graphic->Width() > 0 && graphic->Height() > 0;
        const bool existed = QFileInfo::exists(name);
        const qsizetype boxes = boxes_.size();
        if (route == 0)
            uitest::Click(MainForm->ToolButton12, Qt::LeftButton, QPointF(5, 5));
        else if (route == 1)
            MainForm->N2->trigger();
        else
            uitest::Click(MainForm->Button1, Qt::LeftButton, QPointF(10, 10));
        expect(*shown, QStringLiteral("the save dialog did not open"));
        const qsizetype boxesShown = boxes_.size() - boxes;
        if (!*accepted) return expect(boxesShown == 0, QStringLiteral("a cancelled save showed a box"));
        if (!graphic) {
            expect(boxesShown == 0 && QFileInfo::exists(name) == existed, QStringLiteral("an empty slot was saved"));
        } else if (name.contains(QLatin1String("missing-folder"))) {
            expect(boxesShown == 1 && boxes_.last().endsWith(QStringLiteral("を作成できません.")),
                   QStringLiteral("a save into a missing folder was not refused"));
        } else if (hasPixels) {
            expect(boxesShown == 0, QStringLiteral("a save into the work folder failed"));
            // What the file holds must look as the slot's picture looks.
            // Read under a .bmp name: the name chosen may have no extension.
            const QString copy = work_ + QStringLiteral("/read-back.bmp");
            QFile::remove(copy);
            expect(QFile::copy(name, copy), QStringLiteral("the saved file is not there"));
            vem::TPicture back;
            try {
                back.LoadFile(copy.toUtf8().toStdString());
            } catch (const std::exception& e) {
                return fail(QStringLiteral("a saved picture does not read back: %1").arg(e.what()));
            }
            const QImage saved = vemui::PictureToQImage(back).convertToFormat(QImage::Format_RGB32);
            const QImage shown = vemui::PictureToQImage(slot.Image1.Picture()).convertToFormat(QImage::Format_RGB32);
            expect(saved == shown, QStringLiteral("a saved picture reads back different"));
        }
    }

    FieldText randomField() {
        switch (uniform(0, 9)) {
        case 0:
        case 1: {
            const int v = uniform(-5, 140);
            return {QString::number(v), v};
        }
        case 2: {
            static const QVector<FieldText> sound{
                {"0", 0},          {" 20", 20},       {"+7", 7},           {"-3", -3},
                {"$1F", 31},       {"x1f", 31},       {"0x1F", 31},        {"0X1f", 31},
                {"X1F", 31},       {"007", 7},        {"-$10", -16},       {"$FFFFFFFF", -1},
                {"-2147483648", INT_MIN}, {"2147483647", INT_MAX}, {"  +0x0a", 10},
            };
            return pick(sound);
        }
        case 3: {
            const std::int32_t v = static_cast<std::int32_t>(rng_());
            return {QString::number(v), v};
        }
        case 4: {
            const std::uint32_t bits = static_cast<std::uint32_t>(rng_());
            return {QStringLiteral("$%1").arg(bits, 0, 16), static_cast<std::int32_t>(bits)};
        }
        case 5: {
            static const QVector<FieldText> junk{
                {"", {}},     {"abc", {}}, {"20 ", {}},   {"2147483648", {}}, {"-2147483649", {}}, {"0x", {}},
                {"$", {}},    {"-", {}},   {"+", {}},     {" ", {}},          {"1.5", {}},         {"１２", {}},
                {"0x1G", {}}, {"1e3", {}}, {"--1", {}},   {"+-1", {}},        {"$100000000", {}},  {"ＸＹ", {}},
            };
            return pick(junk);
        }
        case 6: {
            // Nothing here is a digit, a hexadecimal letter or a prefix, so no
            // text made of it is an integer.
            static const QString letters = QStringLiteral("ghijklmnopqrstuvwyzGHIJKLMNOPQRSTUVWYZ!#%&*()<>?/|~^_=;:',. 画");
            QString text;
            for (int i = uniform(1, 8); i > 0; --i) text += letters[uniform(0, int(letters.size()) - 1)];
            return {text, {}};
        }
        case 7: {
            QString digits = QString::number(uniform(1, 9));
            for (int i = uniform(10, 30); i > 0; --i) digits += QChar(u'0' + uniform(0, 9));
            return {digits, {}};
        }
        default: {
            const int v = uniform(0, 127);
            return {QString::number(v), v};
        }
        }
    }

    // Fields in the order the dialog converts them: X, Y, limit, approximation.
    static constexpr int ConversionOrder[4] = {0, 1, 3, 2};

    void convert() {
        const bool menu = chance(2);
        note(QStringLiteral("convert (%1)").arg(menu ? "menu" : "tool button"));
        auto ok = std::make_shared<bool>(false);
        const auto shown = driveModal([](QWidget* w) { return dynamic_cast<vemui::TOKRightDlg*>(w) != nullptr; },
                                      [this, ok](QWidget* w) { *ok = answerSettings(static_cast<vemui::TOKRightDlg*>(w)); });
        const SlotState finished = stateOf(ws().Finished);
        settingsBoxes_ = 0;
        const qsizetype boxes = boxes_.size();
        if (menu)
            MainForm->N4->trigger();
        else
            uitest::Click(MainForm->ToolButton2, Qt::LeftButton, QPointF(5, 5));
        expect(*shown, QStringLiteral("the settings dialog did not open"));
        if (!*ok) {
            expect(stateOf(ws().Finished) == finished && boxes_.size() == boxes + settingsBoxes_,
                   QStringLiteral("a cancelled conversion ran"));
            return;
        }
        ++conversions_;
        // Boxes of the dialog's own junk fields came before the run.
        const bool ranClean = boxes_.size() == boxes + settingsBoxes_;
        const vem::TConvSettings& s = ws().Settings;
        const int width = ws().Original.Image1.Width(), height = ws().Original.Image1.Height();
        // The pixel rules walk the original's extent: they fail exactly when
        // a picture they read does not cover it (the editing picture always,
        // the original for modes 0 and 1). An empty extent walks nothing.
        auto covers = [&](const vem::TImageSlot& slot) {
            return slot.WorkBmp && slot.WorkBmp->Width() >= width && slot.WorkBmp->Height() >= height;
        };
        if (s.ConvMode >= 0 && s.ConvMode <= 3 && width > 0 && height > 0) {
            const bool sound = covers(ws().Editing) && (s.ConvMode >= 2 || covers(ws().Original));
            expect(ranClean == sound, QStringLiteral("mode %1 over %2x%3 %4").arg(s.ConvMode).arg(width).arg(height)
                                          .arg(ranClean ? "did not fail" : "failed"));
            if (ranClean)
                expect(MainForm->windowTitle() == QStringLiteral("ヴェム～VEM～　100%"),
                       QStringLiteral("caption after a run: %1").arg(MainForm->windowTitle()));
        }
        if (s.ConvMode == 4 && ranClean && ws().Original.HasPixel(s.PointX, s.PointY))
            expect(ws().Editing.Image1.Picture().Width() == ws().Original.Image1.Picture().Width() &&
                       ws().Editing.Image1.Picture().Height() == ws().Original.Image1.Picture().Height(),
                   QStringLiteral("the mask has another size than the original"));
        if (ranClean) expect(MDIChild3->isVisible(), QStringLiteral("the finished window is not visible after a run"));
    }

    // Plays with the dialog, then closes it; true when it closed with OK.
    bool answerSettings(vemui::TOKRightDlg* d) {
        vem::TConvSettings& s = ws().Settings;
        QLineEdit* edits[4] = {d->Edit1, d->Edit2, d->Edit3, d->Edit4};
        std::int32_t* values[4] = {&s.PointX, &s.PointY, &s.ApproxLV, &s.LimitLV};
        FieldText fields[4];
        for (int i = 0; i < 4; ++i) {
            fields[i] = {QString::number(*values[i]), *values[i]};
            expect(edits[i]->text() == fields[i].Text, QStringLiteral("a field does not show its setting"));
        }
        QRadioButton* radios[5] = {d->RadioButton1, d->RadioButton2, d->RadioButton3, d->RadioButton4, d->RadioButton5};
        for (QRadioButton* r : radios) expect(!r->isChecked(), QStringLiteral("a mode is selected at opening"));
        std::int32_t mode = s.ConvMode;
        for (int n = uniform(0, 5); n > 0; --n) {
            const int what = uniform(0, 9);
            if (what < 3) {
                const int k = uniform(0, 4);
                uitest::Click(radios[k], Qt::LeftButton, QPointF(4, 8));
                mode = k;
            } else if (what < 8) {
                const int i = uniform(0, 3);
                fields[i] = randomField();
                edits[i]->setText(fields[i].Text);
            } else {
                chooseColour(what == 8 ? d->Image1 : d->Image2, what == 8 ? s.TargetColor : s.BackColor);
            }
        }
        note(QStringLiteral("  fields '%1' '%2' '%3' '%4', mode %5")
                 .arg(fields[0].Text, fields[1].Text, fields[2].Text, fields[3].Text)
                 .arg(mode));
        for (int attempt = 0; attempt < 4; ++attempt) {
            const int how = uniform(0, 4);
            const qsizetype boxes = boxes_.size();
            switch (how) {
            case 0: uitest::Click(d->OKBtn, Qt::LeftButton, QPointF(10, 10)); break;
            case 1: QTest::keyClick(d, Qt::Key_Return); break;
            case 2: uitest::Click(d->CancelBtn, Qt::LeftButton, QPointF(10, 10)); break;
            case 3: QTest::keyClick(d, Qt::Key_Escape); break;
            default: d->close(); break;
            }
            int bad = -1;
            for (int i : ConversionOrder) {
                if (!fields[i].Value) {
                    bad = i;
                    break;
                }
                expect(*values[i] == *fields[i].Value, QStringLiteral("field %1 stored %2 for '%3'")
                                                           .arg(i + 1).arg(*values[i]).arg(fields[i].Text));
            }
            expect(s.ConvMode == mode, QStringLiteral("the mode is %1, chosen %2").arg(s.ConvMode).arg(mode));
            if (bad < 0) {
                expect(!d->isVisible() && boxes_.size() == boxes, QStringLiteral("sound fields did not close the dialog"));
                return how <= 1;
            }
            expect(d->isVisible(), QStringLiteral("the dialog closed over the junk field '%1'").arg(fields[bad].Text));
            const QString expected = QStringLiteral("'") + fields[bad].Text + QStringLiteral("' は整数ではありません.");
            ++settingsBoxes_;
            expect(boxes_.size() == boxes + 1 && boxes_.last() == expected,
                   QStringLiteral("junk field '%1' gave boxes %2").arg(fields[bad].Text, boxes_.mid(boxes).join(" | ")));
            if (!d->isVisible()) return false;
            // Fix the fields, as the user has to.
            for (int i = 0; i < 4; ++i)
                if (!fields[i].Value) {
                    const int v = uniform(0, 127);
                    fields[i] = {QString::number(v), v};
                    edits[i]->setText(fields[i].Text);
                }
        }
        fail(QStringLiteral("the settings dialog could not be closed"));
        d->hide();
        return false;
    }

    void chooseColour(QWidget* swatch, const vem::TColor& setting) {
        const int r = uniform(0, 255), g = uniform(0, 255), b = uniform(0, 255);
        const bool accept = chance(3) == false;
        const vem::TColor before = setting;
        const auto shown = driveModal([](QWidget* w) { return qobject_cast<QColorDialog*>(w) != nullptr; },
                   [r, g, b, accept](QWidget* w) {
                       auto* c = static_cast<QColorDialog*>(w);
                       c->setCurrentColor(QColor(r, g, b));
                       if (accept) c->accept();
                       else c->reject();
                   });
        uitest::Click(swatch, Qt::LeftButton, QPointF(20, 8));
        expect(*shown, QStringLiteral("the colour dialog did not open"));
        const vem::TColor expected = accept ? vem::RGB(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)) : before;
        expect(setting == expected, QStringLiteral("a colour choice stored %1").arg(setting, 0, 16));
    }

    void checkBox() {
        QCheckBox* box = chance(2) ? MainForm->CheckBox1 : MainForm->CheckBox2;
        note(QStringLiteral("click %1").arg(box->objectName()));
        uitest::Click(box, Qt::LeftButton, QPointF(6, 10));
    }

    void copyButton() {
        const bool toEditing = chance(2);
        QPushButton* button = toEditing ? MainForm->Button2 : MainForm->Button3;
        vem::TImageSlot& source = toEditing ? ws().Original : ws().Finished;
        vem::TImageSlot& target = toEditing ? ws().Editing : ws().Original;
        note(QStringLiteral("click %1").arg(button->text()));
        const SlotState before = stateOf(target);
        const qsizetype boxes = boxes_.size();
        uitest::Click(button, Qt::LeftButton, QPointF(10, 10));
        const SlotState after = stateOf(target);
        expect(boxes_.size() == boxes, QStringLiteral("a copy showed a box"));
        expect(after.Caption == before.Caption && after.Width == before.Width && after.Height == before.Height,
               QStringLiteral("a copy changed the target's caption or extent"));
        expect(target.Image1.Picture().Width() == source.Image1.Picture().Width() &&
                   target.Image1.Picture().Height() == source.Image1.Picture().Height(),
               QStringLiteral("a copy has another size than its source"));
    }

    void windowCommand() {
        QVector<TMDIChild*> all = windows();
        switch (uniform(0, 10)) {
        case 0: note("cascade button"); uitest::Click(MainForm->ToolButton8, Qt::LeftButton, QPointF(5, 5)); break;
        case 1: note("tile button"); uitest::Click(MainForm->ToolButton10, Qt::LeftButton, QPointF(5, 5)); break;
        case 2: note("side by side button"); uitest::Click(MainForm->ToolButton11, Qt::LeftButton, QPointF(5, 5)); break;
        case 3: note("cascade item"); MainForm->WindowCascadeItem->trigger(); break;
        case 4: note("tile item"); MainForm->WindowTileItem->trigger(); break;
        case 5: note("side by side item"); MainForm->WindowTileItem2->trigger(); break;
        case 6:
            note("minimise all");
            MainForm->WindowMinimizeItem->trigger();
            for (TMDIChild* w : all) expect(w->isHidden() || w->isMinimized(), QStringLiteral("a window is not minimised"));
            break;
        case 7: note("arrange"); MainForm->WindowArrangeItem->trigger(); break;
        case 8:
        case 9: {
            emit MainForm->Window1->aboutToShow();
            const int n = uniform(1, 3);
            note(QStringLiteral("window list entry %1").arg(n));
            QAction* item = MainForm->Window1->findChild<QAction*>(QStringLiteral("WindowListItem%1").arg(n));
            expect(item != nullptr, QStringLiteral("the window list has no entry %1").arg(n));
            if (!item) break;
            item->trigger();
            TMDIChild* w = all[n - 1];
            expect(w->isVisible() && !w->isMinimized(), QStringLiteral("a window list entry did not bring its window"));
            break;
        }
        default: {
            TMDIChild* w = pick(all);
            note(QStringLiteral("close box of %1").arg(w->windowTitle()));
            w->close();
            expect(w->isHidden(), QStringLiteral("the close box did not hide the window"));
        }
        }
    }

    void drop() {
        QVector<PoolFile> files;
        for (int n = uniform(1, 3); n > 0; --n) files << randomFile();
        const int answer = uniform(0, 4); // OK, Enter, Cancel, Esc, close box
        const int clicks = uniform(0, 3);
        note(QStringLiteral("drop %1 (+%2 more), %3 radio clicks, answer %4")
                 .arg(files.first().Path)
                 .arg(files.size() - 1)
                 .arg(clicks)
                 .arg(answer));
        auto target = std::make_shared<int>(0);
        const auto done = driveModal([](QWidget* w) { return qobject_cast<vemui::TOKBottomDlg*>(w) != nullptr; },
                   [this, answer, clicks, target](QWidget* w) {
                       auto* d = static_cast<vemui::TOKBottomDlg*>(w);
                       expect(d->RadioButton1->isChecked() && d->LoadTarget == 1,
                              QStringLiteral("the load-target dialog does not start on the original"));
                       int t = 1;
                       for (int i = 0; i < clicks; ++i) {
                           t = uniform(1, 2);
                           uitest::Click(t == 1 ? d->RadioButton1 : d->RadioButton2, Qt::LeftButton, QPointF(4, 8));
                       }
                       expect(d->LoadTarget == t, QStringLiteral("the load target does not follow the radio buttons"));
                       switch (answer) {
                       case 0: uitest::Click(d->OKBtn, Qt::LeftButton, QPointF(10, 10)); break;
                       case 1: QTest::keyClick(d, Qt::Key_Return); break;
                       case 2: uitest::Click(d->CancelBtn, Qt::LeftButton, QPointF(10, 10)); break;
                       case 3: QTest::keyClick(d, Qt::Key_Escape); break;
                       default: d->close(); break;
                       }
                       expect(!d->isVisible(), QStringLiteral("the load-target dialog stayed open"));
                       *target = answer <= 1 ? t : 0;
                   });
        const QVector<SlotState> before = slotStates();
        const qsizetype boxes = boxes_.size();
        QMimeData mime;
        QList<QUrl> urls;
        for (const PoolFile& f : files) urls << QUrl::fromLocalFile(f.Path);
        mime.setUrls(urls);
        const QPoint at(uniform(0, MainForm->width() - 1), uniform(0, MainForm->height() - 1));
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(MainForm, &enter);
        expect(enter.isAccepted(), QStringLiteral("a drop of files was refused"));
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(MainForm, &dropped);
        // The dialog runs as the event after the drop.
        for (int i = 0; i < 50 && !*done; ++i) QCoreApplication::processEvents();
        expect(*done, QStringLiteral("the load-target dialog did not open"));
        ++drops_;
        checkLoad(*target, files.first(), before, boxes);
    }

    void comboBox() {
        QComboBox* c = MainForm->ComboBox1;
        switch (uniform(0, 3)) {
        case 0: c->setCurrentIndex(0); break;
        case 1: c->setCurrentIndex(1); break;
        case 2: c->setEditText(QStringLiteral("なにか")); break;
        default: c->setEditText(c->itemText(uniform(0, 1))); break;
        }
        note(QStringLiteral("combo box: '%1'").arg(c->currentText()));
    }

    // Shortcuts: Ctrl+O opens (answered like the open command); the others do nothing.
    void shortcut() {
        static const QVector<Qt::Key> keys{Qt::Key_O, Qt::Key_N, Qt::Key_S, Qt::Key_X, Qt::Key_C, Qt::Key_V};
        const Qt::Key key = pick(keys);
        if (key == Qt::Key_O) return open();
        note(QStringLiteral("Ctrl+%1").arg(QLatin1Char(char(key))));
        driveModal([](QWidget*) { return true; },
                   [this](QWidget* w) {
                       fail(QStringLiteral("a shortcut opened %1").arg(w->objectName()));
                       w->hide();
                   });
        const QVector<SlotState> before = slotStates();
        QTest::keyClick(MainForm, key, Qt::ControlModifier);
        expect(slotStates() == before, QStringLiteral("a shortcut without a handler changed a slot"));
    }

    // Closing the main window ends a run of the program: start the next one.
    void maybeExit() {
        if (!chance(4)) return comboBox();
        note(QStringLiteral("exit and start again"));
        MainForm->FileExitItem->trigger();
        expect(!MainForm->isVisible(), QStringLiteral("exit left the main window open"));
        DestroyApplicationForms();
        startForms();
    }

    // --- The program must be whole after every action ---
    void checkWhole(qsizetype boxesBefore) {
        if (!escapedFailures().isEmpty())
            fail(QStringLiteral("a failure escaped into the event dispatch: ") + escapedFailures().join(" | "));
        if (QWidget* w = QApplication::activeModalWidget())
            fail(QStringLiteral("a modal window is still open: %1").arg(w->objectName()));
        for (qsizetype i = boxesBefore; i < boxes_.size(); ++i)
            if (!isKnownBoxText(boxes_[i])) fail(QStringLiteral("unknown error box text: %1").arg(boxes_[i]));
        for (const char* name : {"OKRightDlg", "OKBottomDlg", "PreviewForm"})
            if (MainForm->findChild<QWidget*>(QLatin1String(name)))
                fail(QStringLiteral("a dialog for one use outlived its command: %1").arg(QLatin1String(name)));
        const QVector<TMDIChild*> all = windows();
        expect(all.size() == 3 && MainForm->MdiArea->subWindowList().size() == 3,
               QStringLiteral("an image window is gone"));
        for (TMDIChild* w : all) checkSlot(*w);
        QCheckBox* c1 = MainForm->CheckBox1;
        QCheckBox* c2 = MainForm->CheckBox2;
        expect(c1->isChecked() ? c2->isEnabled() : !c2->isEnabled() && !c2->isChecked(),
               QStringLiteral("the check boxes are out of step"));
        expect(MainForm->windowTitle().startsWith(QStringLiteral("ヴェム～VEM～　")),
               QStringLiteral("main caption %1").arg(MainForm->windowTitle()));
    }

    void checkSlot(TMDIChild& w) {
        const vem::TImageSlot& s = w.Slot();
        const vem::TPicture& picture = s.Image1.Picture();
        const QString kind = QString::fromStdString(s.KindName());
        if (s.WorkBmp == nullptr)
            expect(picture.Graphic() == nullptr, kind + QStringLiteral(": WorkBmp null over a picture"));
        else
            expect(s.WorkBmp == dynamic_cast<const vem::TBitmap*>(picture.Graphic()),
                   kind + QStringLiteral(": WorkBmp is not the picture's bitmap"));
        expect(w.windowTitle() == QString::fromStdString(s.Caption()), kind + QStringLiteral(": caption out of step"));
        expect(w.Image1()->size() == QSize(s.Image1.Width(), s.Image1.Height()),
               kind + QStringLiteral(": the picture control is not the slot's extent"));
        if (s.Number() == 3 && picture.Width() > 0 && picture.Height() > 0)
            expect(s.Image1.Width() == picture.Width() && s.Image1.Height() == picture.Height(),
                   QStringLiteral("完成: the extent does not follow the picture"));
    }
};

} // namespace

// The offscreen platform says for every window move that it cannot do what
// a real one would; thousands of such lines would bury the report.
QtMessageHandler& testMessageHandler() {
    static QtMessageHandler handler = nullptr;
    return handler;
}

void quietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("This plugin does not support"))) return;
    if (testMessageHandler()) testMessageHandler()(type, context, text);
}

class TestMonkey : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QVector<PoolFile> pool_;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        return uitest::WriteFile(dir_.filePath(QStringLiteral("pool/") + name), bytes);
    }

private slots:
    void initTestCase() {
        testMessageHandler() = qInstallMessageHandler(quietPlatform);
        QVERIFY(dir_.isValid());
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("pool")));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("work")));
        const QString corpus = QStringLiteral(VEM_TEST_DATA_DIR "/bmpsuite/");
        QStringList sound;
        for (const char* sub : {"g", "q", "b", "x"}) {
            QDir d(corpus + QLatin1String(sub));
            const QStringList names = d.entryList({"*.bmp"}, QDir::Files, QDir::Name);
            for (const QString& n : names) {
                pool_ << PoolFile{d.filePath(n), false};
                if (*sub == 'g') sound << d.filePath(n);
            }
        }
        QVERIFY2(pool_.size() >= 80, "the picture corpus is missing");

        // Damaged copies of sound files, made the same way every run.
        std::mt19937 damage(7);
        for (int i = 0; i < 24; ++i) {
            QFile f(sound[int(damage() % sound.size())]);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QByteArray b = f.readAll();
            const bool cut = i % 2 == 0;
            if (cut) {
                b.truncate(int(damage() % b.size()));
            } else {
                // A few bytes of the headers changed.
                for (int k = 0; k < 3; ++k) b[int(damage() % 60)] = char(damage());
            }
            pool_ << PoolFile{writeFile(QStringLiteral("damaged-%1.bmp").arg(i), b), cut && b.size() < 14};
        }
        const QByteArray small = uitest::Bmp24(9, 7, [](int x, int y) { return (x * 29 + y * 71) % 3 == 0 ? 0xFFFFFFu : 0x2080C0u; });
        const QByteArray tall = uitest::Bmp24(5, 70, [](int x, int y) { return std::uint32_t(0x010101 * ((x + y) & 0xFF)); });
        pool_ << PoolFile{writeFile(QStringLiteral("small.bmp"), small), false}
              << PoolFile{writeFile(QStringLiteral("tall.bmp"), tall), false}
              << PoolFile{writeFile(QStringLiteral("ファイル 名.bmp"), small), false}
              << PoolFile{writeFile(QStringLiteral("icon.ico"), iconFile()), false}
              << PoolFile{writeFile(QStringLiteral("ICON2.ICO"), iconFile()), false}
              << PoolFile{writeFile(QStringLiteral("window.wmf"), wmfFile()), false}
              << PoolFile{writeFile(QStringLiteral("bitmap-named.ico"), small), true}
              << PoolFile{writeFile(QStringLiteral("bitmap-named.emf"), small), true}
              << PoolFile{writeFile(QStringLiteral("junk.wmf"), QByteArray(40, char(0x5A))), true}
              << PoolFile{writeFile(QStringLiteral("empty.bmp"), QByteArray()), false} // an empty bitmap
              << PoolFile{writeFile(QStringLiteral("notes.txt"), "just words\n"), true}
              << PoolFile{writeFile(QStringLiteral("photo.JPG"), small), true}
              << PoolFile{writeFile(QStringLiteral("README"), small), true}
              << PoolFile{dir_.filePath(QStringLiteral("pool/missing.bmp")), true};
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("pool/folder.bmp")));
        pool_ << PoolFile{dir_.filePath(QStringLiteral("pool/folder.bmp")), true};

        // The icon and the metafile must really load, or the monkey never
        // sees a slot whose picture had to become an empty bitmap.
        for (const char* name : {"icon.ico", "window.wmf"}) {
            vem::TPicture p;
            try {
                p.LoadFile(dir_.filePath(QStringLiteral("pool/") + QLatin1String(name)).toStdString());
            } catch (const std::exception& e) {
                QFAIL(qPrintable(QStringLiteral("%1 does not load: %2").arg(name, e.what())));
            }
            QVERIFY(p.Graphic() && p.Width() > 0);
        }
    }

    void randomUse() {
        const QByteArray seedText = qgetenv("VEM_MONKEY_SEED");
        const QByteArray stepsText = qgetenv("VEM_MONKEY_STEPS");
        int steps = DefaultSteps;
        if (!stepsText.isEmpty()) {
            bool ok = false;
            steps = stepsText.toInt(&ok);
            QVERIFY2(ok && steps > 0, "VEM_MONKEY_STEPS is not a positive number");
        }
        QVector<QPair<std::uint64_t, int>> runs;
        if (!seedText.isEmpty()) {
            bool ok = false;
            runs << qMakePair(std::uint64_t(seedText.toULongLong(&ok)), steps);
            QVERIFY2(ok, "VEM_MONKEY_SEED is not a number");
        } else {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            runs << qMakePair(FixedSeed, (steps + 1) / 2)
                 << qMakePair(std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(now).count()), steps / 2);
        }

        // A step stuck outside every event loop cannot be stopped from
        // inside: a thread ends the process with the seed instead.
        std::atomic<std::int64_t> progress(std::chrono::steady_clock::now().time_since_epoch().count());
        std::atomic<std::uint64_t> currentSeed(0);
        std::mutex m;
        std::condition_variable stop;
        bool stopping = false;
        std::thread watchdog([&] {
            std::unique_lock lock(m);
            while (!stop.wait_for(lock, std::chrono::seconds(1), [&] { return stopping; })) {
                const auto idle = std::chrono::steady_clock::now().time_since_epoch() -
                                  std::chrono::steady_clock::duration(progress.load());
                if (idle > std::chrono::seconds(StuckSeconds)) {
                    std::fprintf(stderr, "monkey: no progress for %d s, seed %llu: stopping\n", StuckSeconds,
                                 static_cast<unsigned long long>(currentSeed.load()));
                    std::abort();
                }
            }
        });
        QString failure;
        for (const auto& [seed, n] : runs) {
            qInfo("monkey seed %llu, %d steps (replay: VEM_MONKEY_SEED=%llu VEM_MONKEY_STEPS=%d)",
                  static_cast<unsigned long long>(seed), n, static_cast<unsigned long long>(seed), n);
            currentSeed = seed;
            QDir work(dir_.filePath(QStringLiteral("work")));
            work.removeRecursively();
            QDir().mkpath(work.path());
            Monkey monkey(seed, pool_, work.path());
            failure = monkey.Run(n, progress);
            if (!failure.isEmpty()) break;
        }
        {
            std::lock_guard lock(m);
            stopping = true;
        }
        stop.notify_all();
        watchdog.join();
        // Qt Test shortens long messages: the whole report goes out line by line.
        if (!failure.isEmpty())
            for (const QString& line : failure.split(QLatin1Char('\n'))) qInfo("%s", qPrintable(line));
        QVERIFY2(failure.isEmpty(), qPrintable(failure.section(QLatin1Char('\n'), 0, 0)));
    }
};

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    uitest::PrepareHome();
    TMonkeyApplication app(argc, argv);
    // The monkey closes the main window now and then and starts the program
    // again: that must not end the test's own run.
    QApplication::setQuitOnLastWindowClosed(false);
    TestMonkey tc;
    QTEST_SET_MAIN_SOURCE_PATH
    const int rc = QTest::qExec(&tc, argc, argv);
    QDir(uitest::HomeDir()).removeRecursively();
    return rc;
}

#include "tst_Monkey.moc"
