// Shared pieces of the window tests: pictures built in code, a fresh set of
// the program's forms per case, modal dialogs driven from the event loop and
// the error box read through its hook.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>

#include <QApplication>
#include <QByteArray>
#include <QColor>
#include <QComboBox>
#include <QToolButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStringList>
#include <QTimer>
#include <QtTest>

#include "support/BmpBuilder.h"
#include "ui/Application.h"
#include "ui/ErrorDisplay.h"
#include "ui/MainForm.h"
#include "ui/PictureView.h"

namespace uitest {

// Bytes made by the shared test support, as Qt holds them.
inline QByteArray ToQByteArray(const vem::test::Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// A 24-bit bottom-up BMP file of W x H pixels; Rgb(x, y) gives 0xRRGGBB.
inline QByteArray Bmp24(int w, int h, const std::function<std::uint32_t(int, int)>& rgb) {
    return ToQByteArray(vem::test::Bmp24(w, h, rgb));
}

inline QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The pixels of a 24-bit BMP file as 0xRRGGBB, top row first; empty when the
// bytes are not such a file.
inline QVector<std::uint32_t> BmpPixels(const QByteArray& b, int& w, int& h) {
    QVector<std::uint32_t> px;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return px;
    auto u32 = [&](int at) {
        return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
               std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
    };
    const std::uint32_t offset = u32(10);
    w = static_cast<int>(u32(18));
    const std::int32_t sh = static_cast<std::int32_t>(u32(22));
    h = sh < 0 ? -sh : sh;
    const int bits = std::uint8_t(b[28]) | std::uint8_t(b[29]) << 8;
    const int stride = (w * 3 + 3) / 4 * 4;
    if (bits != 24 || w <= 0 || h <= 0 || qint64(offset) + qint64(stride) * h > b.size()) return px;
    for (int y = 0; y < h; ++y) {
        const int row = sh < 0 ? y : h - 1 - y;
        const char* p = b.constData() + offset + qint64(row) * stride;
        // Stored blue, green, red: blue lands in the low byte, red in the high one.
        for (int x = 0; x < w; ++x)
            px.push_back(std::uint32_t(std::uint8_t(p[3 * x])) | std::uint32_t(std::uint8_t(p[3 * x + 1])) << 8 |
                         std::uint32_t(std::uint8_t(p[3 * x + 2])) << 16);
    }
    return px;
}

// The slot's picture as shown on screen, as 0xRRGGBB at (x, y).
inline std::uint32_t ShownPixel(const vem::TImageSlot& slot, int x, int y) {
    const QImage img = vemui::PictureToQImage(slot.Image1.Picture());
    return img.pixel(x, y) & 0xFFFFFF;
}

// Runs F on the modal dialog once it is open (from the nested event loop of
// its exec), or with null when none is open.
inline void WhenModal(std::function<void(QWidget*)> f) {
    QTimer::singleShot(0, qApp, [f] { f(QApplication::activeModalWidget()); });
}

// Chooses Path in the open or save file dialog that is about to open.
inline void ChooseFile(const QString& path) {
    WhenModal([path](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        QVERIFY2(dialog, "no file dialog is open");
        dialog->selectFile(path);
        // The program's dialogs live across openings and keep the focus in
        // their name field, which selectFile leaves alone while the dialog
        // shows: type the name there too, as a user would.
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

// Boxes that no case expected; a real box would wait for a user forever.
inline QStringList& UnexpectedBoxes() {
    static QStringList texts;
    return texts;
}

inline void CatchUnexpectedBoxes() {
    UnexpectedBoxes().clear();
    vemui::SetErrorBoxHook([](const QString&, const QString& text) { UnexpectedBoxes() << text; });
}

// The program's forms as start-up makes them, the main window on show, with
// any unexpected box caught.
inline void StartForms() {
    CatchUnexpectedBoxes();
    CreateApplicationForms();
    MainForm->resize(900, 700);
    MainForm->show();
}

// Destroys the forms; returns the texts of the boxes nobody expected.
inline QString StopForms() {
    DestroyApplicationForms();
    return UnexpectedBoxes().join(QLatin1Char('\n'));
}

// Collects what the error box would have shown while it lives.
struct ErrorBoxes {
    QStringList Texts;
    ErrorBoxes() {
        vemui::SetErrorBoxHook([this](const QString&, const QString& text) { Texts << text; });
    }
    ~ErrorBoxes() { vemui::SetErrorBoxHook([](const QString&, const QString& text) { UnexpectedBoxes() << text; }); }
};

// A press (and release) of Button at the fractional position Pos on W; with
// Twice, a second press follows as a double click, the way a platform sends it.
inline void Click(QWidget* w, Qt::MouseButton button, QPointF pos, bool twice = false) {
    auto send = [&](QEvent::Type type) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    if (twice) {
        send(QEvent::MouseButtonDblClick);
        send(QEvent::MouseButtonRelease);
    }
}

// Loads File into the slots the combo box names, through the open command.
inline void OpenThroughDialog(int comboIndex, const QString& file) {
    MainForm->ComboBox1->setCurrentIndex(comboIndex);
    ChooseFile(file);
    MainForm->ToolButton1->click();
}

// The test executables' own main: the program's application object (its
// settings paths disabled and its catch in place) on the offscreen platform.
#define VEM_UI_TEST_MAIN(TestClass)                                                                           \
    int main(int argc, char** argv) {                                                                          \
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");          \
        uitest::PrepareHome();                                                                                 \
        vemui::TApplication app(argc, argv);                                                                   \
        TestClass tc;                                                                                          \
        QTEST_SET_MAIN_SOURCE_PATH                                                                             \
        const int rc = QTest::qExec(&tc, argc, argv);                                                          \
        QDir(uitest::HomeDir()).removeRecursively();                                                           \
        return rc;                                                                                             \
    }

// Points HOME and XDG_CONFIG_HOME at a fresh folder, so a test can see
// whether a run writes any settings file. The folder's path is in HomeDir().
inline QString& HomeDir() {
    static QString dir;
    return dir;
}

inline void PrepareHome() {
    QByteArray tmpl = QDir::tempPath().toUtf8() + "/vem-ui-home-XXXXXX";
    if (!mkdtemp(tmpl.data())) qFatal("mkdtemp failed");
    HomeDir() = QString::fromUtf8(tmpl);
    qputenv("HOME", tmpl);
    qputenv("XDG_CONFIG_HOME", tmpl + "/.config");
}

} // namespace uitest
