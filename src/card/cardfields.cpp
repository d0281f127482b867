#include "card/cardfields.h"

#include "contacts/contacttable.h"
#include "vcard/cardlines.h"
#include "vcard/cardrules.h"

#include <QDate>

namespace tovanel {

namespace {

bool hasType(const QList<QByteArray>& types, const char* type) {
    return std::any_of(types.begin(), types.end(),
                       [type](const QByteArray& t) { return t.compare(type, Qt::CaseInsensitive) == 0; });
}

} // namespace

ShownNameParts shownNameParts(const QString& shownName) {
    const QString trimmed = shownName.trimmed();
    if (const qsizetype comma = trimmed.indexOf(QLatin1Char(',')); comma > 0) {
        return {trimmed.left(comma).trimmed(), trimmed.mid(comma + 1).trimmed()};
    }
    const qsizetype space = trimmed.lastIndexOf(QLatin1Char(' '));
    if (space < 0) {
        return {trimmed, {}};
    }
    return {trimmed.mid(space + 1), trimmed.left(space)};
}

CardFields cardFields(const QByteArray& bytes, bool unicodeSource, const QString& shownName) {
    CardLines card(bytes, unicodeSource);
    CardFields fields;
    bool named = false;
    const auto part = [&card](const CardLine& line, const PropertyLexer::Components& parts, int i) {
        return card.text(line, parts[i]).trimmed();
    };
    card.forEach([&](const CardLine& line) {
        const QByteArray& name = line.name;
        if (name == "N") {
            // The last N is the contact's name, as the import takes it.
            const PropertyLexer::Components parts(line.value, CardRules::NameParts);
            fields.family = part(line, parts, 0);
            fields.given = part(line, parts, 1);
            fields.additional = part(line, parts, 2);
            fields.prefix = part(line, parts, 3);
            fields.suffix = part(line, parts, 4);
            named = !fields.family.isEmpty() || !fields.given.isEmpty() || !fields.additional.isEmpty();
        } else if (name == "NICKNAME") {
            if (fields.nickname.isEmpty()) {
                fields.nickname = card.text(line, line.value).trimmed();
            }
        } else if (name == "ORG") {
            const PropertyLexer::Components parts(line.value, 2);
            fields.organization = part(line, parts, 0);
            fields.department = part(line, parts, 1);
        } else if (name == "TITLE") {
            fields.title = card.text(line, line.value).trimmed();
        } else if (name == "BDAY") {
            if (!fields.birthday) {
                fields.birthday = cardDate(card.text(line, line.value));
            }
        } else if (name == "NOTE") {
            const QString note = card.text(line, line.value);
            if (!note.trimmed().isEmpty()) {
                fields.notes << note;
            }
        } else if (name == "CATEGORIES") {
            for (const QByteArrayView piece : PropertyLexer::splitComponents(line.value, ',')) {
                const QString category = card.text(line, piece).trimmed();
                if (!category.isEmpty() && !fields.categories.contains(category)) {
                    fields.categories << category;
                }
            }
        } else if (name == "TEL") {
            CardTelephone number;
            number.shown = card.telephone(line);
            if (number.shown.isEmpty()) {
                return true;
            }
            number.written = card.writtenTelephone(line);
            const QList<QByteArray> types = CardLines::types(line);
            number.mobile = line.parameters.cell;
            number.home = line.parameters.home;
            number.work = line.parameters.work;
            number.fax = line.parameters.fax;
            number.pager = line.parameters.pager;
            number.car = hasType(types, "car");
            number.isdn = hasType(types, "isdn");
            number.preferred = line.parameters.pref;
            fields.telephones << number;
        } else if (name == "EMAIL") {
            const QString address = card.text(line, PropertyLexer::firstComponent(line.value)).trimmed();
            if (!address.isEmpty()) {
                fields.emails << CardEmail{address, line.parameters.home, line.parameters.work,
                                           line.parameters.pref};
            }
        } else if (name == "ADR") {
            const PropertyLexer::Components parts(line.value, 7);
            CardAddress address{part(line, parts, 0), part(line, parts, 1), part(line, parts, 2),
                                part(line, parts, 3), part(line, parts, 4), part(line, parts, 5),
                                part(line, parts, 6), line.parameters.home, line.parameters.work,
                                line.parameters.pref};
            if (!(address.poBox + address.extended + address.street + address.city + address.region +
                  address.postalCode + address.country)
                     .isEmpty()) {
                fields.addresses << address;
            }
        } else if (name == "URL") {
            const QString address = card.text(line, line.value).trimmed();
            if (!address.isEmpty()) {
                fields.webPages << CardWebPage{address, line.parameters.home, line.parameters.work};
            }
        }
        return true;
    });
    if (!named) {
        const ShownNameParts parts = shownNameParts(shownName);
        fields.family = parts.family;
        fields.given = parts.given;
    }
    return fields;
}

CardFields ContactFieldsReader::fields(const ContactTable& table, qsizetype contact) {
    const CardSourceText card = m_reader.card(table, contact);
    if (card.ok) {
        return cardFields(card.bytes, card.unicode, table.text(contact, Field::Name).toString());
    }
    if (table.fileOf(contact) >= 0) {
        ++m_unread;
    }
    return cellFields(table, contact);
}

CardFields cellFields(const ContactTable& table, qsizetype contact) {
    const auto cell = [&](Field field) { return table.text(contact, field).toString().trimmed(); };
    CardFields fields;
    const ShownNameParts parts = shownNameParts(cell(Field::Name));
    fields.family = parts.family;
    fields.given = parts.given;
    fields.organization = cell(Field::Company);
    for (const Field field : {Field::MobilePhone, Field::HomePhone, Field::WorkPhone}) {
        if (const QString number = cell(field); !number.isEmpty()) {
            CardTelephone telephone;
            telephone.shown = telephone.written = number;
            telephone.mobile = field == Field::MobilePhone;
            telephone.home = field == Field::HomePhone;
            telephone.work = field == Field::WorkPhone;
            telephone.preferred = table.isBold(contact, field);
            fields.telephones << telephone;
        }
    }
    if (const QString email = cell(Field::Email); !email.isEmpty()) {
        fields.emails << CardEmail{email};
    }
    const auto address = [&](Field street, Field postalCode, Field city, bool work) {
        CardAddress adr;
        adr.street = cell(street);
        adr.postalCode = cell(postalCode);
        adr.city = cell(city);
        adr.home = !work;
        adr.work = work;
        if (!(adr.street + adr.postalCode + adr.city).isEmpty()) {
            fields.addresses << adr;
        }
    };
    address(Field::HomeStreet, Field::HomePostalCode, Field::HomeCity, false);
    address(Field::WorkStreet, Field::WorkPostalCode, Field::WorkCity, true);
    if (const QString note = table.text(contact, Field::Note).toString(); !note.trimmed().isEmpty()) {
        fields.notes << note;
    }
    return fields;
}

} // namespace tovanel
