#include "FileDialogCommon.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QEvent>
#include <QFileDialog>
#include <QRegularExpression>

#include "DialogPlacement.h"
#include "FormControls.h"

namespace vemui {
namespace {

QStringList splitPatterns(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

// The description without a trailing "(patterns)" that repeats PATTERNS.
QString withoutOwnPatterns(QString description, const QStringList& patterns) {
    description = description.trimmed();
    if (!description.endsWith(QLatin1Char(')'))) return description;
    const qsizetype open = description.lastIndexOf(QLatin1Char('('));
    if (open < 0) return description;
    const QString inner = description.mid(open + 1, description.size() - open - 2);
    if (splitPatterns(inner) != patterns) return description;
    return description.left(open).trimmed();
}

} // namespace

QStringList NameFiltersFromFilterText(const std::string& filterText) {
    const QStringList parts = QString::fromUtf8(filterText.data(), static_cast<qsizetype>(filterText.size()))
                                  .split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = splitPatterns(parts[i + 1]);
        if (patterns.isEmpty()) continue;
        const QString joined = patterns.join(QLatin1Char(' '));
        const QString description = withoutOwnPatterns(parts[i], patterns);
        filters << (description.isEmpty() ? joined : description + QStringLiteral(" (") + joined + QLatin1Char(')'));
    }
    return filters;
}

void PrepareFileDialog(QFileDialog* dialog) {
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QString());
    // The application already keeps Qt from reading or writing its settings
    // file; emptying the history as well means the folder list never starts
    // with places from another run whatever that file held.
    dialog->setHistory(QStringList());
    PlaceCommonDialogWhenShown(dialog);
    // The name completer's list is a window of its own, not a child of the
    // dialog: when Enter both accepts a typed name and picks it from the list,
    // the list stays on screen after the dialog has gone and swallows the next
    // press anywhere. It goes whenever the dialog does.
    onEvent(dialog, QEvent::Hide, [dialog] {
        const QList<QCompleter*> completers = dialog->findChildren<QCompleter*>();
        for (QCompleter* c : completers)
            if (c->popup()) c->popup()->hide();
    });
}

std::string LocalFileName(const QString& fileName) { return fileName.toUtf8().toStdString(); }

} // namespace vemui
