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
#include <exception>
#include <map>
#include <thread>
#include <vector>

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

// One card written, or why it was not, with what writing it changed.
struct MadeCard {
    QByteArray text;
    CardRewrites rewrites;
    QString uid;        // the UID it carries
    QString leftOut;    // why it was left out (German), when it was
    QString unreadable; // the file that cannot be read at all, and why
    QString reason;
};

// `contact`'s card in `version`, read through `reader`; `claimUid` as versionedCard takes it.
MadeCard makeCard(CardBytesReader& reader, const ContactTable& table, qsizetype contact, VcardVersion version,
                  const ClaimUid& claimUid) {
    MadeCard made;
    CardSourceText source;
    if (table.fileOf(contact) >= 0) {
        source = reader.card(table, contact);
        if (!source.ok && !source.changed && !source.tooLarge) {
            // The file is gone or cannot be read: every further card would be left out too.
            made.unreadable = table.fileSource(table.fileOf(contact))->path;
            made.reason = source.error;
            return made;
        }
        if (!source.ok) {
            made.leftOut = source.changed    ? QStringLiteral("Datei geändert")
                           : source.tooLarge ? QStringLiteral("zu groß")
                                             : source.error;
            return made;
        }
    } else {
        source.bytes = cardOfCells(table, contact);
    }
    made.text = versionedCard(source.bytes, source.unicode, writtenCardName(table, contact), version,
                              source.bytes, made.rewrites, [&made, &claimUid](QStringView uid) {
                                  made.uid = uid.toString();
                                  return !claimUid || claimUid(uid);
                              });
    return made;
}

// Writes cards one after another, and keeps what the message after the export tells.
class CardWriter {
public:
    explicit CardWriter(VcardVersion version) : m_version(version) {}

    // The card of `contact` in the version, or empty when it cannot be read now (then counted).
    QByteArray card(const ContactTable& table, qsizetype contact) {
        return take(makeCard(m_reader, table, contact, m_version, claimer()));
    }

    // The cards of `contacts`, in their order, made on two threads: the UIDs are claimed afterwards in
    // order, and the rare card whose UID an earlier one took is made again here.
    QByteArray cards(const ContactTable& table, const std::vector<qsizetype>& contacts) {
        std::vector<MadeCard> made(contacts.size());
        const auto make = [&](size_t from, size_t to, CardBytesReader& reader) {
            for (size_t i = from; i < to; ++i) {
                made[i] = makeCard(reader, table, contacts[i], m_version, {});
            }
        };
        const size_t half = contacts.size() / 2;
        std::exception_ptr failed;
        std::thread helper([&] {
            try {
                make(half, contacts.size(), m_helperReader);
            } catch (...) {
                failed = std::current_exception();
            }
        });
        try {
            make(0, half, m_reader);
        } catch (...) {
            helper.join();
            throw;
        }
        helper.join();
        if (failed) {
            std::rethrow_exception(failed);
        }
        QByteArray out;
        for (size_t i = 0; i < made.size() && m_unreadable.isEmpty(); ++i) {
            if (!made[i].text.isEmpty() && !claimer()(made[i].uid)) {
                made[i] = makeCard(m_reader, table, contacts[i], m_version, claimer());
            }
            out += take(std::move(made[i]));
        }
        return out;
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
    // Whether a UID is free in this export, and from now on taken. A hash stands for the UID: a million of
    // them would cost more than the list.
    ClaimUid claimer() {
        return [this](QStringView uid) {
            const size_t key = qHash(uid, 0);
            const bool free = !m_uids.contains(key);
            m_uids.insert(key);
            return free;
        };
    }

    // Counts what a made card tells, and gives its text.
    QByteArray take(MadeCard made) {
        if (!made.unreadable.isEmpty()) {
            m_unreadable = made.unreadable;
            m_reason = made.reason;
        } else if (!made.leftOut.isEmpty()) {
            ++m_leftOut[made.leftOut];
        }
        m_rewrites += made.rewrites;
        return std::move(made.text);
    }

    VcardVersion m_version;
    CardBytesReader m_reader;
    CardBytesReader m_helperReader;
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
    // Contacts are gathered and written in batches on two threads; a batch is small enough to be held.
    void append(QByteArray& out, const ContactTable& table, qsizetype contact) override {
        m_table = &table;
        m_pending.push_back(contact);
        if (m_pending.size() >= Batch) {
            out += m_writer.cards(table, m_pending);
            m_pending.clear();
        }
    }
    QByteArray tail() override {
        m_finished = true;
        QByteArray out;
        if (!m_pending.empty()) {
            out = m_writer.cards(*m_table, m_pending);
            m_pending.clear();
        }
        return out;
    }
    QString failure(const QString& path) const override { return m_writer.failure(path, m_finished); }
    QString notice(const QString& path) const override {
        return QStringLiteral("%1: %2").arg(quotedFileName(path), m_writer.summary());
    }

private:
    static constexpr size_t Batch = 4096;
    CardWriter m_writer;
    std::vector<qsizetype> m_pending;
    const ContactTable* m_table = nullptr;
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
