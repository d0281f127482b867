#include "card/portablecard.h"

#include "card/cardfields.h"
#include "card/contactrows.h"
#include "card/filledcells.h"
#include "contacts/fields.h"
#include "vcard/cardlines.h"
#include "vcard/cardrules.h"
#include "vcard/vcardwriter.h"

#include <QHash>
#include <algorithm>
#include <array>

namespace tovanel {

namespace {

QByteArray escaped(const QString& value) {
    return VcardWriter::escapedText(value);
}

// "Family;Given" from a shown name, for a card without a name of parts.
QByteArray structuredName(const QString& name) {
    const ShownNameParts parts = shownNameParts(name);
    return escaped(parts.family) + ';' + escaped(parts.given) + ";;;";
}

// What is given up, in this order, when the card does not fit.
enum Leave { Nothing, Note, FurtherAddresses, FurtherNumbers, Count };

// One line of the portable card (with the label line of its group), and the step that leaves it out.
struct Entry {
    Leave leftOutBy = Nothing;
    QByteArray text;
};

// Where lines are written, in this order; within one section in the card's order.
enum Section { Name, FullName, Head, Telephones, Emails, Addresses, WebPages, Birthday, Notes, Sections };

class Entries {
public:
    void add(Section section, Leave leftOutBy, QByteArray text) {
        if (leftOutBy != Nothing) {
            // Lines that may be left out are kept only up to many times what the largest code holds: a
            // card of a million numbers would otherwise cost seconds for a text that is cut anyway.
            constexpr qsizetype MostBytes = 64 * 1024;
            m_bytes[leftOutBy] += text.size();
            if (m_bytes[leftOutBy] > MostBytes) {
                return;
            }
        }
        m_sections[section].push_back({leftOutBy, std::move(text)});
    }
    // A note of megabytes fits no code, and escaping it for the first try would cost as much memory again:
    // notes longer than this together are left out unread.
    static constexpr qsizetype LongestNote = 8192;
    void addNote(const QString& note) {
        m_noteChars += note.size();
        if (!note.isEmpty() && !notesTooLong()) {
            add(Notes, Note, "NOTE:" + escaped(note) + "\r\n");
        }
    }
    bool notesTooLong() const { return m_noteChars > LongestNote; }

