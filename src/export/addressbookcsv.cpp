#include "export/addressbookcsv.h"

#include "card/cardfields.h"
#include "contacts/contacttable.h"
#include "export/csvcells.h"
#include "platform/displaytext.h"
#include "platform/germantext.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <string_view>

namespace tovanel {

namespace {

using CsvCells::Kind;
using CsvCells::Quoting;

// Google's way of putting several values into one cell.
constexpr QStringView Several = u" ::: ";

// One line of cells, each appended as the file's program reads it.
class CsvLine {
public:
    CsvLine(QChar delimiter, Quoting quoting) : m_delimiter(delimiter), m_quoting(quoting) {}
    void cell(QStringView text, Kind kind = Kind::Text) {
        if (m_cells++ > 0) {
            m_text += m_delimiter;
        }
        CsvCells::append(m_text, text, m_delimiter, m_scratch, kind, m_quoting);
    }
    // The line ended by CR LF, as RFC 4180 and both programs end lines; the next one starts empty.
    QString take() {
        m_text += u"\r\n";
        m_cells = 0;
        return std::exchange(m_text, QString());
    }

private:
    QChar m_delimiter;
    Quoting m_quoting;
    QString m_text;
    QString m_scratch;
    int m_cells = 0;
};

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString joinedNotes(const CardFields& fields) {
    return fields.notes.join(u'\n');
}

// ---- Google Contacts ----
//
// Google's own export, which its import reads back (contacts.google.com, "Exportieren", "Google CSV"),
// begins with these columns; the same heading in other converters' Google writers and readers, e.g.
// a Kotlin contacts app's test "csv import reads the labeled contacts export format" and the Rust and
// TypeScript Google CSV writers found beside it. Comma-separated UTF-8 without a byte-order mark,
// quoted as RFC 4180, several values of one label in one cell joined by " ::: ", the preferred value's
// label beginning with "* ", and "* myContacts" among the Labels so the contact lands in "Meine Kontakte".
const std::array<QStringView, 17> GoogleNameColumns{u"First Name",
                                                    u"Middle Name",
                                                    u"Last Name",
                                                    u"Phonetic First Name",
                                                    u"Phonetic Middle Name",
                                                    u"Phonetic Last Name",
                                                    u"Name Prefix",
                                                    u"Name Suffix",
                                                    u"Nickname",
                                                    u"File As",
                                                    u"Organization Name",
                                                    u"Organization Title",
                                                    u"Organization Department",
                                                    u"Birthday",
                                                    u"Notes",
                                                    u"Photo",
                                                    u"Labels"};
const std::array<QStringView, 9> GoogleAddressParts{u"Label",       u"Formatted", u"Street",
                                                    u"City",        u"PO Box",    u"Region",
                                                    u"Postal Code", u"Country",   u"Extended Address"};

// Google keeps one group per label and joins the values of one label with " ::: ", so a contact never
// needs more groups than there are labels: the header is the same for every list, and written before
// the first contact is seen.
constexpr int GoogleEmailGroups = 3;   // Home, Work, Other
constexpr int GooglePhoneGroups = 7;   // Mobile, Home, Work, Home Fax, Work Fax, Pager, Other
constexpr int GoogleAddressGroups = 3; // Home, Work, Other
constexpr int GoogleWebsiteGroups = 3; // Home, Work, Other

QString kindLabel(bool home, bool work) {
    return work ? QStringLiteral("Work") : home ? QStringLiteral("Home") : QStringLiteral("Other");
}

QString phoneLabel(const CardTelephone& number) {
    if (number.fax) {
        return number.work ? QStringLiteral("Work Fax") : QStringLiteral("Home Fax");
    }
    if (number.pager) {
        return QStringLiteral("Pager");
    }
    if (number.mobile) {
        return QStringLiteral("Mobile");
    }
    return kindLabel(number.home, number.work);
}

struct Group {
    QString label;
    QList<qsizetype> members;
};

// The values of `items` by label, in the card's order but the preferred value first.
template <typename T, typename Label, typename Preferred>
QList<Group> groupsOf(const QList<T>& items, Label label, Preferred preferred) {
    QList<qsizetype> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_partition(order.begin(), order.end(), [&](qsizetype i) { return preferred(items[i]); });
    QList<Group> groups;
    for (const qsizetype i : order) {
        const QString name = label(items[i]);
        const auto group =
            std::find_if(groups.begin(), groups.end(), [&name](const Group& g) { return g.label == name; });
        if (group == groups.end()) {
            groups.append({name, {i}});
        } else {
            group->members.append(i);
        }
    }
    if (!order.isEmpty() && preferred(items[order.front()])) {
        groups.front().label.prepend(u"* ");
    }
    return groups;
}

// One value of each member, joined; empty when every one is.
template <typename T, typename Value> QString joined(const QList<T>& items, const Group& group, Value value) {
    QStringList values;
    bool any = false;
    for (const qsizetype i : group.members) {
        values << value(items[i]);
        any |= !values.last().isEmpty();
    }
    return any ? values.join(Several) : QString();
}

// The address as one would write it on a letter in Germany.
QString formatted(const CardAddress& address) {
    QStringList lines{address.street, address.extended,
                      address.poBox,  (address.postalCode + u' ' + address.city).trimmed(),
                      address.region, address.country};
    lines.removeAll(QString());
    return lines.join(u'\n');
}

QString googleDate(const std::optional<CardDate>& date) {
    if (!date) {
        return {};
    }
    const QString monthDay = twoDigits(date->month) + u'-' + twoDigits(date->day);
    return date->year == 0 ? QStringLiteral("--") + monthDay
                           : QStringLiteral("%1").arg(date->year, 4, 10, QLatin1Char('0')) + u'-' + monthDay;
}

template <typename T, typename Value>
void groupCells(CsvLine& line, const QList<T>& items, const QList<Group>& groups, int count, Value value,
                Kind kind = Kind::Text) {
    for (int i = 0; i < count; ++i) {
        const Group group = groups.value(i);
        line.cell(group.label);
        line.cell(joined(items, group, value), kind);
    }
}

class GoogleCsv final : public ContactRecords {
public:
    QByteArray head() override {
        CsvLine line(u',', Quoting::AsNeeded);
        for (const QString& heading : googleCsvHeadings()) {
            line.cell(heading);
        }
        return line.take().toUtf8();
    }

