// The whole card: the rows a card's own text holds besides the fixed cells, read when the detail window
// is opened so that the table keeps nothing more per contact.
#include "card/cardrows.h"

#include "card/cardlabels.h"
#include "card/filledcells.h"
#include "contacts/carddate.h"
#include "contacts/fields.h"
#include "platform/germantext.h"
#include "vcard/asciicase.h"
#include "vcard/cardlines.h"
#include "vcard/cardrules.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <algorithm>
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
QString shownDate(const QString& text) {
    const std::optional<CardDate> date = cardDate(text);
    return date ? germanDate(*date) : text.trimmed();
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

// A place as the detail list shows it, "53,55° N, 9,99° O", and as the map's "geo:" address.
struct Place {
    QString shown;
    QString geo;
};

// One coordinate as written ("-9.99"), shown in degrees with its hemisphere; nothing past `limit`.
std::optional<std::pair<QString, QString>> degrees(const QString& text, int limit, QChar positive,
                                                   QChar negative) {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]{1,3}(\\.[0-9]+)?$"));
    const QString trimmed = text.trimmed();
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!number.match(trimmed).hasMatch() || !ok || value < -limit || value > limit) {
        return std::nullopt;
    }
    QString magnitude = trimmed;
    if (magnitude.startsWith(QLatin1Char('+')) || magnitude.startsWith(QLatin1Char('-'))) {
        magnitude.remove(0, 1);
    }
    // Shown as German writes a decimal, whatever the desktop's language; the digits stay as the card
    // gives them.
    QString shown = magnitude;
    shown.replace(QLatin1Char('.'), QLatin1Char(','));
    shown += QStringLiteral("° ") + (value < 0 ? negative : positive);
    return std::pair{shown, value < 0 ? QLatin1Char('-') + magnitude : magnitude};
}

// vCard 3 writes "53.55;9.99", vCard 4 "geo:53.55,9.99" with perhaps an altitude and parameters after.
std::optional<Place> place(const QString& value) {
    QStringList parts;
    if (value.startsWith(QLatin1String("geo:"), Qt::CaseInsensitive)) {
        const QString coordinates = value.mid(4).section(QLatin1Char(';'), 0, 0);
        parts = coordinates.split(QLatin1Char(','));
        if (parts.size() == 3) {
            parts.removeLast();
        }
    } else {
        parts = value.split(value.contains(QLatin1Char(';')) ? QLatin1Char(';') : QLatin1Char(','));
    }
    if (parts.size() != 2) {
        return std::nullopt;
    }
    const auto latitude = degrees(parts[0], 90, QLatin1Char('N'), QLatin1Char('S'));
    const auto longitude = degrees(parts[1], 180, QLatin1Char('O'), QLatin1Char('W'));
    if (!latitude || !longitude) {
        return std::nullopt;
    }
    return Place{latitude->first + QStringLiteral(", ") + longitude->first,
                 QStringLiteral("geo:%1,%2").arg(latitude->second, longitude->second)};
}

// The further rows of a card, gathered line by line into their groups and put in order at the end.
class FurtherRows {
public:
    FurtherRows(CardLines& card, const GroupLabels& labels, const FilledCells& cells, bool decodePhotos,
                const NameOfUid& nameOfUid)
        : m_card(card), m_labels(labels), m_cells(cells), m_decodePhotos(decodePhotos),
          m_nameOfUid(nameOfUid) {}

