#include "Unit2.h"

#include "MAIN.h"

TMDIChild2* MDIChild2 = nullptr;

TMDIChild2::TMDIChild2(TMainForm* owner) : TMDIChild(owner, owner->Workspace.Editing) {
    setObjectName(QStringLiteral("MDIChild2"));
}

QString TMDIChild2::KindName() const { return QStringLiteral("編集用"); }
