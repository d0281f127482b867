#include "platform/dialogs.h"

#include "platform/displaytext.h"

#include <QFileInfo>

namespace tovanel {

QString filterSuffix(const QString& filter) {
    // "Name (*.xlsx)": the pattern's extension; the first where a filter has several.
    const qsizetype open = filter.lastIndexOf(u'(');
    const QString pattern = filter.mid(open + 1).section(u')', 0, 0).section(u' ', 0, 0);
    return pattern.startsWith(QStringLiteral("*.")) ? pattern.mid(2) : QString();
}

SaveChoice chooseSaveFile(Dialogs& dialogs, SaveRequest request, const SaveFileRefusal& refusal) {
    for (;;) {
        SaveChoice choice = dialogs.saveFile(request);
        if (choice.path.isEmpty()) {
            return {};
        }
        if (choice.filter != request.folderFilter && QFileInfo(choice.path).suffix().isEmpty()) {
            if (const QString suffix = filterSuffix(request.filters.value(choice.filter));
                !suffix.isEmpty()) {
                choice.path += u'.' + suffix;
            }
        }
        request.suggestedPath = choice.path;
        if (choice.filter >= 0) {
            request.selectedFilter = choice.filter;
        }
        if (const QString reason = refusal(choice); !reason.isEmpty()) {
            dialogs.message(reason);
            continue;
        }
        const QFileInfo target(choice.path);
        if (target.exists() && !target.isDir() &&
            !dialogs.ask(QStringLiteral("%1 existiert bereits.\nSoll die Datei ersetzt werden?")
                             .arg(quotedFileName(choice.path)))) {
            continue;
        }
        return choice;
    }
}

} // namespace tovanel
