// The whole card: the rows a card's own text holds besides the fixed cells, read when the detail window
// is opened so that the table keeps nothing more per contact.
#include "card/cardrows.h"

#include "card/cardlabels.h"
#include "contacts/fields.h"
#include "platform/germantext.h"
#include "vcard/asciicase.h"
#include "vcard/cardlines.h"
#include "vcard/cardrules.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace tovanel {

namespace {

// Each group's label from its first X-ABLABEL with text, gathered once: a card may hold many groups.
class GroupLabels {
public:
    void add(CardLines& card, const CardLine& line) {
        if (!line.group.isEmpty() && line.name == "X-ABLABEL" && !labels.contains(line.group)) {
            const QString label = CardLabels::appleLabel(card.text(line, line.value).trimmed());
            if (!label.isEmpty()) {
                labels.insert(line.group, label);
            }
        }
    }
    std::optional<QString> labelOf(const CardLine& line) const {
        const auto found = line.group.isEmpty() ? labels.constEnd() : labels.constFind(line.group);
        return found == labels.constEnd() ? std::nullopt : std::optional<QString>(*found);
    }

private:
    QHash<QByteArray, QString> labels;
};

// "15.04.1980", "15.04." for a date without a year; text that is no date as it stands.
QString germanDate(const QString& text) {
    QString date = text.trimmed();
    const qsizetype t = date.indexOf(QLatin1Char('T'));
    if (t >= 0) {
        date.truncate(t);
    }
    bool noYear = false;
    if (date.startsWith(QLatin1String("--"))) {
        noYear = true;
        date = QStringLiteral("2000") + date.mid(2);
    }
    date.remove(QLatin1Char('-'));
    if (date.size() != 8 || !std::all_of(date.begin(), date.end(), [](QChar c) { return c.isDigit(); })) {
        return text.trimmed();
    }
    int year = date.first(4).toInt();
    const int month = date.sliced(4, 2).toInt();
    const int day = date.sliced(6, 2).toInt();
    // Apple writes the year 1604 for a date whose year is not known.
    noYear |= year == 1604;
    if (noYear) {
        year = 2000;
    }
    if (!QDate(year, month, day).isValid()) {
        return text.trimmed();
    }
    const QString dayMonth =
        QStringLiteral("%1.%2.").arg(day, 2, 10, QLatin1Char('0')).arg(month, 2, 10, QLatin1Char('0'));
    return noYear ? dayMonth : dayMonth + QString::number(year);
}

QString postalAddress(CardLines& card, const CardLine& line) {
    const QList<QByteArrayView> raw = PropertyLexer::splitComponents(line.value, ';');
    const auto part = [&](qsizetype index) {
        return index < raw.size() ? card.text(line, raw[index]).trimmed() : QString();
    };
    QStringList lines;
    const auto add = [&](const QString& text) {
        if (!text.isEmpty()) {
            lines << text;
        }
    };
    add(part(2));
    add(part(0));
    add(part(1));
    add((part(5) + QLatin1Char(' ') + part(3)).trimmed());
    add(part(4));
    add(part(6));
    return lines.join(QLatin1Char('\n'));
}

CardRow textRow(QString label, QString value, bool bold = false, ValueKind kind = ValueKind::Text) {
    CardRow row;
    row.label = std::move(label);
    row.value = std::move(value);
    row.bold = bold;
    row.kind = kind;
    return row;
}

// A messenger account as "Dienst: Konto", and a key that is the same for the one account written twice, as
// Apple writes it once as X-AIM and once as IMPP.
struct Messenger {
    QString shown;
    QString key;
};

Messenger messenger(CardLines& card, const CardLine& line) {
    const QString value = card.text(line, line.value).trimmed();
    QString service;
    QString account = value;
    if (const std::optional<QString> named = CardLabels::messengerService(line.name)) {
        service = *named;
    } else {
        // "xmpp:name@host", percent-encoded as any address: the scheme names the service, unless a parameter
        // names it better. Apple's own scheme names none.
        const qsizetype colon = value.indexOf(QLatin1Char(':'));
        QString scheme;
        if (colon > 0 && !value.first(colon).contains(QLatin1Char('@'))) {
            scheme = value.first(colon);
            account = QUrl::fromPercentEncoding(value.mid(colon + 1).toUtf8());
        }
        // Apple names the service as a type of its own ("TYPE=Facebook"); other exporters' types say how an
        // account is used, and their own "x-" types name no service that the scheme does not.
        static const QList<QByteArray> usage{"home",     "work",  "pref",  "other", "internet", "personal",
                                             "business", "voice", "video", "text",  "cell",     "mobile"};
        QByteArray typed;
        for (const QByteArray& type : CardLines::types(line)) {
            const QByteArray lower = type.toLower();
            if (!usage.contains(lower) && !lower.startsWith("x-")) {
                typed = type;
                break;
            }
        }
        if (!line.parameters.serviceType.isEmpty()) {
            service = QString::fromUtf8(line.parameters.serviceType);
        } else if (!typed.isEmpty()) {
            service = QString::fromUtf8(typed);
        } else if (const std::optional<QString> known = CardLabels::messengerScheme(scheme)) {
            service = *known;
        } else if (scheme.compare(QLatin1String("x-apple"), Qt::CaseInsensitive) != 0) {
            service = scheme;
        }
    }
    QString key = service.toCaseFolded();
    key.removeIf([](QChar c) { return !c.isLetterOrNumber(); });
    return {service.isEmpty() ? account : service + QStringLiteral(": ") + account, key + QChar(0) + account};
}

// A "tel:" address keeps its extension in a parameter after the number, which the list's cells leave out.
QString telephoneExtension(const CardLine& line) {
    const QByteArrayView value = line.value.trimmed();
    if (value.size() < 4 || !AsciiCase::is(value.first(4), "TEL:")) {
        return {};
    }
    const QList<QByteArrayView> parameters = PropertyLexer::splitComponents(value, ';');
    for (qsizetype i = 1; i < parameters.size(); ++i) {
        const QByteArrayView parameter = parameters[i].trimmed();
        if (parameter.size() > 4 && AsciiCase::is(parameter.first(4), "EXT=")) {
            return QString::fromUtf8(parameter.sliced(4));
        }
    }
    return {};
}

} // namespace

