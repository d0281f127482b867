// The whole card: the rows a card's own text holds besides the fixed cells, read when the detail window
// is opened so that the table keeps nothing more per contact.
#include "cardrows.h"

#include "cardlabels.h"
#include "cardlines.h"
#include "cardrules.h"
#include "germannumber.h"

#include <QDate>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

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

QString messengerValue(CardLines& card, const CardLine& line) {
    QString value = card.text(line, line.value).trimmed();
    if (const std::optional<QString> service = CardLabels::messengerService(line.name)) {
        return *service + QStringLiteral(": ") + value;
    }
    if (!line.parameters.serviceType.isEmpty()) {
        const qsizetype colon = value.indexOf(QLatin1Char(':'));
        return QString::fromUtf8(line.parameters.serviceType) + QStringLiteral(": ") +
               (colon >= 0 ? value.mid(colon + 1) : value);
    }
    // "xmpp:name@host": the scheme names the service.
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    if (colon > 0 && !value.first(colon).contains(QLatin1Char('@'))) {
        return value.first(colon) + QStringLiteral(": ") + value.mid(colon + 1);
    }
    return value;
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
        }
        return true;
    });
    const auto inCell = [&](qint64 start) {
        return std::any_of(telephones.begin(), telephones.end(),
                           [start](const Held& h) { return h.line == start; });
    };

    QList<CardRow> telephoneRows, emailRows, addressRows, dateRows, personRows, photoRows;
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
            if (!inCell(line.start) && room()) {
                telephoneRows.append(textRow(label.value_or(CardLabels::telephone(line.parameters)),
                                             card.telephone(line), line.parameters.pref,
                                             ValueKind::Telephone));
            }
        } else if (name == "EMAIL") {
            if (line.start != email && room()) {
                emailRows.append(textRow(label.value_or(CardLabels::email(line.parameters)),
                                         card.text(line, PropertyLexer::firstComponent(line.value)), false,
                                         ValueKind::Email));
            }
        } else if (name == "ADR") {
            if (line.start == homeAddress || line.start == workAddress) {
                const PropertyLexer::Components parts(line.value, 7);
                const QString region = card.text(line, parts[4]).trimmed();
                const QString country = card.text(line, parts[6]).trimmed();
                if (!region.isEmpty() && room()) {
                    addressRows.append(textRow(QStringLiteral("Region"), region));
                }
                if (!country.isEmpty() && room()) {
                    addressRows.append(textRow(QStringLiteral("Land"), country));
                }
            } else if (room()) {
                addressRows.append(textRow(label.value_or(CardLabels::address(line.parameters)),
                                           postalAddress(card, line), false, ValueKind::PostalAddress));
            }
        } else if (name == "BDAY") {
            if (room()) {
                dateRows.append(
                    textRow(QStringLiteral("Geburtstag"), germanDate(card.text(line, line.value))));
            }
        } else if (name == "ANNIVERSARY" || name == "X-ANNIVERSARY" || name == "X-MS-ANNIVERSARY" ||
                   name == "X-ABDATE") {
            if (room()) {
                dateRows.append(textRow(label.value_or(QStringLiteral("Jahrestag")),
                                        germanDate(card.text(line, line.value))));
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
            QStringList departments;
            const QList<QByteArrayView> parts = PropertyLexer::splitComponents(line.value, ';');
            for (qsizetype k = 1; k < parts.size(); ++k) {
                const QString part = card.text(line, parts[k]).trimmed();
                if (!part.isEmpty()) {
                    departments << part;
                }
            }
            if (!departments.isEmpty() && room()) {
                person.push_back(
                    {2, textRow(QStringLiteral("Abteilung"), departments.join(QStringLiteral(", ")))});
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
                person.push_back({nickname ? 3 : 4, textRow(nickname ? QStringLiteral("Spitzname")
                                                                     : QStringLiteral("Kategorien"),
                                                            items.join(QStringLiteral(", ")))});
            }
        } else if (name == "URL") {
            if (room()) {
                person.push_back({5, textRow(label.value_or(QStringLiteral("Webseite")),
                                             card.text(line, line.value), false, ValueKind::WebAddress)});
            }
        } else if (name == "IMPP" || CardLabels::messengerService(name)) {
            if (room()) {
                person.push_back(
                    {6, textRow(label.value_or(QStringLiteral("Messenger")), messengerValue(card, line))});
            }
        } else if (name == "RELATED" || name == "X-ABRELATEDNAMES") {
            if (room()) {
                person.push_back(
                    {7, textRow(label.value_or(QStringLiteral("Beziehung")), card.text(line, line.value))});
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
    for (QList<CardRow>* group :
         {&telephoneRows, &emailRows, &addressRows, &dateRows, &personRows, &photoRows}) {
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
