#include "vcfimport.h"

#include "addresstablemodel.h"
#include "dialogs.h"
#include "filetypes.h"

#include <QFileInfo>
#include <new>

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
QString changedSinceRead(const QString& path) {
    return QStringLiteral(
               "Die Datei „%1“ wurde seit dem Einlesen geändert.\nBitte öffnen Sie sie neu, um den "
               "Quelltext zu sehen.")
        .arg(QFileInfo(path).fileName());
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
    // under this file's name. The previous table is held meanwhile, for a reading that is given up.
    std::shared_ptr<const ContactTable> previousAdressen = adressen.sharedTable();
    std::shared_ptr<const ContactTable> previousAdrData = adrData.sharedTable();
    adressen.setTable(nullptr);
    adrData.setTable(nullptr);

    VcardReadResult result;
    try {
        result = hooks.read ? hooks.read(path) : readVcardFile(path, hooks.progress);
    } catch (const std::bad_alloc&) {
        result.status = VcardReadResult::Status::OutOfMemory;
    }
    if (result.status == VcardReadResult::Status::Cancelled ||
        result.status == VcardReadResult::Status::OutOfMemory) {
        result.table.reset();
        adressen.setTable(std::move(previousAdressen));
        adrData.setTable(std::move(previousAdrData));
        if (hooks.fileAbandoned) {
            hooks.fileAbandoned();
        }
        if (result.status == VcardReadResult::Status::OutOfMemory) {
            dialogs.message(ImportMessages::outOfMemory(path));
        }
        return;
    }
    previousAdressen.reset();
    previousAdrData.reset();
    adressen.setTable(result.table);
    adrData.setTable(result.table);

    switch (result.status) {
    case VcardReadResult::Status::Cancelled:
    case VcardReadResult::Status::OutOfMemory:
        return; // handled above
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
