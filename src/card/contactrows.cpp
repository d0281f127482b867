#include "card/contactrows.h"

#include "contacts/telephone.h"
#include "platform/displaytext.h"
#include "platform/germantext.h"
#include "vcard/cardsource.h"
#include "vcard/importmessages.h"

#include <QFileInfo>
#include <array>

namespace tovanel {

namespace {

CardRow textRow(QString label, QString value) {
    CardRow row;
    row.label = std::move(label);
    row.value = std::move(value);
    return row;
}

QString tooLarge(CardUse use, qint64 bytes) {
    const qint64 megabytes = (bytes + (1 << 20) - 1) >> 20;
    switch (use) {
    case CardUse::FurtherRows:
        return QStringLiteral("Die Karte ist %1 MB groß; ihre weiteren Angaben zeigt nur die "
                              "Quelltext-Ansicht.")
            .arg(megabytes);
    case CardUse::SourceView:
        return QStringLiteral("Die Karte ist %1 MB groß; die Quelltext-Ansicht zeigt Karten bis %2 MB.")
            .arg(germanNumber(megabytes), germanNumber(CardLimits::CardBytes >> 20));
    }
    return {};
}

// At most this much of a name, so that a name of megabytes makes no row of gigabytes.
constexpr qsizetype MaxSameNameChars = 100;

// How a contact is named among the duplicates: its name on one line, else its first number.
QString sameContactName(const ContactTable& table, qsizetype contact) {
    QStringView name = table.text(contact, Field::Name).trimmed();
    for (const Field number : TelephoneFields) {
        if (!name.isEmpty()) {
            break;
        }
        name = table.text(contact, number).trimmed();
    }
    if (name.isEmpty()) {
        return QStringLiteral("(ohne Namen)");
    }
    return oneLine(cutText(name, MaxSameNameChars));
}

// The relations of one card that are looked up in the list: each lookup reads every UID of the table.
constexpr int MaxRelationsLookedUp = 20;

// A UID with or without its "urn:uuid:", whose hexadecimal digits may be written in either case.
QStringView bareUid(QStringView uid) {
    uid = uid.trimmed();
    return uid.startsWith(QLatin1String("urn:uuid:"), Qt::CaseInsensitive) ? uid.sliced(9) : uid;
}

// The name of the contact of `table` whose UID is `uid`, as "Auch in" names it.
std::optional<QString> listedNameOf(const ContactTable& table, QStringView uid) {
    const QStringView wanted = bareUid(uid);
    for (qsizetype contact = 0; contact < table.size() && !wanted.isEmpty(); ++contact) {
        if (bareUid(table.text(contact, Field::Uid)).compare(wanted, Qt::CaseInsensitive) == 0) {
            return sameContactName(table, contact);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<CardRow> sameContactsRow(const ContactRef& contact) {
    if (!contact.isValid() || !contact.table->isDuplicate(contact.contact)) {
        return std::nullopt;
    }
    const ContactTable& table = *contact.table;
    const std::vector<qsizetype> same = table.sameContacts(contact.contact);
    const QStringList files =
        table.fileCount() > 1 ? distinguishingFileNames(table.filePaths()) : QStringList();
    QStringList named;
    for (size_t i = 0; i < same.size() && i < size_t(MaxSameContactsNamed); ++i) {
        QString name = sameContactName(table, same[i]);
        if (const int file = table.fileOf(same[i]); file >= 0 && file < files.size()) {
            name += QStringLiteral(" (%1)").arg(files[file]);
        }
        named << name;
    }
    QString value = named.join(QStringLiteral("; "));
    if (same.size() > size_t(MaxSameContactsNamed)) {
        value +=
            QStringLiteral(" und %1 weitere").arg(germanNumber(qint64(same.size()) - MaxSameContactsNamed));
    }
    return textRow(QStringLiteral("Auch in"), value);
}

ContactCard readContactCard(const ContactRef& contact, CardUse use) {
    ContactCard card;
    if (!contact.isValid()) {
        return card;
    }
    const QString path = contact.path();
    const CardSourceRange range = cardSourceRange(*contact.table, contact.contact);
    const FileStamp stamp = contact.source ? contact.source->stamp : FileStamp();
    // The rows decode each value by its own parameters, so they take the card's bytes as they stand.
    CardSourceText source = use == CardUse::FurtherRows
                                ? readCardBytes(path, range, stamp, CardLimits::FurtherRowsBytes)
                                : readCardSource(path, range, stamp, CardLimits::CardBytes);
    if (!source.ok) {
        card.message = source.tooLarge  ? tooLarge(use, source.size)
                       : source.changed ? ImportMessages::changedSinceRead(path)
                                        : ImportMessages::cannotRead(path, source.error);
        return card;
    }
    card.ok = true;
    card.text = std::move(source.text);
    card.bytes = std::move(source.bytes);
    card.unicode = source.unicode;
    return card;
}

QList<CardRow> fixedContactRows(const ContactRef& contact) {
    QList<CardRow> rows;
    if (!contact.isValid()) {
        return rows;
    }
    rows.reserve(FieldCount);
    const auto text = [&contact](Field field) {
        return contact.table->text(contact.contact, field).toString();
    };
    // Each cell of an address finds the whole address on a map, not its street or town alone.
    const auto address = [&text](Field street, Field postalCode, Field city) {
        return text(street) + u'\n' + (text(postalCode) + u' ' + text(city)).trimmed();
    };
    const QString home = address(Field::HomeStreet, Field::HomePostalCode, Field::HomeCity);
    const QString work = address(Field::WorkStreet, Field::WorkPostalCode, Field::WorkCity);
    for (int i = 0; i < FieldCount; ++i) {
        const auto field = Field(i);
        rows.append(textRow(fieldCaption(field), text(field)));
        rows.back().kind = fieldValueKind(field);
        if (rows.back().kind == ValueKind::PostalAddress && !rows.back().value.trimmed().isEmpty()) {
            rows.back().linkText = field < Field::WorkStreet ? home : work;
        }
    }
    return rows;
}

QList<CardRow> contactRows(const ContactRef& contact, bool decodePhotos) {
    QList<CardRow> rows = fixedContactRows(contact);
    if (rows.isEmpty()) {
        return rows;
    }
    if (std::optional<CardRow> same = sameContactsRow(contact)) {
        rows.append(std::move(*same));
    }
    if (contact.path().isEmpty()) {
        return rows;
    }
    const ContactCard card = readContactCard(contact, CardUse::FurtherRows);
    if (!card.ok) {
        rows.append(textRow(QStringLiteral("Hinweis"), card.message));
        return rows;
    }
    int lookups = 0;
    const NameOfUid nameOfUid = [&contact, &lookups](QStringView uid) -> std::optional<QString> {
        return ++lookups > MaxRelationsLookedUp ? std::nullopt : listedNameOf(*contact.table, uid);
    };
    for (CardRow& further : furtherCardRows(card.bytes, card.unicode, decodePhotos, nameOfUid)) {
        rows.push_back(std::move(further));
    }
    return rows;
}

} // namespace tovanel
