// The editing picture's window (slot 2).
#pragma once

#include "CHILDWIN.h"

class TMDIChild2 : public TMDIChild {
    Q_OBJECT
public:
    explicit TMDIChild2(TMainForm* owner);
    QString KindName() const override;
};

// Created at start-up after the main window; lives as long as it.
extern TMDIChild2* MDIChild2;
