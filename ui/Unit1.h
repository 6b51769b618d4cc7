// The original picture's window (slot 1).
#pragma once

#include "CHILDWIN.h"

class TMDIChild1 : public TMDIChild {
    Q_OBJECT
public:
    explicit TMDIChild1(TMainForm* owner);
    QString KindName() const override;
};

// Created at start-up after the main window; lives as long as it.
extern TMDIChild1* MDIChild1;