    void append(QByteArray& out, const ContactTable& table, qsizetype contact) override {
        const CardFields f = m_reader.fields(table, contact);
        CsvLine& line = m_line;
        for (const QString* text : {&f.given, &f.additional, &f.family}) {
            line.cell(*text);
        }
        line.cell({});
        line.cell({});
        line.cell({});
        line.cell(f.prefix);
        line.cell(f.suffix);
        line.cell(f.nickname);
        line.cell({});
        line.cell(f.organization);
        line.cell(f.title);
        line.cell(f.department);
        line.cell(googleDate(f.birthday), Kind::Number);
        line.cell(joinedNotes(f));
        line.cell({});
        line.cell((QStringList{QStringLiteral("* myContacts")} + f.categories).join(Several));

        groupCells(line, f.emails,
                   groupsOf(
                       f.emails, [](const CardEmail& e) { return kindLabel(e.home, e.work); },
                       [](const CardEmail& e) { return e.preferred; }),
                   GoogleEmailGroups, [](const CardEmail& e) { return e.address; });
        groupCells(
            line, f.telephones,
            groupsOf(f.telephones, phoneLabel, [](const CardTelephone& t) { return t.preferred; }),
            GooglePhoneGroups, [](const CardTelephone& t) { return t.written; }, Kind::Number);
        const QList<Group> addresses = groupsOf(
            f.addresses, [](const CardAddress& a) { return kindLabel(a.home, a.work); },
            [](const CardAddress& a) { return a.preferred; });
        for (int i = 0; i < GoogleAddressGroups; ++i) {
            const Group group = addresses.value(i);
            const auto part = [&](QString CardAddress::*member) {
                return joined(f.addresses, group, [member](const CardAddress& a) { return a.*member; });
            };
            line.cell(group.label);
            line.cell(joined(f.addresses, group, formatted));
            line.cell(part(&CardAddress::street));
            line.cell(part(&CardAddress::city));
            line.cell(part(&CardAddress::poBox));
            line.cell(part(&CardAddress::region));
            line.cell(part(&CardAddress::postalCode), Kind::Number);
            line.cell(part(&CardAddress::country));
            line.cell(part(&CardAddress::extended));
        }
        groupCells(line, f.webPages,
                   groupsOf(
                       f.webPages, [](const CardWebPage& w) { return kindLabel(w.home, w.work); },
                       [](const CardWebPage&) { return false; }),
                   GoogleWebsiteGroups, [](const CardWebPage& w) { return w.address; });
        out += line.take().toUtf8();
    }

