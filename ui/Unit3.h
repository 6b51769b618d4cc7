// The finished picture's window (slot 3).
#pragma once

#include "CHILDWIN.h"

class TMDIChild3 : public TMDIChild {
    Q_OBJECT
public:
    explicit TMDIChild3(TMainForm* owner);
    QString KindName() const override;
};

// Created at start-up after the main window; lives as long as it.
extern TMDIChild3* MDIChild3;
