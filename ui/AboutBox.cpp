#include "AboutBox.h"

#include <QFrame>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "Application.h"
#include "FormControls.h"
#include "vem_version.h"

namespace vemui {

TAboutBox::TAboutBox(QWidget* owner)
    : QDialog(owner, FixedDialogFlags) {
    prepareFixedDialog(this, "AboutBox", "バージョン情報", QSize(252, 184));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 236, 137);

    // The program's icon when the executable carries one; tests run without it.
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 65, 57);
    if (const QIcon icon = QApplication::windowIcon(); !icon.isNull())
        ProgramIcon->setPixmap(icon.pixmap(48, 48));

    // Name and version come from the build, so the box always tells which build runs.
    ProductName = makeLabel(Panel1, "ProductName", "ヴェム～VEM～", 88, 16);
    Version = makeLabel(Panel1, "Version", "バージョン " VEM_VERSION, 88, 40);
    Copyright = makeLabel(Panel1, "Copyright", "著作権表記", 8, 80);
    Comments = makeLabel(Panel1, "Comments", "コメント", 8, 104);
    Comments->setWordWrap(true);
    Comments->setGeometry(8, 104, 220, 25);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(88, 152, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { done(1); });

    centerOnScreen(this, owner);
}

} // namespace vemui