QList<CardRow> furtherCardRows(const QByteArray& bytes, bool unicodeSource, bool decodePhotos) {
    CardLines card(bytes, unicodeSource);
    GroupLabels labels;

    // Which TEL, EMAIL and ADR lines the import put in the fixed cells, by its own rules; lines are told
    // apart by where they start.
    struct Held {
        qint64 line = -1;
        bool preferred = false;
        bool holds = false;
    };
    std::array<Held, 3> telephones;
    qint64 email = -1;
    qint64 homeAddress = -1;
    qint64 workAddress = -1;
    qint64 note = -1;
    qint64 company = -1;
    card.forEach([&](const CardLine& line) {
        labels.add(card, line);
        if (line.name == "TEL") {
            if (const std::optional<Field> field = CardRules::telephoneField(line.parameters)) {
                Held& held = telephones[size_t(int(*field) - int(Field::MobilePhone))];
                if (CardRules::replacesNumber(held.holds, held.preferred, line.parameters.pref)) {
                    held = {line.start, line.parameters.pref, !card.telephone(line).isEmpty()};
                }
            }
        } else if (line.name == "EMAIL") {
            email = line.start;
        } else if (line.name == "ADR") {
            (CardRules::isWorkAddress(line.parameters) ? workAddress : homeAddress) = line.start;
        } else if (line.name == "NOTE") {
            note = line.start;
        } else if (line.name == "ORG") {
            company = line.start;
        }
        return true;
    });
    const auto inCell = [&](qint64 start) {
        return std::any_of(telephones.begin(), telephones.end(),
                           [start](const Held& h) { return h.line == start; });
    };

    QList<CardRow> telephoneRows, emailRows, homeRows, workRows, addressRows, dateRows, personRows, noteRows,
        photoRows;
    // The same value from two properties (ANNIVERSARY and X-ANNIVERSARY, one account as X-AIM and IMPP) is
    // one row.
    QSet<QString> shown;
    const auto firstTime = [&shown](const QString& key) {
        if (shown.contains(key)) {
            return false;
        }
        shown.insert(key);
        return true;
    };
    std::vector<std::pair<int, CardRow>> person; // kind, row: sorted by kind, file order within
    PhotoBudget photos;
    int count = 0;
    bool cut = false;
    // Asked before a row is built, so that past the limit nothing more is.
    const auto room = [&] {
        if (count >= MaxFurtherRows) {
            cut = true;
            return false;
        }
        ++count;
        return true;
    };
    card.forEach([&](const CardLine& line) {
        const QByteArray& name = line.name;
        const std::optional<QString> label = labels.labelOf(line);
        if (name == "TEL") {
            const QString extension = telephoneExtension(line);
            if (inCell(line.start)) {
                // The cell shows the number alone; its extension is said to belong to it.
                if (!extension.isEmpty() && room()) {
                    const Field field = CardRules::telephoneField(line.parameters).value_or(Field::HomePhone);
                    telephoneRows.append(
                        textRow(QStringLiteral("Durchwahl (%1)").arg(fieldCaption(field)), extension));
                }
            } else if (room()) {
                QString number = card.telephone(line);
                if (!extension.isEmpty()) {
                    number += QStringLiteral(" Durchwahl ") + extension;
                }
                telephoneRows.append(textRow(label.value_or(CardLabels::telephone(line.parameters)), number,
                                             line.parameters.pref, ValueKind::Telephone));
            }
        } else if (name == "EMAIL") {
            if (line.start != email && room()) {
                emailRows.append(textRow(label.value_or(CardLabels::email(line.parameters)),
                                         card.text(line, PropertyLexer::firstComponent(line.value)), false,
                                         ValueKind::Email));
            }
        } else if (name == "ADR") {
            if (line.start == homeAddress || line.start == workAddress) {
                // The cells hold street, PLZ and Ort; the rest is said to belong to its cell's address.
                const bool home = line.start == homeAddress;
                QList<CardRow>& rows = home ? homeRows : workRows;
                const QString whose =
                    QStringLiteral(" (%1)").arg(fieldCaption(home ? Field::HomeStreet : Field::WorkStreet));
                const PropertyLexer::Components parts(line.value, 7);
                const QString region = card.text(line, parts[4]).trimmed();
                const QString country = card.text(line, parts[6]).trimmed();
                if (!region.isEmpty() && room()) {
                    rows.append(textRow(QStringLiteral("Region") + whose, region));
                }
                if (!country.isEmpty() && room()) {
                    rows.append(textRow(QStringLiteral("Land") + whose, country));
                }
            } else if (room()) {
                addressRows.append(
                    textRow(label.value_or(CardLabels::address(line.parameters, CardLines::types(line))),
                            postalAddress(card, line), false, ValueKind::PostalAddress));
            }
        } else if (name == "BDAY") {
            const QString date = germanDate(card.text(line, line.value));
            if (firstTime(QStringLiteral("Geburtstag\t") + date) && room()) {
                dateRows.append(textRow(QStringLiteral("Geburtstag"), date));
            }
        } else if (name == "ANNIVERSARY" || name == "X-ANNIVERSARY" || name == "X-MS-ANNIVERSARY" ||
                   name == "X-ABDATE") {
            const QString dateLabel = label.value_or(QStringLiteral("Jahrestag"));
            const QString date = germanDate(card.text(line, line.value));
            if (firstTime(dateLabel + u'\t' + date) && room()) {
                dateRows.append(textRow(dateLabel, date));
            }
        } else if (name == "TITLE") {
            if (room()) {
                person.push_back({0, textRow(QStringLiteral("Position"), card.text(line, line.value))});
            }
        } else if (name == "ROLE") {
            if (room()) {
                person.push_back({1, textRow(QStringLiteral("Rolle"), card.text(line, line.value))});
            }
        } else if (name == "ORG") {
            // The cell shows one company; the departments of that one are its own row, every other
            // company is a row with its departments.
            const bool inCompanyCell = line.start == company;
            QStringList parts;
            const QList<QByteArrayView> raw = PropertyLexer::splitComponents(line.value, ';');
            for (qsizetype k = inCompanyCell ? 1 : 0; k < raw.size(); ++k) {
                const QString part = card.text(line, raw[k]).trimmed();
                if (!part.isEmpty()) {
                    parts << part;
                }
            }
            if (!parts.isEmpty() && room()) {
                person.push_back({inCompanyCell ? 2 : 3, textRow(inCompanyCell ? QStringLiteral("Abteilung")
                                                                               : QStringLiteral("Firma"),
                                                                 parts.join(QStringLiteral(", ")))});
            }
        } else if (name == "NICKNAME" || name == "CATEGORIES") {
            if (room()) {
                // Both are lists: "A,B" is shown "A, B".
                QStringList items;
                for (const QByteArrayView part : PropertyLexer::splitComponents(line.value, ',')) {
                    const QString text = card.text(line, part).trimmed();
                    if (!text.isEmpty()) {
                        items << text;
                    }
                }
                const bool nickname = name == "NICKNAME";
                person.push_back({nickname ? 4 : 5, textRow(nickname ? QStringLiteral("Spitzname")
                                                                     : QStringLiteral("Kategorien"),
                                                            items.join(QStringLiteral(", ")))});
            }
        } else if (name == "URL") {
            const QString address = card.text(line, line.value).trimmed();
            if (firstTime(QStringLiteral("URL\t") + address) && room()) {
                person.push_back({6, textRow(label.value_or(QStringLiteral("Webseite")), address, false,
                                             ValueKind::WebAddress)});
            }
        } else if (name == "IMPP" || CardLabels::messengerService(name)) {
            const Messenger account = messenger(card, line);
            if (firstTime(QStringLiteral("IMPP\t") + account.key) && room()) {
                person.push_back({7, textRow(label.value_or(QStringLiteral("Messenger")), account.shown)});
            }
        } else if (name == "RELATED" || name == "X-ABRELATEDNAMES") {
            if (room()) {
                person.push_back(
                    {8, textRow(label.value_or(QStringLiteral("Beziehung")), card.text(line, line.value))});
            }
        } else if (name == "NOTE") {
            if (line.start != note && room()) {
                noteRows.append(textRow(QStringLiteral("Notizen"), card.text(line, line.value)));
            }
        } else if (name == "PHOTO") {
            if (room()) {
                photoRows.append(photoRow(card, line, decodePhotos, photos));
            }
        }
        return !cut;
    });
    std::stable_sort(person.begin(), person.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [kind, row] : person) {
        personRows.append(std::move(row));
    }
    QList<CardRow> rows;
    for (QList<CardRow>* group : {&telephoneRows, &emailRows, &homeRows, &workRows, &addressRows, &dateRows,
                                  &personRows, &noteRows, &photoRows}) {
        // One by one: appending a whole list to an empty one trips the sanitizer inside Qt 6.4.
        for (CardRow& row : *group) {
            rows.push_back(std::move(row));
        }
    }
    if (cut) {
        rows.push_back(textRow(QStringLiteral("Hinweis"),
                               QStringLiteral("Die Karte hat mehr als %1 weitere Angaben; die übrigen zeigt "
                                              "die Quelltext-Ansicht.")
                                   .arg(germanNumber(MaxFurtherRows))));
    }
    return rows;
}

} // namespace tovanel
