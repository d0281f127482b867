#include "vcard/importmessages.h"

#include "platform/displaytext.h"
#include "platform/documentpaths.h"
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
    QStringList paths;
    for (const FileOutcome& outcome : outcomes) {
        paths << outcome.path;
    }
    const QStringList names = distinguishingFileNames(paths);
    QStringList read;
    QStringList withLoss;
    QStringList notRead;
    qsizetype filesRead = 0;
    qsizetype contacts = 0;
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        const FileOutcome& outcome = outcomes[i];
        const QString& name = names[i];
        switch (outcome.kind) {
        case FileOutcome::Kind::Read:
            read << name + QStringLiteral(": ") + contactCount(outcome.contacts);
            break;
        case FileOutcome::Kind::StrayEnd:
            withLoss << name + QStringLiteral(": ") + contactCount(outcome.contacts) +
                            QStringLiteral(" (END vor BEGIN: der Rest der Datei fehlt)");
            break;
        case FileOutcome::Kind::NoContacts:
            notRead << name + QStringLiteral(": keine Kontakte gefunden");
            break;
        case FileOutcome::Kind::NotRead:
            notRead << name + QStringLiteral(": ") + oneLine(outcome.reason);
            break;
        case FileOutcome::Kind::AlreadyListed:
            notRead << name + QStringLiteral(": schon in der Liste");
            break;
        }
        if (outcome.kind == FileOutcome::Kind::Read || outcome.kind == FileOutcome::Kind::StrayEnd) {
            ++filesRead;
            contacts += outcome.contacts;
        }
    }
    if (withLoss.isEmpty() && notRead.isEmpty() && notes.isEmpty()) {
        return {};
    }
    // What went wrong first: among hundreds of files read, a file that lost its rest must not hide.
    QStringList parts;
    const auto section = [&parts](const QString& heading, const QStringList& lines) {
        if (!lines.isEmpty()) {
            QString text = heading;
            appendLines(text, lines);
            parts << text;
        }
    };
    section(QStringLiteral("Nicht eingelesen:"), notRead);
    section(QStringLiteral("Unvollständig eingelesen:"), withLoss);
    if (!notes.isEmpty()) {
        QString text;
        appendLines(text, notes);
        parts << text.mid(1);
    }
    parts << QStringLiteral("%1 von %2 Dateien eingelesen, %3.")
                 .arg(germanNumber(filesRead), germanNumber(outcomes.size()), contactCount(contacts));
    section(QStringLiteral("Eingelesen:"), read);
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace ImportMessages

QString readFailureReason(const QString& path, const QString& deviceError) {
    if (deviceError.isEmpty()) {
        return QStringLiteral("Die Datei konnte nicht gelesen werden.");
    }
    return deviceErrorReason(deviceError, path);
}

QStringList ImportMessages::forFolders(const DocumentFiles& files) {
    QStringList notes;
    for (const QString& folder : files.foldersWithoutVcards) {
        notes << QStringLiteral("Im Ordner %1 ist keine vCard-Datei.").arg(quotedFileName(folder));
    }
    for (const DocumentFiles::UnreadableFolder& folder : files.unreadableFolders) {
        notes << QStringLiteral("Der Ordner %1 konnte nicht gelesen werden: %2")
                     .arg(quotedFileName(folder.folder), folder.reason);
    }
    return notes;
}

} // namespace tovanel
