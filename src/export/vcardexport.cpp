#include "export/vcardexport.h"

#include "card/portablecard.h"
#include "contacts/contacttable.h"
#include "platform/displaytext.h"
#include "platform/germantext.h"
#include "platform/regularfile.h"
#include "vcard/cardsource.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QUuid>
#include <map>

namespace tovanel {

namespace {

// The card of a contact that comes from no file, made from its fixed cells.
QByteArray cardOfCells(const ContactTable& table, qsizetype contact) {
    QList<CardRow> rows(FieldCount);
    for (int i = 0; i < FieldCount; ++i) {
        rows[i].value = table.text(contact, Field(i)).toString();
    }
    return portableCard(rows, {}, false, [](const QByteArray&) { return true; }).text;
}

// Writes cards one after another, and keeps what the message after the export tells.
class CardWriter {
public:
    explicit CardWriter(VcardVersion version) : m_version(version) {}

    // The card of `contact` in the version, or empty when it cannot be read now (then counted).
    QByteArray card(const ContactTable& table, qsizetype contact) {
        CardSourceText source;
        const bool fromFile = table.fileOf(contact) >= 0;
        if (fromFile) {
            source = m_reader.card(table, contact);
            if (!source.ok && !source.changed && !source.tooLarge) {
                // The file is gone or cannot be read: every further card would be left out too.
                m_unreadable = table.fileSource(table.fileOf(contact))->path;
                m_reason = source.error;
                return {};
            }
            if (!source.ok) {
                ++m_leftOut[source.changed    ? QStringLiteral("Datei geändert")
                            : source.tooLarge ? QStringLiteral("zu groß")
                                              : source.error];
                return {};
            }
        } else {
            source.bytes = cardOfCells(table, contact);
        }
        return versionedCard(source.bytes, source.unicode, writtenCardName(table, contact), m_version,
                             source.bytes, m_rewrites, [this](QStringView uid) {
                                 // A hash stands for the UID: a million of them would cost more than the
                                 // list.
                                 const size_t key = qHash(uid, 0);
                                 const bool free = !m_uids.contains(key);
                                 m_uids.insert(key);
                                 return free;
                             });
    }

    // Why nothing more can be written: a source file that cannot be read, or no card written at all.
    QString failure(const QString& path, bool finished) const {
        if (!m_unreadable.isEmpty()) {
            return QStringLiteral("%1 konnte nicht gelesen werden; %2 wurde nicht geschrieben.\n%3")
                .arg(quotedFileName(m_unreadable), quotedFileName(path), m_reason);
        }
        if (finished && m_rewrites.cards == 0 && !m_leftOut.empty()) {
            return QStringLiteral("%1 wurde nicht geschrieben: keine Karte ließ sich lesen.\n%2")
                .arg(quotedFileName(path), summary());
        }
        return {};
    }