    QString notice(const QString& path) const override { return unreadCardsNotice(path, m_reader.unread()); }

private:
    ContactFieldsReader m_reader;
    CsvLine m_line{u',', Quoting::AsNeeded};
};

// ---- Outlook ----
//
// The columns a German Outlook writes ("Datei" > "Öffnen und exportieren" > "Importieren/Exportieren" >
// "In Datei exportieren" > "Kommagetrennte Werte") and maps by their names when it imports such a file,
// as Open-Xchange's Outlook CSV import tests hold one (open-xchange/appsuite-middleware, the German row of
// its Outlook CSV importer's tests, read as cp1252; the same names in Emacs lookout.el's
// "outlook-german" table). Outlook writes them in the system's ANSI code page, Windows-1252 on a German
// Windows, separated by commas whatever the list separator, every field that holds anything in quotes,
// and a birthday as "d.M.yyyy" ("10.9.2007").
constexpr std::array<std::u16string_view, 92> OutlookColumns{
    u"Anrede",
    u"Vorname",
    u"Weitere Vornamen",
    u"Nachname",
    u"Suffix",
    u"Firma",
    u"Abteilung",
    u"Position",
    u"Straße geschäftlich",
    u"Straße geschäftlich 2",
    u"Straße geschäftlich 3",
    u"Ort geschäftlich",
    u"Region geschäftlich",
    u"Postleitzahl geschäftlich",
    u"Land/Region geschäftlich",
    u"Straße privat",
    u"Straße privat 2",
    u"Straße privat 3",
    u"Ort privat",
    u"Bundesland/Kanton privat",
    u"Postleitzahl privat",
    u"Land/Region privat",
    u"Weitere Straße",
    u"Weitere Straße 2",
    u"Weitere Straße 3",
    u"Weiterer Ort",
    u"Weiteres/r Bundesland/Kanton",
    u"Weitere Postleitzahl",
    u"Weiteres/e Land/Region",
    u"Telefon Assistent",
    u"Fax geschäftlich",
    u"Telefon geschäftlich",
    u"Telefon geschäftlich 2",
    u"Rückmeldung",
    u"Autotelefon",
    u"Telefon Firma",
    u"Fax privat",
    u"Telefon privat",
    u"Telefon privat 2",
    u"ISDN",
    u"Mobiltelefon",
    u"Weiteres Fax",
    u"Weiteres Telefon",
    u"Pager",
    u"Haupttelefon",
    u"Mobiltelefon 2",
    u"Telefon für Hörbehinderte",
    u"Telex",
    u"Abrechnungsinformation",
    u"Benutzer 1",
    u"Benutzer 2",
    u"Benutzer 3",
    u"Benutzer 4",
    u"Beruf",
    u"Büro",
    u"E-Mail-Adresse",
    u"E-Mail-Typ",
    u"E-Mail: Angezeigter Name",
    u"E-Mail 2: Adresse",
    u"E-Mail 2: Typ",
    u"E-Mail 2: Angezeigter Name",
    u"E-Mail 3: Adresse",
    u"E-Mail 3: Typ",
    u"E-Mail 3: Angezeigter Name",
    u"Empfohlen von",
    u"Geburtstag",
    u"Geschlecht",
    u"Hobby",
    u"Initialen",
    u"Internet-Frei/Gebucht",
    u"Jahrestag",
    u"Kategorien",
    u"Kinder",
    u"Konto",
    u"Name Assistent",
    u"Name des/der Vorgesetzten",
    u"Notizen",
    u"Organisationsnr.",
    u"Ort",
    u"Partner",
    u"Postfach geschäftlich",
    u"Postfach privat",
    u"Priorität",
    u"Privat",
    u"Regierungsnr.",
    u"Reisekilometer",
    u"Sprache",
    u"Stichwörter",
    u"Vertraulichkeit",
    u"Verzeichnisserver",
    u"Webseite",
    u"Weiteres Postfach",
};

// A column by its heading; a name not among them does not compile.
consteval int column(std::u16string_view heading) {
    for (size_t i = 0; i < OutlookColumns.size(); ++i) {
        if (OutlookColumns[i] == heading) {
            return int(i);
        }
    }
    throw "no such Outlook column";
}

// An address's columns in one of Outlook's three places.
struct OutlookAddress {
    int street, street2, city, region, postalCode, country, poBox;
};
constexpr OutlookAddress BusinessAddress{
    column(u"Straße geschäftlich"),       column(u"Straße geschäftlich 2"),
    column(u"Ort geschäftlich"),          column(u"Region geschäftlich"),
    column(u"Postleitzahl geschäftlich"), column(u"Land/Region geschäftlich"),
    column(u"Postfach geschäftlich")};
constexpr OutlookAddress HomeAddress{column(u"Straße privat"),       column(u"Straße privat 2"),
                                     column(u"Ort privat"),          column(u"Bundesland/Kanton privat"),
                                     column(u"Postleitzahl privat"), column(u"Land/Region privat"),
                                     column(u"Postfach privat")};
constexpr OutlookAddress OtherAddress{
    column(u"Weitere Straße"),       column(u"Weitere Straße 2"),
    column(u"Weiterer Ort"),         column(u"Weiteres/r Bundesland/Kanton"),
    column(u"Weitere Postleitzahl"), column(u"Weiteres/e Land/Region"),
    column(u"Weiteres Postfach")};
constexpr std::array<std::array<int, 3>, 3> EmailColumns{{
    {column(u"E-Mail-Adresse"), column(u"E-Mail-Typ"), column(u"E-Mail: Angezeigter Name")},
    {column(u"E-Mail 2: Adresse"), column(u"E-Mail 2: Typ"), column(u"E-Mail 2: Angezeigter Name")},
    {column(u"E-Mail 3: Adresse"), column(u"E-Mail 3: Typ"), column(u"E-Mail 3: Angezeigter Name")},
}};

// The telephone columns a number may go to, the first free one taken; a number of no column of its own
// goes to "Weiteres Telefon".
QList<int> telephoneColumns(const CardTelephone& number) {
    if (number.fax) {
        return number.work ? QList<int>{column(u"Fax geschäftlich"), column(u"Weiteres Fax")}
                           : QList<int>{column(u"Fax privat"), column(u"Weiteres Fax")};
    }
    if (number.pager) {
        return {column(u"Pager")};
    }
    QList<int> columns;
    if (number.mobile) {
        columns << column(u"Mobiltelefon") << column(u"Mobiltelefon 2");
    } else if (number.car) {
        columns << column(u"Autotelefon");
    } else if (number.isdn) {
        columns << column(u"ISDN");
    } else if (number.work) {
        columns << column(u"Telefon geschäftlich") << column(u"Telefon geschäftlich 2");
    } else if (number.home) {
        columns << column(u"Telefon privat") << column(u"Telefon privat 2");
    }
    return columns << column(u"Weiteres Telefon");
}

bool isNumberColumn(int i) {
    static const std::array<bool, OutlookColumns.size()> numbers = [] {
        std::array<bool, OutlookColumns.size()> is{};
        for (size_t c = 0; c < OutlookColumns.size(); ++c) {
            const std::u16string_view name = OutlookColumns[c];
            is[c] = name.find(u"elefon") != name.npos || name.find(u"Fax") != name.npos ||
                    name.find(u"Postleitzahl") != name.npos || name == u"Pager" || name == u"ISDN" ||
                    name == u"Telex" || name == u"Rückmeldung";
        }
        return is;
    }();
    return numbers[size_t(i)];
}

// Windows-1252: Latin-1 but for 0x80–0x9F, which hold these (0: unused).
constexpr std::array<char16_t, 32> Windows1252High{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// `text` in Windows-1252, a character it lacks as "?" (as Windows writes it); counts those.
void appendWindows1252(QByteArray& out, QStringView text, qint64& missing) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += char(c);
            continue;
        }
        const auto* high = std::find(Windows1252High.begin(), Windows1252High.end(), c);
        if (c != 0 && high != Windows1252High.end()) {
            out += char(0x80 + (high - Windows1252High.begin()));
            continue;
        }
        out += '?';
        ++missing;
        // One character, though two units.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        }
    }
}

