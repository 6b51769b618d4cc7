// The application object: the outermost catch of the event loop, and the
// preparations that every run needs before its first window.
#pragma once

#include <QApplication>

namespace vemui {

// The font the forms ask for, and the installed font it is mapped onto.
inline constexpr const char* FormFontFamily = "ＭＳ Ｐゴシック";
inline constexpr const char* JapaneseFontFamily = "Noto Sans CJK JP";

// Steps every run takes before any window or dialog exists:
// - Qt's own dialogs would remember state (file dialog history and last
//   folder, colour dialog custom colours) in a "QtProject" settings file; the
//   program stores nothing between runs, so every settings path is pointed
//   where no file can ever be opened or created;
// - a dialog that the window manager minimises comes straight back;
// - the forms' font name is mapped onto an installed Japanese font;
// - Qt's Japanese translation is installed, so the standard dialogs' buttons
//   speak Japanese. Returns false when that translation is not installed (the
//   dialogs then keep Qt's English texts).
bool PrepareApplication(QApplication& app);

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    // Runs the event's handler; a failure is shown by the error display and
    // never unwinds through Qt's dispatch. The event then counts as handled
    // and the program goes on with the next event.
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace vemui