    QByteArray text(int leave, std::array<bool, Count>& present) const {
        for (int i = Note; i < Count; ++i) {
            present[i] = m_bytes[i] > 0;
        }
        QByteArray text = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        for (const QList<Entry>& section : m_sections) {
            for (const Entry& entry : section) {
                if (entry.leftOutBy == Nothing || leave < entry.leftOutBy) {
                    text += entry.text;
                }
            }
        }
        text += "END:VCARD\r\n";
        return text;
    }

private:
    std::array<QList<Entry>, Sections> m_sections;
    std::array<qsizetype, Count> m_bytes{};
    qsizetype m_noteChars = 0;
};

QByteArray line(const char* name, const QByteArray& value) {
    return QByteArray(name) + ':' + value + "\r\n";
}

QByteArray address(const char* type, const QString& street, const QString& postalCode, const QString& city) {
    if (street.isEmpty() && postalCode.isEmpty() && city.isEmpty()) {
        return {};
    }
    return "ADR;TYPE=" + QByteArray(type) + ":;;" + escaped(street) + ';' + escaped(city) + ";;" +
           escaped(postalCode) + ";\r\n";
}

// The card of a contact known only by its fixed fields.
void addFixedFields(const QList<CardRow>& rows, Entries& entries) {
    const auto field = [&rows](Field f) { return rows.value(int(f)).value; };
    if (!field(Field::Company).isEmpty()) {
        entries.add(Head, Nothing, line("ORG", escaped(field(Field::Company))));
    }
    const std::array<std::pair<Field, const char*>, 3> numbers{{{Field::MobilePhone, "TEL;TYPE=CELL"},
                                                                {Field::HomePhone, "TEL;TYPE=HOME"},
                                                                {Field::WorkPhone, "TEL;TYPE=WORK"}}};
    for (const auto& [f, name] : numbers) {
        if (!field(f).isEmpty()) {
            entries.add(Telephones, Nothing, line(name, escaped(field(f))));
        }
    }
    if (!field(Field::Email).isEmpty()) {
        entries.add(Emails, Nothing, line("EMAIL;TYPE=INTERNET", escaped(field(Field::Email))));
    }
    for (QByteArray adr :
         {address("HOME", field(Field::HomeStreet), field(Field::HomePostalCode), field(Field::HomeCity)),
          address("WORK", field(Field::WorkStreet), field(Field::WorkPostalCode), field(Field::WorkCity))}) {
        if (!adr.isEmpty()) {
            entries.add(Addresses, Nothing, std::move(adr));
        }
    }
    entries.addNote(field(Field::Note));
}

// Group names, parameter values and types are written only when they are plain names.
bool isPlainName(QByteArrayView name) {
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

// The types vCard 3.0 gives numbers, e-mail and postal addresses.
bool isKnownType(QByteArrayView type) {
    static const QList<QByteArrayView> known{"HOME", "WORK",  "PREF",   "VOICE",  "FAX",  "CELL",    "PAGER",
                                             "MSG",  "VIDEO", "BBS",    "MODEM",  "CAR",  "ISDN",    "PCS",
                                             "DOM",  "INTL",  "POSTAL", "PARCEL", "X400", "INTERNET"};
    return known.contains(type);
}

// The line's types as the card writes them, in upper case; PREF also where vCard 4.0 writes "PREF=1".
// A type vCard 3.0 does not know (an assistant's or main number, vCard 4.0's TEXT) becomes an X- type:
// the form the format keeps for names of its own, which phones take as the number's label.
QByteArray typeParameter(const CardLine& cardLine, const char* first = nullptr) {
    QList<QByteArray> types;
    const auto add = [&types](QByteArray type) {
        if (!types.contains(type)) {
            types.append(std::move(type));
        }
    };
    if (first != nullptr) {
        add(first);
    }
    for (const QByteArray& written : CardLines::types(cardLine)) {
        const QByteArray type = written.toUpper();
        if (isPlainName(type)) {
            add(isKnownType(type) || type.startsWith("X-") ? type : "X-" + type);
        }
    }
    if (cardLine.parameters.pref) {
        add("PREF");
    }
    return types.isEmpty() ? QByteArray() : ";TYPE=" + types.join(',');
}

// A structured value of `count` parts, each a list of pieces decoded and escaped again: the separators the
// card writes stay separators, and a ";" or "," inside a piece stays text.
struct Structured {
    QByteArray text;
    std::array<bool, 7> filled{}; // which parts hold text
};

Structured structured(CardLines& card, const CardLine& cardLine, qsizetype count) {
    Structured value;
    const QList<QByteArrayView> parts = PropertyLexer::splitComponents(cardLine.value, ';');
    for (qsizetype i = 0; i < count && i < parts.size(); ++i) {
        QList<QByteArray> pieces;
        bool filled = false;
        for (const QByteArrayView piece : PropertyLexer::splitComponents(parts[i], ',')) {
            const QString text = card.text(cardLine, piece);
            filled |= !text.trimmed().isEmpty();
            pieces.append(escaped(text));
        }
        if (filled) {
            value.text += pieces.join(',').trimmed();
        }
        if (i < qsizetype(value.filled.size())) {
            value.filled[size_t(i)] = filled;
        }
        value.text += ';';
    }
    // Parts the card leaves out are written empty, as a reader counts them by their place.
    for (qsizetype i = parts.size(); i < count; ++i) {
        value.text += ';';
    }
    value.text.chop(1);
    return value;
}

bool anyFilled(const Structured& value) {
    return std::find(value.filled.begin(), value.filled.end(), true) != value.filled.end();
}

// A birthday as a phone reads it: a date, with or without a time; a birthday in words is no date.
bool isDate(const QString& text) {
    return !text.isEmpty() && text.front().isDigit() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('T') || c == QLatin1Char(':') ||
               c == QLatin1Char('Z') || c == QLatin1Char('+');
    });
}

// The card's own lines for a phone. Returns whether N holds a name; else the caller makes one.
bool addCardLines(const QByteArray& bytes, bool unicodeSource, Entries& entries) {
    CardLines card(bytes, unicodeSource);
    FilledCells cells;
    // Apple names a number's kind that vCard lacks by the label of its group; a phone reading the card
    // keeps it as the number's label.
    QHash<QByteArray, QByteArray> labels;
    card.forEach([&](const CardLine& cardLine) {
        cells.see(card, cardLine);
        if (cardLine.name == "X-ABLABEL" && isPlainName(cardLine.group) && !labels.contains(cardLine.group)) {
            const QString label = card.text(cardLine, cardLine.value).trimmed();
            if (!label.isEmpty()) {
                labels.insert(cardLine.group, escaped(label));
            }
        }
        return true;
    });

    const auto labelled = [&labels](const CardLine& cardLine, const char* name, const QByteArray& rest) {
        const auto label = labels.constFind(cardLine.group);
        if (cardLine.group.isEmpty() || label == labels.constEnd()) {
            return name + rest + "\r\n";
        }
        return cardLine.group + '.' + name + rest + "\r\n" + cardLine.group + ".X-ABLabel:" + *label + "\r\n";
    };
    Structured name;
    bool birthday = false;
    card.forEach([&](const CardLine& cardLine) {
        const QByteArray& property = cardLine.name;
        if (property == "N") {
            // The last N is the contact's name, as the import takes it.
            name = structured(card, cardLine, CardRules::NameParts);
        } else if (property == "ORG") {
            if (cells.fills(Field::Company, cardLine.start)) {
                const Structured company =
                    structured(card, cardLine, PropertyLexer::splitComponents(cardLine.value, ';').size());
                if (anyFilled(company)) {
                    entries.add(Head, Nothing, line("ORG", company.text));
                }
            }
        } else if (property == "TITLE") {
            const QString title = card.text(cardLine, cardLine.value).trimmed();
            if (!title.isEmpty()) {
                entries.add(Head, Nothing, line("TITLE", escaped(title)));
            }
        } else if (property == "TEL") {
            const QString number = card.writtenTelephone(cardLine);
            if (!number.isEmpty()) {
                entries.add(Telephones, cells.holdsNumber(cardLine.start) ? Nothing : FurtherNumbers,
                            labelled(cardLine, "TEL", typeParameter(cardLine) + ':' + escaped(number)));
            }
        } else if (property == "EMAIL") {
            const QString email =
                card.text(cardLine, PropertyLexer::firstComponent(cardLine.value)).trimmed();
            if (!email.isEmpty()) {
                entries.add(
                    Emails, cells.fills(Field::Email, cardLine.start) ? Nothing : FurtherNumbers,
                    labelled(cardLine, "EMAIL", typeParameter(cardLine, "INTERNET") + ':' + escaped(email)));
            }
        } else if (property == "ADR") {
            const Structured parts = structured(card, cardLine, 7);
            if (anyFilled(parts)) {
                const bool shown = cardLine.start == cells.homeAddress || cardLine.start == cells.workAddress;
                entries.add(Addresses, shown ? Nothing : FurtherAddresses,
                            labelled(cardLine, "ADR", typeParameter(cardLine) + ':' + parts.text));
            }
        } else if (property == "URL") {
            // Only what could be opened here too: a phone would follow any other scheme as readily.
            const QString address = card.text(cardLine, cardLine.value).trimmed();
            if (valueLink(ValueKind::WebAddress, address)) {
                entries.add(WebPages, Nothing, labelled(cardLine, "URL", ':' + escaped(address)));
            }
        } else if (property == "BDAY") {
            const QString date = card.text(cardLine, cardLine.value).trimmed();
            if (!birthday && isDate(date)) {
                birthday = true;
                entries.add(Birthday, Nothing, line("BDAY", date.toUtf8()));
            }
        } else if (property == "NOTE") {
            entries.addNote(card.text(cardLine, cardLine.value));
        }
        return true;
    });
    bool named = false;
    for (int part = 0; part < CardRules::NameParts; ++part) {
        named |= name.filled[size_t(part)] && CardRules::isNamePart(part);
    }
    if (named) {
        entries.add(Name, Nothing, line("N", name.text));
    }
    return named;
}

} // namespace