class OutlookCsv final : public ContactRecords {
public:
    QByteArray head() override {
        CsvLine line(u',', Quoting::Always);
        for (const QString& heading : outlookCsvHeadings()) {
            line.cell(heading);
        }
        QByteArray bytes;
        appendWindows1252(bytes, line.take(), m_missing);
        return bytes;
    }

    void append(QByteArray& out, const ContactTable& table, qsizetype contact) override {
        const CardFields f = m_reader.fields(table, contact);
        std::array<QString, OutlookColumns.size()> cells;
        cells[column(u"Anrede")] = f.prefix;
        cells[column(u"Vorname")] = f.given;
        cells[column(u"Weitere Vornamen")] = f.additional;
        cells[column(u"Nachname")] = f.family;
        cells[column(u"Suffix")] = f.suffix;
        cells[column(u"Firma")] = f.organization;
        cells[column(u"Abteilung")] = f.department;
        cells[column(u"Position")] = f.title;
        // Outlook keeps no birthday without a year.
        if (f.birthday && f.birthday->year != 0) {
            cells[column(u"Geburtstag")] =
                QStringLiteral("%1.%2.%3").arg(f.birthday->day).arg(f.birthday->month).arg(f.birthday->year);
        }
        cells[column(u"Kategorien")] = f.categories.join(u';');
        cells[column(u"Notizen")] = joinedNotes(f);

        QList<qsizetype> numbers(f.telephones.size());
        std::iota(numbers.begin(), numbers.end(), 0);
        // The favourite takes a kind's first column.
        std::stable_partition(numbers.begin(), numbers.end(),
                              [&f](qsizetype i) { return f.telephones[i].preferred; });
        for (const qsizetype i : numbers) {
            const QList<int> columns = telephoneColumns(f.telephones[i]);
            const auto free = std::find_if(columns.begin(), columns.end(),
                                           [&cells](int c) { return cells[size_t(c)].isEmpty(); });
            if (free == columns.end()) {
                ++m_left;
            } else {
                cells[size_t(*free)] = f.telephones[i].written;
            }
        }
        QList<CardEmail> emails = f.emails;
        std::stable_partition(emails.begin(), emails.end(), [](const CardEmail& e) { return e.preferred; });
        for (qsizetype i = 0; i < emails.size(); ++i) {
            if (i >= qsizetype(EmailColumns.size())) {
                ++m_left;
                continue;
            }
            cells[size_t(EmailColumns[size_t(i)][0])] = emails[i].address;
            cells[size_t(EmailColumns[size_t(i)][1])] = QStringLiteral("SMTP");
        }
        bool business = false;
        bool home = false;
        bool other = false;
        for (const CardAddress& address : f.addresses) {
            bool* place = address.work && !business ? &business
                          : !address.work && !home  ? &home
                          : !other                  ? &other
                                                    : nullptr;
            if (place == nullptr) {
                ++m_left;
                continue;
            }
            *place = true;
            const OutlookAddress& to = place == &business ? BusinessAddress
                                       : place == &home   ? HomeAddress
                                                          : OtherAddress;
            cells[size_t(to.street)] = address.street;
            cells[size_t(to.street2)] = address.extended;
            cells[size_t(to.city)] = address.city;
            cells[size_t(to.region)] = address.region;
            cells[size_t(to.postalCode)] = address.postalCode;
            cells[size_t(to.country)] = address.country;
            cells[size_t(to.poBox)] = address.poBox;
        }
        if (!f.webPages.isEmpty()) {
            cells[column(u"Webseite")] = f.webPages.front().address;
            m_left += f.webPages.size() - 1;
        }

        for (size_t i = 0; i < cells.size(); ++i) {
            m_line.cell(cells[i], isNumberColumn(int(i)) ? Kind::Number : Kind::Text);
        }
        appendWindows1252(out, m_line.take(), m_missing);
    }

