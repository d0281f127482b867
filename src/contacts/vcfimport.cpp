#include "vcfimport.h"

#include "addresstablemodel.h"
#include "dialogs.h"
#include "filetypes.h"

#include <QFileInfo>

namespace {
const QString CheckFileLine = QStringLiteral("Bitte prüfen Sie die Datei / das Format");
}

namespace ImportMessages {
QString strayEnd() {
    return QStringLiteral("Error: END found before BEGIN tag\n") + CheckFileLine;
}
QString nothingImported() {
    return QStringLiteral("Es konnten keine Daten importiert werden\n") + CheckFileLine;
}
QString cannotRead(const QString& path, const QString& reason) {
    return QStringLiteral("Die Datei „%1“ konnte nicht gelesen werden.\n%2")
        .arg(QFileInfo(path).fileName(), reason);
}
QString outOfMemory(const QString& path) {
    return QStringLiteral("Nicht genug Arbeitsspeicher, um „%1“ zu lesen.").arg(QFileInfo(path).fileName());
}
} // namespace ImportMessages

void OpenVcf(const QString& path, AddressTableModel& adressen, AddressTableModel& adrData, Dialogs& dialogs,
             const ImportHooks& hooks) {
    if (path.isEmpty()) {
        return;
    }
    if (hooks.fileChosen) {
        hooks.fileChosen(path);
    }
    // The lists are emptied before reading, so a failed read never leaves the previous file's rows
    // under this file's name.
    adressen.setTable(nullptr);
    adrData.setTable(nullptr);

    VcardReadResult result = hooks.read ? hooks.read(path) : readVcardFile(path, hooks.progress);
    adressen.setTable(result.table);
    adrData.setTable(result.table);

    switch (result.status) {
    case VcardReadResult::Status::ReadError:
        dialogs.message(ImportMessages::cannotRead(path, result.error));
        return;
    case VcardReadResult::Status::StrayEnd:
        dialogs.message(ImportMessages::strayEnd());
        OpenVcf(dialogs.openFile(FileTypes::OpenFilter), adressen, adrData, dialogs, hooks);
        return;
    case VcardReadResult::Status::ReadToEnd:
        break;
    }
    if (hooks.readToEnd) {
        hooks.readToEnd();
    }
    if (result.table->isEmpty()) {
        dialogs.message(ImportMessages::nothingImported());
    }
}
