#include "vcard/importmessages.h"

#include "platform/displaytext.h"
#include "platform/germantext.h"
#include "platform/regularfile.h"
#include "vcard/cardsource.h"
#include "vcard/vcardreader.h"

#include <QFileInfo>

namespace tovanel {

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
    return QStringLiteral("Die Datei %1 konnte nicht gelesen werden.\n%2").arg(quotedFileName(path), reason);
}

QString changedSinceRead(const QString& path) {
    return QStringLiteral("Die Datei %1 wurde seit dem Einlesen geändert.\nBitte öffnen Sie sie neu, um den "
                          "Quelltext zu sehen.")
        .arg(quotedFileName(path));
}

QString changedSinceReadReason() {
    return QStringLiteral("Die Datei wurde seit dem Einlesen geändert.");
}

QString cardTooLarge(qint64 bytes) {
    return QStringLiteral("Eine Karte ist %1 MB groß; Karten über %2 MB werden nicht gelesen.")
        .arg(germanNumber((bytes + (1 << 20) - 1) >> 20), germanNumber(CardLimits::CardBytes >> 20));
}

QString outOfMemory(const QString& path) {
    return outOfMemoryTo(QStringLiteral("%1 zu lesen").arg(quotedFileName(path)));
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

namespace {

// A message box does not scroll: long lists are cut.
constexpr qsizetype MaxLines = 20;

void appendLines(QString& text, const QStringList& lines) {
    for (qsizetype i = 0; i < lines.size() && i < MaxLines; ++i) {
        text += QLatin1Char('\n') + lines.at(i);
    }
    if (lines.size() > MaxLines) {
        text += QStringLiteral("\n… und %1 weitere").arg(germanNumber(lines.size() - MaxLines));
    }
}

} // namespace

QString forFiles(const QList<FileOutcome>& outcomes, const QStringList& notes) {
    QStringList read;
    QStringList notRead;
    bool trouble = !notes.isEmpty();
    for (const FileOutcome& outcome : outcomes) {
        const QString name = shownFileName(outcome.path);
        switch (outcome.kind) {
        case FileOutcome::Kind::Read:
            read << name + QStringLiteral(": ") + contactCount(outcome.contacts);
            break;
        case FileOutcome::Kind::StrayEnd:
            read << name + QStringLiteral(": ") + contactCount(outcome.contacts) +
                        QStringLiteral(" (END vor BEGIN: der Rest der Datei fehlt)");
            trouble = true;
            break;
        case FileOutcome::Kind::NoContacts:
            notRead << name + QStringLiteral(": keine Kontakte gefunden");
            trouble = true;
            break;
        case FileOutcome::Kind::NotRead:
            notRead << name + QStringLiteral(": ") + oneLine(outcome.reason);
            trouble = true;
            break;
        case FileOutcome::Kind::AlreadyListed:
            notRead << name + QStringLiteral(": schon in der Liste");
            trouble = true;
            break;
        }
    }
    if (!trouble) {
        return {};
    }
    QString text;
    if (!read.isEmpty()) {
        text += read.size() == 1 ? QStringLiteral("Eingelesen:")
                                 : QStringLiteral("Eingelesen (%1 Dateien):").arg(germanNumber(read.size()));
        appendLines(text, read);
    }
    if (!notRead.isEmpty()) {
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + QStringLiteral("Nicht eingelesen:");
        appendLines(text, notRead);
    }
    if (!notes.isEmpty()) {
        text += text.isEmpty() ? QString() : QStringLiteral("\n");
        appendLines(text, notes);
    }
    return text.trimmed();
}

} // namespace ImportMessages

QString readFailureReason(const QString& path, const QString& deviceError) {
    if (deviceError.isEmpty()) {
        return QStringLiteral("Die Datei konnte nicht gelesen werden.");
    }
    return deviceErrorReason(deviceError, path);
}

} // namespace tovanel