    QString notice(const QString& path) const override {
        QStringList notices{unreadCardsNotice(path, m_reader.unread())};
        if (m_left == 1) {
            notices << QStringLiteral("Eine Telefonnummer, E-Mail-, Post- oder Webadresse fand in Outlooks "
                                      "Spalten keinen Platz mehr und fehlt in %1.")
                           .arg(quotedFileName(path));
        } else if (m_left > 1) {
            notices << QStringLiteral("%1 Telefonnummern, E-Mail-, Post- oder Webadressen fanden in Outlooks "
                                      "Spalten keinen Platz mehr und fehlen in %2.")
                           .arg(germanNumber(m_left), quotedFileName(path));
        }
        if (m_missing == 1) {
            notices << QStringLiteral("Ein Zeichen, das es in Outlooks Zeichensatz Windows-1252 nicht gibt, "
                                      "steht in %1 als „?“.")
                           .arg(quotedFileName(path));
        } else if (m_missing > 1) {
            notices << QStringLiteral("%1 Zeichen, die es in Outlooks Zeichensatz Windows-1252 nicht gibt, "
                                      "stehen in %2 als „?“.")
                           .arg(germanNumber(m_missing), quotedFileName(path));
        }
        notices.removeAll(QString());
        return notices.join(u'\n');
    }

private:
    ContactFieldsReader m_reader;
    CsvLine m_line{u',', Quoting::Always};
    qint64 m_left = 0;
    qint64 m_missing = 0;
};

} // namespace

