#include "platform/dialogs.h"

#include "platform/displaytext.h"

#include <QFileInfo>

namespace tovanel {

QString chooseSaveFile(Dialogs& dialogs, const QStringList& filters, const QString& suggestedPath,
                       const SaveFileRefusal& refusal) {
    QString suggested = suggestedPath;
    for (;;) {
        const QString path = dialogs.saveFile(filters, suggested);
        if (path.isEmpty()) {
            return {};
        }
        suggested = path;
        if (const QString reason = refusal(path); !reason.isEmpty()) {
            dialogs.message(reason);
            continue;
        }
        if (QFileInfo::exists(path) &&
            !dialogs.ask(QStringLiteral("%1 existiert bereits.\nSoll die Datei ersetzt werden?")
                             .arg(quotedFileName(path)))) {
            continue;
        }
        return path;
    }
}

} // namespace tovanel