PortableCard portableCard(const QList<CardRow>& fixedRows, const QByteArray& card, bool unicodeSource,
                          const FitsPortableCard& fits) {
    static const std::array<QString, Count> names{QString(), QStringLiteral("Notizen"),
                                                  QStringLiteral("weitere Adressen"),
                                                  QStringLiteral("weitere Nummern und E-Mail-Adressen")};
    const QString shownName = fixedRows.value(int(Field::Name)).value;
    Entries entries;
    entries.add(FullName, Nothing, line("FN", escaped(shownName)));
    const bool named = card.isEmpty() ? false : addCardLines(card, unicodeSource, entries);
    if (card.isEmpty()) {
        addFixedFields(fixedRows, entries);
    }
    if (!named) {
        entries.add(Name, Nothing, line("N", structuredName(shownName)));
    }
    PortableCard portable;
    for (int leave = entries.notesTooLong() ? Note : Nothing; leave < Count; ++leave) {
        std::array<bool, Count> present{};
        QByteArray text = entries.text(leave, present);
        present[Note] |= entries.notesTooLong();
        if (fits(text)) {
            portable.text = std::move(text);
            for (int i = Note; i <= leave; ++i) {
                if (present[i]) {
                    portable.omitted.append(names[i]);
                }
            }
            return portable;
        }
    }
    return portable;
}

PortableCard portableCard(const ContactRef& contact, const FitsPortableCard& fits) {
    const QList<CardRow> fixed = fixedContactRows(contact);
    if (!contact.path().isEmpty()) {
        const ContactCard card = readContactCard(contact, CardUse::FurtherRows);
        if (card.ok && !card.bytes.isEmpty()) {
            return portableCard(fixed, card.bytes, card.unicode, fits);
        }
    }
    return portableCard(fixed, {}, false, fits);
}

} // namespace tovanel
