#include "Unit3.h"

#include "MAIN.h"

TMDIChild3* MDIChild3 = nullptr;

TMDIChild3::TMDIChild3(TMainForm* owner) : TMDIChild(owner, owner->Workspace.Finished) {
    setObjectName(QStringLiteral("MDIChild3"));
}

QString TMDIChild3::KindName() const { return QStringLiteral("完成"); }
