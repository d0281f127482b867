#include "importmessages.h"

#include "regularfile.h"
#include "vcardreader.h"

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

QString changedSinceRead(const QString& path) {
    return QStringLiteral(
               "Die Datei „%1“ wurde seit dem Einlesen geändert.\nBitte öffnen Sie sie neu, um den "
               "Quelltext zu sehen.")
        .arg(QFileInfo(path).fileName());
}

QString outOfMemory(const QString& path) {
    return QStringLiteral("Nicht genug Arbeitsspeicher, um „%1“ zu lesen.").arg(QFileInfo(path).fileName());
}

QStringList forResult(const VcardReadResult& result, const QString& path) {
    switch (result.status) {
    case VcardReadResult::Status::Cancelled:
        return {};
    case VcardReadResult::Status::OutOfMemory:
        return {outOfMemory(path)};
    case VcardReadResult::Status::ReadError:
        return {cannotRead(path, result.error)};
    case VcardReadResult::Status::StrayEnd:
        return {strayEnd()};
    case VcardReadResult::Status::ReadToEnd:
        break;
    }
    if (result.table == nullptr || result.table->isEmpty()) {
        return {nothingImported()};
    }
    return {};
}

} // namespace ImportMessages

QString readFailureReason(const QString& path, const QString& deviceError) {
    if (deviceError.isEmpty()) {
        return QStringLiteral("Die Datei konnte nicht gelesen werden.");
    }
    return deviceErrorReason(deviceError, path);
}
