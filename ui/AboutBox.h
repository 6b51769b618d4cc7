// The about box: created hidden at start-up; it has no behaviour of its own.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace vemui {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* owner = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QLabel* Comments;
    QPushButton* OKButton;
};

} // namespace vemui
