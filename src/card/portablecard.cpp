#include "card/portablecard.h"

#include "contacts/fields.h"

#include <array>

namespace tovanel {

namespace {

// Text values escape the characters that structure a line (RFC 2426, 4).
QByteArray escaped(const QString& value) {
    QString text;
    text.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(';') || c == QLatin1Char(',')) {
            text += QLatin1Char('\\');
            text += c;
        } else if (c == QLatin1Char('\n')) {
            text += QStringLiteral("\\n");
        } else if (c != QLatin1Char('\r')) {
            text += c;
        }
    }
    return text.toUtf8();
}

QByteArray line(const char* name, const QByteArray& value) {
    return QByteArray(name) + ':' + value + "\r\n";
}

// "Family;Given" from a shown name: "Müller, Jürgen" or "Jürgen Müller".
QByteArray structuredName(const QString& name) {
    const QString trimmed = name.trimmed();
    if (const qsizetype comma = trimmed.indexOf(QLatin1Char(',')); comma > 0) {
        return escaped(trimmed.left(comma).trimmed()) + ';' + escaped(trimmed.mid(comma + 1).trimmed()) +
               ";;;";
    }
    const qsizetype space = trimmed.lastIndexOf(QLatin1Char(' '));
    if (space < 0) {
        return escaped(trimmed) + ";;;;";
    }
    return escaped(trimmed.mid(space + 1)) + ';' + escaped(trimmed.left(space)) + ";;;";
}

QByteArray address(const char* type, const QString& street, const QString& postalCode, const QString& city) {
    if (street.isEmpty() && postalCode.isEmpty() && city.isEmpty()) {
        return {};
    }
    return "ADR;TYPE=" + QByteArray(type) + ":;;" + escaped(street) + ';' + escaped(city) + ";;" +
           escaped(postalCode) + ";\r\n";
}

enum Leave { Nothing, Note, FurtherAddresses, FurtherNumbers, Count };

QByteArray cardText(const QList<CardRow>& rows, int leave, std::array<bool, Count>& present) {
    const auto field = [&rows](Field f) { return rows.value(int(f)).value; };
    QByteArray text = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    text += line("N", structuredName(field(Field::Name)));
    text += line("FN", escaped(field(Field::Name)));
    if (!field(Field::Company).isEmpty()) {
        text += line("ORG", escaped(field(Field::Company)));
    }
    const std::array<std::pair<Field, const char*>, 3> numbers{{{Field::MobilePhone, "TEL;TYPE=CELL"},
                                                                {Field::HomePhone, "TEL;TYPE=HOME"},
                                                                {Field::WorkPhone, "TEL;TYPE=WORK"}}};
    for (const auto& [f, name] : numbers) {
        if (!field(f).isEmpty()) {
            text += line(name, escaped(field(f)));
        }
    }
    if (!field(Field::Email).isEmpty()) {
        text += line("EMAIL;TYPE=INTERNET", escaped(field(Field::Email)));
    }
    text += address("HOME", field(Field::HomeStreet), field(Field::HomePostalCode), field(Field::HomeCity));
    text += address("WORK", field(Field::WorkStreet), field(Field::WorkPostalCode), field(Field::WorkCity));
    for (qsizetype i = FieldCount; i < rows.size(); ++i) {
        const CardRow& row = rows.at(i);
        if (row.value.isEmpty()) {
            continue;
        }
        switch (row.kind) {
        case ValueKind::Telephone:
        case ValueKind::Email:
            present[FurtherNumbers] = true;
            if (leave < FurtherNumbers) {
                text += line(row.kind == ValueKind::Telephone ? "TEL" : "EMAIL;TYPE=INTERNET",
                             escaped(row.value));
            }
            break;
        case ValueKind::PostalAddress:
            present[FurtherAddresses] = true;
            if (leave < FurtherAddresses) {
                // The row holds the address as it is shown, in lines; the street takes it whole.
                text += "ADR:;;" + escaped(row.value) + ";;;;\r\n";
            }
            break;
        case ValueKind::WebAddress:
            // Only what could be opened here too: a phone would follow any other scheme as readily.
            if (valueLink(row.kind, row.value)) {
                text += line("URL", escaped(row.value.trimmed()));
            }
            break;
        case ValueKind::Text:
        case ValueKind::Place:
            break;
        }
    }
    if (!field(Field::Note).isEmpty()) {
        present[Note] = true;
        if (leave < Note) {
            text += line("NOTE", escaped(field(Field::Note)));
        }
    }
    text += "END:VCARD\r\n";
    return text;
}

} // namespace

PortableCard portableCard(const QList<CardRow>& rows, const std::function<bool(const QByteArray&)>& fits) {
    static const std::array<QString, Count> names{QString(), QStringLiteral("Notizen"),
                                                  QStringLiteral("weitere Adressen"),
                                                  QStringLiteral("weitere Nummern und E-Mail-Adressen")};
    PortableCard card;
    // A note of megabytes fits no code, and escaping it for the first try would cost as much memory again.
    constexpr qsizetype LongestNote = 8192;
    const bool longNote = rows.value(int(Field::Note)).value.size() > LongestNote;
    for (int leave = longNote ? Note : Nothing; leave < Count; ++leave) {
        std::array<bool, Count> present{};
        present[Note] = longNote;
        QByteArray text = cardText(rows, leave, present);
        if (fits(text)) {
            card.text = std::move(text);
            for (int i = Note; i <= leave; ++i) {
                if (present[i]) {
                    card.omitted.append(names[i]);
                }
            }
            return card;
        }
    }
    return card;
}

} // namespace tovanel
