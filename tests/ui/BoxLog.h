// Records what the error box would show, instead of showing it, while it lives.
#pragma once

#include <QStringList>

#include "ui/ErrorDisplay.h"

struct BoxLog {
    QStringList titles, texts;
    BoxLog() {
        vemui::SetErrorBoxHook([this](const QString& title, const QString& text) {
            titles << title;
            texts << text;
        });
    }
    ~BoxLog() { vemui::SetErrorBoxHook({}); }
    BoxLog(const BoxLog&) = delete;
    BoxLog& operator=(const BoxLog&) = delete;
};