    // Takes one line; false once the rows are full.
    bool add(const CardLine& line) {
        const QByteArray& name = line.name;
        const std::optional<QString> label = m_labels.labelOf(line);
        if (name == "TEL") {
            addTelephone(line, label);
        } else if (name == "EMAIL") {
            if (!m_cells.fills(Field::Email, line.start) && room()) {
                m_email.append(textRow(label.value_or(CardLabels::email(line.parameters)),
                                       m_card.text(line, PropertyLexer::firstComponent(line.value)), false,
                                       ValueKind::Email));
            }
        } else if (name == "ADR") {
            addAddress(line, label);
        } else if (name == "BDAY") {
            addDate(QStringLiteral("Geburtstag"), line);
        } else if (name == "ANNIVERSARY" || name == "X-ANNIVERSARY" || name == "X-MS-ANNIVERSARY" ||
                   name == "X-EVOLUTION-ANNIVERSARY" || name == "X-KADDRESSBOOK-X-ANNIVERSARY" ||
                   name == "X-ABDATE") {
            addDate(label.value_or(QStringLiteral("Jahrestag")), line);
        } else if (name == "TITLE" || name == "ROLE") {
            if (room()) {
                const bool title = name == "TITLE";
                addPerson(title ? 0 : 1, textRow(title ? QStringLiteral("Position") : QStringLiteral("Rolle"),
                                                 m_card.text(line, line.value)));
            }
        } else if (name == "ORG") {
            addCompany(line);
        } else if (name == "NICKNAME" || name == "CATEGORIES") {
            addList(line);
        } else if (name == "URL") {
            const QString address = m_card.text(line, line.value).trimmed();
            if (firstTime(QStringLiteral("URL\t") + address) && room()) {
                addPerson(6, textRow(label.value_or(QStringLiteral("Webseite")), address, false,
                                     ValueKind::WebAddress));
            }
        } else if (name == "IMPP" || CardLabels::messengerService(name)) {
            const Messenger account = messenger(m_card, line);
            if (firstTime(QStringLiteral("IMPP\t") + account.key) && room()) {
                addPerson(7, textRow(label.value_or(QStringLiteral("Messenger")), account.shown));
            }
        } else if (name == "RELATED") {
            addRelation(label.value_or(CardLabels::relation(CardLines::types(line))), line);
        } else if (name == "X-ABRELATEDNAMES") {
            addRelation(label.value_or(QStringLiteral("Beziehung")), line);
        } else if (const std::optional<QString> relation = CardLabels::relationProperty(name)) {
            addRelation(label.value_or(*relation), line);
        } else if (name == "GEO") {
            addPlace(label, line);
        } else if (name == "NOTE") {
            if (!m_cells.fills(Field::Note, line.start) && room()) {
                m_notes.append(textRow(QStringLiteral("Notizen"), m_card.text(line, line.value)));
            }
        } else if (name == "PHOTO") {
            if (room()) {
                m_photos.append(photoRow(m_card, line, m_decodePhotos, m_photoBudget));
            }
        }
        return !m_cut;
    }