    // "87 Karten: Zeichensatz nach UTF-8, 12 Fotos umgeschrieben, 1 Karte ausgelassen (Datei geändert)".
    QString summary() const {
        QStringList parts = m_rewrites.described();
        for (const auto& [reason, count] : m_leftOut) {
            parts << (count == 1
                          ? QStringLiteral("1 Karte ausgelassen (%1)").arg(reason)
                          : QStringLiteral("%1 Karten ausgelassen (%2)").arg(germanNumber(count), reason));
        }
        const QString cards = m_rewrites.cards == 1
                                  ? QStringLiteral("1 Karte")
                                  : QStringLiteral("%1 Karten").arg(germanNumber(m_rewrites.cards));
        return parts.isEmpty()
                   ? cards + QStringLiteral(" geschrieben.")
                   : cards + QStringLiteral(" geschrieben: ") + parts.join(QStringLiteral(", ")) + u'.';
    }

private:
    VcardVersion m_version;
    CardBytesReader m_reader;
    CardRewrites m_rewrites;
    std::map<QString, qsizetype> m_leftOut;
    QString m_unreadable;
    QString m_reason;
    QSet<size_t> m_uids;
};

class VcardRecords final : public ContactRecords {
public:
    explicit VcardRecords(VcardVersion version) : m_writer(version) {}
    QByteArray head() override { return {}; }
    void append(QByteArray& out, const ContactTable& table, qsizetype contact) override {
        out += m_writer.card(table, contact);
    }
    QByteArray tail() override {
        m_finished = true;
        return {};
    }
    QString failure(const QString& path) const override { return m_writer.failure(path, m_finished); }
    QString notice(const QString& path) const override {
        return QStringLiteral("%1: %2").arg(quotedFileName(path), m_writer.summary());
    }

private:
    CardWriter m_writer;
    bool m_finished = false;
};

bool isDroppedFromFileName(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F || c == u'/' || c == u'\\' || c.isNonCharacter() ||
           c.category() == QChar::Other_Format;
}

QString folderFailure(const QString& folder, const QString& reason) {
    return QStringLiteral("%1 konnte nicht geschrieben werden.\n%2").arg(quotedFileName(folder), reason);
}

} // namespace

std::unique_ptr<ContactRecords> vcardRecords(VcardVersion version) {
    return std::make_unique<VcardRecords>(version);
}

QString writtenCardName(const ContactTable& table, qsizetype contact) {
    return table.text(contact, Field::Name).toString();
}

QString cardFileName(QStringView name) {
    QString file;
    for (const QChar c : name) {
        file += isDroppedFromFileName(c) ? QChar(u' ') : c;
    }
    file = file.simplified();
    while (file.startsWith(u'.')) {
        file = file.mid(1).trimmed();
    }
    // File systems take names of 255 bytes; room is left for " (12345).vcf".
    constexpr qsizetype MostBytes = 200;
    while (file.toUtf8().size() > MostBytes) {
        file.chop(file.size() >= 2 && file.at(file.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    file = file.trimmed();
    return file.isEmpty() ? QStringLiteral("Kontakt") : file;
}

ExportResult exportCardFolder(const ExportRequest& request, const QString& folder, VcardVersion version) {
    const QDir dir(folder);
    const bool made = !dir.exists();
    if (made && !QDir().mkdir(folder)) {
        const QFileInfo parent(QFileInfo(folder).absolutePath());
        return {ExportResult::Status::Failed,
                folderFailure(folder, parent.isDir() ? systemErrorReason(EACCES)
                                                     : QStringLiteral("Den Ordner darüber gibt es nicht."))};
    }
    QStringList written;
    const auto undo = [&] {
        for (const QString& file : written) {
            QFile::remove(dir.filePath(file));
        }
        if (made) {
            QDir().rmdir(folder);
        }
    };
    const ContactList& list = request.list;
    CardWriter writer(version);
    // Names are compared without case: the folder may go onto a stick whose file system ignores it.
    QSet<QString> taken;
    for (int row = 0; row < list.rows(); ++row) {
        if (request.progress && row % 256 == 0 && !request.progress(row, list.rows())) {
            undo();
            return {ExportResult::Status::Cancelled, {}};
        }
        const qsizetype contact = list.contactAt(row);
        const QByteArray card = writer.card(list.table, contact);
        if (QString failure = writer.failure(folder, row + 1 == list.rows()); !failure.isEmpty()) {
            undo();
            return {ExportResult::Status::Failed, std::move(failure)};
        }
        if (card.isEmpty()) {
            continue;
        }
        // A contact without a name is named by what the list shows of it first.
        QString shown;
        for (int i = 0; i < FieldCount && shown.trimmed().isEmpty(); ++i) {
            shown = list.table.text(contact, Field(i)).toString();
        }
        const QString base = cardFileName(shown);
        QString name = base + QStringLiteral(".vcf");
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n) {
            name = QStringLiteral("%1 (%2).vcf").arg(base).arg(n);
        }
        taken.insert(name.toCaseFolded());
        QSaveFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(card) != card.size() || !file.commit()) {
            const QString reason = deviceErrorReason(file.errorString(), {}, FileAccess::Write);
            undo();
            return {ExportResult::Status::Failed, folderFailure(dir.filePath(name), reason)};
        }
        written << name;
    }
    return {ExportResult::Status::Written,
            {},
            QStringLiteral("%1: %2").arg(quotedFileName(folder), writer.summary())};
}

} // namespace tovanel
