#include "contactlist/listcolumns.h"

#include "contacts/carddate.h"

#include <array>

namespace tovanel {

FamilyFirstParts familyFirstParts(const ContactTable& table, qsizetype contact) {
    const QStringView name = table.text(contact, Field::Name);
    if (const QStringView family = table.familyName(contact);
        !family.isEmpty() && family.size() < name.size()) {
        return {family, name.first(name.size() - family.size() - 1)};
    }
    if (const QStringView stored = table.text(contact, Field::FamilyFirst); !stored.isEmpty()) {
        const qsizetype comma = stored.indexOf(u", ");
        return comma < 0 ? FamilyFirstParts{stored, {}}
                         : FamilyFirstParts{stored.first(comma), stored.sliced(comma + 2)};
    }
    return {name, {}};
}

QString shownName(const ContactTable& table, qsizetype contact, NameOrder order) {
    return order == NameOrder::FamilyFirst ? table.familyFirstName(contact)
                                           : table.text(contact, Field::Name).toString();
}

bool isAddedColumn(int column) {
    return column >= ContactColumn::FirstAdded && column < ContactColumn::Count;
}

QString addedColumnCaption(int column) {
    switch (column) {
    case ContactColumn::Birthday:
        return QStringLiteral("Geburtstag");
    case ContactColumn::Groups:
        return QStringLiteral("Gruppen");
    case ContactColumn::Title:
        return QStringLiteral("Position");
    case ContactColumn::Department:
        return QStringLiteral("Abteilung");
    case ContactColumn::Street:
        return QStringLiteral("Straße");
    case ContactColumn::PostalCode:
        return QStringLiteral("PLZ");
    case ContactColumn::City:
        return QStringLiteral("Ort");
    case ContactColumn::Country:
        return QStringLiteral("Land");
    case ContactColumn::AllPhones:
        return QStringLiteral("Alle Telefonnummern");
    case ContactColumn::AllEmails:
        return QStringLiteral("Alle E-Mail-Adressen");
    case ContactColumn::Note:
        return QStringLiteral("Notiz");
    default:
        return {};
    }
}

AddedColumnKind addedColumnKind(int column) {
    switch (column) {
    case ContactColumn::Birthday:
    case ContactColumn::AllPhones:
        return AddedColumnKind::Number;
    case ContactColumn::AllEmails:
        return AddedColumnKind::Email;
    default:
        return AddedColumnKind::Text;
    }
}

namespace {

// The private address's part, or the work address's for a contact with no private address at all.
QStringView addressPart(const ContactTable& table, qsizetype contact, Field home, Field work) {
    static constexpr std::array<Field, 4> HomeParts = {Field::HomeStreet, Field::HomePostalCode,
                                                       Field::HomeCity, Field::HomeCountry};
    for (const Field part : HomeParts) {
        if (!table.text(contact, part).isEmpty()) {
            return table.text(contact, home);
        }
    }
    return table.text(contact, work);
}

void appendJoined(QString& out, QStringView text) {
    if (text.isEmpty()) {
        return;
    }
    if (!out.isEmpty()) {
        out += u", ";
    }
    out += text;
}

// Several values, one per line, and the one of a cell (before or after them), joined by ", ".
QStringView joined(std::initializer_list<QStringView> cells, QStringView lines, bool linesFirst,
                   QString& scratch) {
    scratch.clear();
    const auto addLines = [&] {
        for (const QStringView line : lines.tokenize(u'\n', Qt::SkipEmptyParts)) {
            appendJoined(scratch, line);
        }
    };
    if (linesFirst) {
        addLines();
    }
    for (const QStringView cell : cells) {
        appendJoined(scratch, cell);
    }
    if (!linesFirst) {
        addLines();
    }
    return scratch;
}

} // namespace

QStringView addedColumnText(const ContactTable& table, qsizetype contact, int column, QString& scratch) {
    switch (column) {
    case ContactColumn::Birthday:
        if (const std::uint32_t birthday = table.birthday(contact)) {
            scratch = germanDate(CardDate::unpacked(birthday));
            return scratch;
        }
        return table.text(contact, Field::BirthdayText);
    case ContactColumn::Groups:
        if (const QStringList& names = table.groupNames(contact); !names.isEmpty()) {
            scratch = names.join(QStringLiteral(", "));
            return scratch;
        }
        return {};
    case ContactColumn::Title:
        return table.text(contact, Field::Title);
    case ContactColumn::Department:
        return table.text(contact, Field::Department);
    case ContactColumn::Street:
        return addressPart(table, contact, Field::HomeStreet, Field::WorkStreet);
    case ContactColumn::PostalCode:
        return addressPart(table, contact, Field::HomePostalCode, Field::WorkPostalCode);
    case ContactColumn::City:
        return addressPart(table, contact, Field::HomeCity, Field::WorkCity);
    case ContactColumn::Country:
        return addressPart(table, contact, Field::HomeCountry, Field::WorkCountry);
    case ContactColumn::AllPhones: {
        const QStringView others = table.text(contact, Field::OtherPhones);
        if (others.isEmpty()) {
            // Most contacts: no number besides the cells'.
            const QStringView mobile = table.text(contact, Field::MobilePhone);
            const QStringView home = table.text(contact, Field::HomePhone);
            const QStringView work = table.text(contact, Field::WorkPhone);
            if (int(!mobile.isEmpty()) + int(!home.isEmpty()) + int(!work.isEmpty()) <= 1) {
                return !mobile.isEmpty() ? mobile : !home.isEmpty() ? home : work;
            }
        }
        return joined({table.text(contact, Field::MobilePhone), table.text(contact, Field::HomePhone),
                       table.text(contact, Field::WorkPhone)},
                      others, false, scratch);
    }
    case ContactColumn::AllEmails: {
        // The cell holds the card's last address; the others come before it.
        const QStringView others = table.text(contact, Field::OtherEmails);
        return others.isEmpty() ? table.text(contact, Field::Email)
                                : joined({table.text(contact, Field::Email)}, others, true, scratch);
    }
    case ContactColumn::Note:
        return table.text(contact, Field::Note);
    default:
        return {};
    }
}

} // namespace tovanel
