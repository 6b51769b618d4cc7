// Building a form's controls.
#pragma once

#include <QString>

namespace vemui {

// A control keeps its form name as its object name, so that tests and the
// code find it by that name.
template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace vemui
