// The three image windows: the original picture's (slot 1), the editing
// picture's (slot 2) and the finished picture's (slot 3). They differ only by
// the slot they show, which names their kind.
#pragma once

#include "ImageWindow.h"

class TMDIChild1 : public TMDIChild {
    Q_OBJECT
public:
    explicit TMDIChild1(vem::TImageSlot& original) : TMDIChild(original) {}
    QString KindName() const override { return SlotKindName(); }
};

class TMDIChild2 : public TMDIChild {
    Q_OBJECT
public:
    explicit TMDIChild2(vem::TImageSlot& editing) : TMDIChild(editing) {}
    QString KindName() const override { return SlotKindName(); }
};

class TMDIChild3 : public TMDIChild {
    Q_OBJECT
public:
    explicit TMDIChild3(vem::TImageSlot& finished) : TMDIChild(finished) {}
    QString KindName() const override { return SlotKindName(); }
};

// Created at start-up after the main window; each lives as long as it.
extern TMDIChild1* MDIChild1;
extern TMDIChild2* MDIChild2;
extern TMDIChild3* MDIChild3;