    QList<CardRow> rows() {
        std::stable_sort(m_person.begin(), m_person.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        QList<CardRow> personRows;
        for (auto& [kind, row] : m_person) {
            personRows.append(std::move(row));
        }
        QList<CardRow> rows;
        for (QList<CardRow>* group : {&m_telephones, &m_email, &m_home, &m_work, &m_addresses, &m_dates,
                                      &personRows, &m_notes, &m_photos}) {
            // One by one: appending a whole list to an empty one trips the sanitizer inside Qt 6.4.
            for (CardRow& row : *group) {
                rows.push_back(std::move(row));
            }
        }
        if (m_cut) {
            rows.push_back(textRow(QStringLiteral("Hinweis"),
                                   QStringLiteral("Die Karte hat mehr als %1 weitere Angaben; die übrigen "
                                                  "zeigt die Quelltext-Ansicht.")
                                       .arg(germanNumber(MaxFurtherRows))));
        }
        return rows;
    }

private:
    // Asked before a row is built, so that past the limit nothing more is.
    bool room() {
        if (m_count >= MaxFurtherRows) {
            m_cut = true;
            return false;
        }
        ++m_count;
        return true;
    }
    // The same value from two properties (ANNIVERSARY and X-ANNIVERSARY, one account as X-AIM and IMPP) is
    // one row.
    bool firstTime(const QString& key) {
        if (m_shown.contains(key)) {
            return false;
        }
        m_shown.insert(key);
        return true;
    }
    // Rows about the person: sorted by kind, in file order within one.
    void addPerson(int kind, CardRow row) { m_person.push_back({kind, std::move(row)}); }

    void addTelephone(const CardLine& line, const std::optional<QString>& label) {
        const QString extension = telephoneExtension(line);
        if (m_cells.holdsNumber(line.start)) {
            // The cell shows the number alone; its extension is said to belong to it.
            if (!extension.isEmpty() && room()) {
                const Field field = CardRules::telephoneField(line.parameters).value_or(Field::HomePhone);
                m_telephones.append(
                    textRow(QStringLiteral("Durchwahl (%1)").arg(fieldCaption(field)), extension));
            }
        } else if (room()) {
            QString number = m_card.telephone(line);
            if (!extension.isEmpty()) {
                number += QStringLiteral(" Durchwahl ") + extension;
            }
            m_telephones.append(textRow(label.value_or(CardLabels::telephone(line.parameters)), number,
                                        line.parameters.pref, ValueKind::Telephone));
        }
    }

    void addAddress(const CardLine& line, const std::optional<QString>& label) {
        if (line.start != m_cells.homeAddress && line.start != m_cells.workAddress) {
            if (room()) {
                m_addresses.append(
                    textRow(label.value_or(CardLabels::address(line.parameters, CardLines::types(line))),
                            postalAddress(m_card, line), false, ValueKind::PostalAddress));
            }
            return;
        }
        // The cells hold street, PLZ and Ort; the rest is said to belong to its cell's address.
        const bool home = line.start == m_cells.homeAddress;
        QList<CardRow>& rows = home ? m_home : m_work;
        const QString whose =
            QStringLiteral(" (%1)").arg(fieldCaption(home ? Field::HomeStreet : Field::WorkStreet));
        const PropertyLexer::Components parts(line.value, 7);
        const QString region = m_card.text(line, parts[4]).trimmed();
        const QString country = m_card.text(line, parts[6]).trimmed();
        if (!region.isEmpty() && room()) {
            rows.append(textRow(QStringLiteral("Region") + whose, region));
        }
        if (!country.isEmpty() && room()) {
            rows.append(textRow(QStringLiteral("Land") + whose, country));
        }
    }

    void addDate(const QString& label, const CardLine& line) {
        const QString date = shownDate(m_card.text(line, line.value));
        if (firstTime(label + u'\t' + date) && room()) {
            m_dates.append(textRow(label, date));
        }
    }

    // A person the card names: Evolution writes its empty fields, and some exporters one name twice.
    void addRelation(const QString& label, const CardLine& line) {
        QString value = m_card.text(line, line.value).trimmed();
        if (m_nameOfUid && value.startsWith(QLatin1String("urn:uuid:"), Qt::CaseInsensitive)) {
            value = m_nameOfUid(value).value_or(value);
        }
        if (!value.isEmpty() && firstTime(label + u'\t' + value) && room()) {
            addPerson(8, textRow(label, value));
        }
    }

    void addPlace(const std::optional<QString>& label, const CardLine& line) {
        const QString value = m_card.text(line, line.value).trimmed();
        if (value.isEmpty() || !room()) {
            return;
        }
        const QString shownLabel = label.value_or(QStringLiteral("Standort"));
        if (const std::optional<Place> known = place(value)) {
            CardRow row = textRow(shownLabel, known->shown, false, ValueKind::Place);
            row.linkText = known->geo;
            m_addresses.append(std::move(row));
        } else {
            m_addresses.append(textRow(shownLabel, value));
        }
    }

    // The cell shows one company; the departments of that one are its own row, every other company is a
    // row with its departments.
    void addCompany(const CardLine& line) {
        const bool inCompanyCell = m_cells.fills(Field::Company, line.start);
        QStringList parts;
        const QList<QByteArrayView> raw = PropertyLexer::splitComponents(line.value, ';');
        for (qsizetype k = inCompanyCell ? 1 : 0; k < raw.size(); ++k) {
            const QString part = m_card.text(line, raw[k]).trimmed();
            if (!part.isEmpty()) {
                parts << part;
            }
        }
        if (!parts.isEmpty() && room()) {
            addPerson(inCompanyCell ? 2 : 3,
                      textRow(inCompanyCell ? QStringLiteral("Abteilung") : QStringLiteral("Firma"),
                              parts.join(QStringLiteral(", "))));
        }
    }

    // NICKNAME and CATEGORIES are lists: "A,B" is shown "A, B".
    void addList(const CardLine& line) {
        if (!room()) {
            return;
        }
        QStringList items;
        for (const QByteArrayView part : PropertyLexer::splitComponents(line.value, ',')) {
            const QString text = m_card.text(line, part).trimmed();
            if (!text.isEmpty()) {
                items << text;
            }
        }
        const bool nickname = line.name == "NICKNAME";
        addPerson(nickname ? 4 : 5,
                  textRow(nickname ? QStringLiteral("Spitzname") : QStringLiteral("Kategorien"),
                          items.join(QStringLiteral(", "))));
    }

    CardLines& m_card;
    const GroupLabels& m_labels;
    const FilledCells& m_cells;
    const bool m_decodePhotos;
    const NameOfUid& m_nameOfUid;
    QList<CardRow> m_telephones, m_email, m_home, m_work, m_addresses, m_dates, m_notes, m_photos;
    std::vector<std::pair<int, CardRow>> m_person; // kind, row
    QSet<QString> m_shown;
    PhotoBudget m_photoBudget;
    int m_count = 0;
    bool m_cut = false;
};

} // namespace

QList<CardRow> furtherCardRows(const QByteArray& bytes, bool unicodeSource, bool decodePhotos,
                               const NameOfUid& nameOfUid) {
    CardLines card(bytes, unicodeSource);
    GroupLabels labels;
    FilledCells cells;
    card.forEach([&](const CardLine& line) {
        labels.add(card, line);
        cells.see(card, line);
        return true;
    });
    FurtherRows rows(card, labels, cells, decodePhotos, nameOfUid);
    card.forEach([&rows](const CardLine& line) { return rows.add(line); });
    return rows.rows();
}

} // namespace tovanel
