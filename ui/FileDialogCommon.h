// What the open and save dialogs share: the filter translation, the
// preparation of the Qt dialog they are built on, and the file names they
// hand to the core.
#pragma once

#include <string>

#include <QStringList>

class QFileDialog;

namespace vemui {

// The program writes its filters as "description|patterns|description|
// patterns..." with ";"-separated patterns; Qt wants one "description
// (patterns)" entry per type, patterns separated by spaces. A description
// that already ends in its own patterns in parentheses (as "ビットマップ
// (*.bmp)") keeps them once, space-separated; any other parenthesised text
// stays part of the description. A description without its pattern text
// after it is dropped.
QStringList NameFiltersFromFilterText(const std::string& filterText);

// The settings that both dialogs share: Qt's own widget dialog (the platform
// dialog has no room for the preview and could not be driven in tests); any
// name accepted, existing or not (a missing file is reported by the load
// that follows); no default suffix; no remembered folders; placed by the
// common-dialog rule each time it is shown; the name completer's list closes
// with the dialog.
void PrepareFileDialog(QFileDialog* dialog);

// FILENAME as the core's file functions take it: Qt's file names are UTF-8
// on this platform, as are the core's.
std::string LocalFileName(const QString& fileName);

} // namespace vemui