QStringList googleCsvHeadings() {
    QStringList headings;
    for (const QStringView name : GoogleNameColumns) {
        headings << name.toString();
    }
    const auto numbered = [&headings](QStringView kind, int count, QList<QStringView> parts) {
        for (int i = 1; i <= count; ++i) {
            for (const QStringView part : parts) {
                headings << QStringLiteral("%1 %2 - %3").arg(kind).arg(i).arg(part);
            }
        }
    };
    numbered(u"E-mail", GoogleEmailGroups, {u"Label", u"Value"});
    numbered(u"Phone", GooglePhoneGroups, {u"Label", u"Value"});
    numbered(u"Address", GoogleAddressGroups, {GoogleAddressParts.begin(), GoogleAddressParts.end()});
    numbered(u"Website", GoogleWebsiteGroups, {u"Label", u"Value"});
    return headings;
}

QStringList outlookCsvHeadings() {
    QStringList headings;
    for (const std::u16string_view name : OutlookColumns) {
        headings << QString::fromUtf16(name.data(), qsizetype(name.size()));
    }
    return headings;
}

QString unreadCardsNotice(const QString& path, qint64 count) {
    if (count == 0) {
        return {};
    }
    if (count == 1) {
        return QStringLiteral(
                   "Eine Karte ließ sich nicht mehr aus ihrer Datei lesen; von ihr steht in %1 nur, "
                   "was die Liste zeigt.")
            .arg(quotedFileName(path));
    }
    return QStringLiteral("%1 Karten ließen sich nicht mehr aus ihren Dateien lesen; von ihnen steht in %2 "
                          "nur, was die Liste zeigt.")
        .arg(germanNumber(count), quotedFileName(path));
}

std::unique_ptr<ContactRecords> googleCsvRecords() {
    return std::make_unique<GoogleCsv>();
}

std::unique_ptr<ContactRecords> outlookCsvRecords() {
    return std::make_unique<OutlookCsv>();
}

} // namespace tovanel
