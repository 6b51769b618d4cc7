#include "Unit1.h"

#include "MAIN.h"

TMDIChild1* MDIChild1 = nullptr;

TMDIChild1::TMDIChild1(TMainForm* owner) : TMDIChild(owner, owner->Workspace.Original) {
    setObjectName(QStringLiteral("MDIChild1"));
}

QString TMDIChild1::KindName() const { return QStringLiteral("原画"); }
