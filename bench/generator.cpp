#include "generator.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// splitmix64: tiny, fast, and the same on every platform (unlike the distributions of <random>).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n
    std::uint32_t below(std::uint32_t n) { return std::uint32_t((next() >> 32) * n >> 32); }
    bool percent(std::uint32_t p) { return below(100) < p; }
    template <std::size_t N> std::string_view pick(const std::array<std::string_view, N>& list) {
        return list[below(std::uint32_t(N))];
    }

private:
    std::uint64_t m_state;
};

// Names and places chosen so that sorting meets umlauts at the start, inside and at the end of words,
// "ß", "ue" spellings next to "ü" ones, and ASCII-only names.
constexpr std::array<std::string_view, 64> FirstNames = {
    "Hans",     "Jürgen",     "Jörg",        "Björn",    "Sören",      "Bärbel",  "Käthe",    "Günther",
    "Uwe",      "Anna",       "Lena",        "Lea",      "Maximilian", "Paul",    "Felix",    "Jonas",
    "Lukas",    "Leon",       "Marie",       "Sophie",   "Emma",       "Hannah",  "Mia",      "Ömer",
    "Özlem",    "Ülkü",       "Ägidius",     "Thomas",   "Michael",    "Andreas", "Stefan",   "Peter",
    "Wolfgang", "Klaus",      "Ursula",      "Renate",   "Gisela",     "Monika",  "Brigitte", "Ingrid",
    "Helga",    "Karl-Heinz", "Hans-Jürgen", "Jörn",     "Gerd",       "Dörte",   "Frauke",   "Heiko",
    "Maik",     "Sven",       "Tobias",      "Matthias", "Niklas",     "Jürgen",  "Ralf",     "Rüdiger",
    "Gödeke",   "Hinnerk",    "Märta",       "Zoë",      "René",       "André",   "Chloé",    "Sebastian"};

constexpr std::array<std::string_view, 80> LastNames = {
    "Müller",  "Mueller", "Muller",    "Schäfer",  "Schaefer", "Schmidt",  "Schneider",  "Fischer",
    "Weber",   "Meyer",   "Wagner",    "Becker",   "Schulz",   "Hoffmann", "Koch",       "Bauer",
    "Richter", "Klein",   "Wolf",      "Schröder", "Neumann",  "Schwarz",  "Zimmermann", "Braun",
    "Krüger",  "Hofmann", "Hartmann",  "Lange",    "Schmitt",  "Werner",   "Schmitz",    "Krause",
    "Meier",   "Lehmann", "Schmid",    "Schulze",  "Maier",    "Köhler",   "Herrmann",   "König",
    "Walter",  "Mayer",   "Huber",     "Kaiser",   "Fuchs",    "Peters",   "Lang",       "Scholz",
    "Möller",  "Weiß",    "Weiss",     "Jung",     "Hahn",     "Schubert", "Vogel",      "Friedrich",
    "Keller",  "Günther", "Frank",     "Berger",   "Winkler",  "Roth",     "Beck",       "Lorenz",
    "Baumann", "Franke",  "Albrecht",  "Schuster", "Simon",    "Ludwig",   "Böhm",       "Winter",
    "Öztürk",  "Özdemir", "Ückermann", "Ährens",   "Größ",     "Gross",    "von Bülow",  "de Maizière"};

constexpr std::array<std::string_view, 24> Streets = {
    "Hauptstraße",   "Bahnhofstraße", "Schloßallee", "Königsweg",   "Gartenstraße",  "Dorfstraße",
    "Schulstraße",   "Lindenstraße",  "Kirchgasse",  "Am Mühlbach", "Mühlenweg",     "Goethestraße",
    "Schillerplatz", "Friedrichstr.", "Bergstraße",  "Waldweg",     "Rosenstraße",   "Ringstraße",
    "Brückenstraße", "Marktplatz",    "Jägerstraße", "Fährstraße",  "Übersee-Allee", "Ölmühle"};

struct Place {
    std::string_view town;
    std::string_view zip;
    std::string_view area;
};
constexpr std::array<Place, 20> Places = {{{"München", "80331", "89"},
                                           {"Köln", "50667", "221"},
                                           {"Düsseldorf", "40213", "211"},
                                           {"Nürnberg", "90402", "911"},
                                           {"Würzburg", "97070", "931"},
                                           {"Lübeck", "23552", "451"},
                                           {"Göttingen", "37073", "551"},
                                           {"Saarbrücken", "66111", "681"},
                                           {"Berlin", "10115", "30"},
                                           {"Hamburg", "20095", "40"},
                                           {"Frankfurt am Main", "60311", "69"},
                                           {"Stuttgart", "70173", "711"},
                                           {"Bremen", "28195", "421"},
                                           {"Dresden", "01067", "351"},
                                           {"Leipzig", "04109", "341"},
                                           {"Tübingen", "72070", "7071"},
                                           {"Osnabrück", "49074", "541"},
                                           {"Fürth", "90762", "911"},
                                           {"Gießen", "35390", "641"},
                                           {"Zürich", "8001", "44"}}};

constexpr std::array<std::string_view, 16> Companies = {
    "Müller & Söhne GmbH",  "Bäckerei Schäfer", "Stadtwerke München",        "Öko-Markt e.V.",
    "Brückner AG",          "Gärtnerei Grün",   "Zahnarztpraxis Dr. Köhler", "Weiß IT-Service",
    "Deutsche Bahn",        "Sparkasse Köln",   "Hausverwaltung Groß",       "Autohaus König",
    "Universität Tübingen", "Fa. Jäger & Co.",  "Straßenbau Nord",           "Übersetzungsbüro Lang"};

constexpr std::array<std::string_view, 12> NoteWords = {
    "Rückruf", "wegen", "Angebot", "für",     "die",           "Gartenmöbel,",
    "bitte",   "Grüße", "an",      "Familie", "nächste Woche", "Geburtstag"};

constexpr std::array<std::string_view, 8> Domains = {
    "example.de", "beispiel.de", "web.de", "gmx.net", "t-online.de", "posteo.de", "mail.de", "firma.example"};

constexpr std::string_view Crlf = "\r\n";

std::string asciiFolded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0xC3 && i + 1 < s.size()) {
            const auto d = static_cast<unsigned char>(s[++i]);
            switch (d) {
            case 0xA4:
            case 0x84:
                out += "ae";
                break;
            case 0xB6:
            case 0x96:
                out += "oe";
                break;
            case 0xBC:
            case 0x9C:
                out += "ue";
                break;
            case 0x9F:
                out += "ss";
                break;
            default:
                out += 'e';
                break;
            }
        } else if (c == ' ' || c == '\'') {
            out += '.';
        } else if (c < 0x80) {
            out += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
    return out;
}

// UTF-8 of Latin-1 characters to Windows-1252 bytes; other characters become "?".
std::string toWindows1252(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += char(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < s.size()) {
            out += char(((c & 0x03) << 6) | (static_cast<unsigned char>(s[++i]) & 0x3F));
        } else {
            out += '?';
            while (i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) {
                ++i;
            }
        }
    }
    return out;
}

bool hasNonAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

constexpr char Hex[] = "0123456789ABCDEF";

// Android's way: every byte of each component as =XX (the ";" between components stays), soft line
// breaks so that no line passes 76 characters.
void appendQuotedPrintableAll(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    std::size_t column = key.size();
    for (char ch : value) {
        if (column + 3 > 75) {
            out += "=\r\n";
            column = 0;
        }
        if (ch == ';') {
            out += ';';
            ++column;
            continue;
        }
        const auto c = static_cast<unsigned char>(ch);
        out += '=';
        out += Hex[c >> 4];
        out += Hex[c & 15];
        column += 3;
    }
    out += Crlf;
}

// Outlook's way: only what needs it is escaped; line breaks inside the value become =0D=0A.
void appendQuotedPrintableSome(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    std::size_t column = key.size();
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        const bool escape = c >= 0x80 || c == '=' || c == '\n' || c == '\r';
        const std::size_t width = escape ? 3 : 1;
        if (column + width > 75) {
            out += "=\r\n";
            column = 0;
        }
        if (c == '\n') {
            out += "=0D=0A";
            column += 6;
            continue;
        }
        if (escape) {
            out += '=';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else {
            out += char(c);
        }
        column += width;
    }
    out += Crlf;
}

// A 3.0 content line folded at 75 octets, never inside a UTF-8 sequence.
void appendFolded(std::string& out, std::string_view key, std::string_view value,
                  std::string_view indent = " ") {
    std::string line(key);
    line += value;
    std::size_t start = 0;
    std::size_t limit = 75;
    while (line.size() - start > limit) {
        std::size_t cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out.append(line, start, cut - start);
        out += Crlf;
        out += indent;
        start = cut;
        limit = 75 - indent.size();
    }
    out.append(line, start);
    out += Crlf;
}

std::string escapedText(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == ',' || c == ';' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string base64Photo(Random& random) {
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t bytes = 2000 + random.below(4400);
    std::string out;
    out.reserve(bytes / 3 * 4 + 4);
    // A JPEG start so that the value looks like what phones write; the rest is noise.
    out += "/9j/4AAQSkZJRgABAQAAAQABAAD";
    while (out.size() < bytes / 3 * 4) {
        std::uint64_t r = random.next();
        for (int k = 0; k < 10; ++k, r >>= 6) {
            out += Alphabet[r & 63];
        }
    }
    out.resize(bytes / 3 * 4);
    return out;
}

struct Person {
    std::string first;
    std::string last;
    std::string full;
    std::string company;
    std::string mobile;
    std::string home;
    std::string work;
    std::string email;
    std::string street;
    Place place;
    std::string workStreet;
    Place workPlace;
    std::string note;
    bool hasName = true;
    bool mobilePref = false;
    bool photo = false;
};

std::string phone(Random& random, std::string_view area, bool mobile) {
    std::string number;
    const std::uint32_t form = random.below(10);
    const std::string prefix =
        mobile ? std::string("1") + char('5' + random.below(3)) + char('0' + random.below(10))
               : std::string(area);
    if (form < 5) {
        number = "+49 " + prefix + " ";
    } else if (form < 7) {
        number = "0" + prefix + " ";
    } else if (form < 8) {
        number = "+49 (0)" + prefix + " ";
    } else if (form < 9) {
        number = "+49-" + prefix + "-";
    } else {
        number = "+43 " + prefix + " ";
    }
    const std::uint32_t digits = 5 + random.below(4);
    for (std::uint32_t i = 0; i < digits; ++i) {
        number += char('0' + random.below(10));
    }
    return number;
}

Person makePerson(Random& random) {
    Person p;
    p.first = random.pick(FirstNames);
    p.last = random.pick(LastNames);
    if (random.percent(3)) {
        p.first.insert(0, "Dr. ");
    }
    p.full = random.percent(8) ? p.last + ", " + p.first : p.first + " " + p.last;
    if (random.percent(2)) {
        // Some phones keep names typed in lower case.
        for (char& c : p.full) {
            if (c >= 'A' && c <= 'Z') {
                c = char(c - 'A' + 'a');
            }
        }
    }
    p.hasName = !random.percent(1);
    p.place = Places[random.below(Places.size())];
    p.workPlace = Places[random.below(Places.size())];
    if (random.percent(45)) {
        p.company = random.pick(Companies);
    }
    p.mobile = phone(random, p.place.area, true);
    p.mobilePref = random.percent(30);
    if (random.percent(60)) {
        p.home = phone(random, p.place.area, false);
    }
    if (!p.company.empty() || random.percent(20)) {
        p.work = phone(random, p.workPlace.area, false);
    }
    if (random.percent(85)) {
        p.email = asciiFolded(p.first) + "." + asciiFolded(p.last) + "@" + std::string(random.pick(Domains));
    }
    if (random.percent(75)) {
        p.street = std::string(random.pick(Streets)) + " " + std::to_string(1 + random.below(120));
    }
    if (!p.company.empty() && random.percent(60)) {
        p.workStreet = std::string(random.pick(Streets)) + " " + std::to_string(1 + random.below(40));
    }
    if (random.percent(45)) {
        const std::uint32_t words = 4 + random.below(20);
        for (std::uint32_t i = 0; i < words; ++i) {
            if (i > 0) {
                p.note += random.percent(8) ? "\n" : " ";
            }
            p.note += random.pick(NoteWords);
        }
    }
    p.photo = random.percent(5);
    return p;
}

std::string adrValue(const std::string& street, const Place& place) {
    return ";;" + street + ";" + std::string(place.town) + ";;" + std::string(place.zip) + ";Deutschland";
}

// Android 2.1: values with non-ASCII text entirely quoted-printable.
void android21(std::string& out, const Person& p, Random& random) {
    out += "BEGIN:VCARD\r\nVERSION:2.1\r\n";
    const auto text = [&](std::string_view name, const std::string& value) {
        if (hasNonAscii(value)) {
            appendQuotedPrintableAll(out,
                                     std::string(name) + ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:", value);
        } else {
            out += name;
            out += ':';
            out += value;
            out += Crlf;
        }
    };
    text("N", p.last + ";" + p.first + ";;;");
    if (p.hasName) {
        text("FN", p.full);
    }
    if (!p.company.empty()) {
        text("ORG", p.company);
    }
    out += p.mobilePref ? "TEL;CELL;PREF:" : "TEL;CELL:";
    out += p.mobile + "\r\n";
    if (!p.home.empty()) {
        out += "TEL;HOME:" + p.home + "\r\n";
    }
    if (!p.work.empty()) {
        out += "TEL;WORK:" + p.work + "\r\n";
    }
    if (!p.email.empty()) {
        out += "EMAIL;HOME:" + p.email + "\r\n";
    }
    if (!p.street.empty()) {
        text("ADR;HOME", adrValue(p.street, p.place));
    }
    if (!p.workStreet.empty()) {
        text("ADR;WORK", adrValue(p.workStreet, p.workPlace));
    }
    if (!p.note.empty()) {
        std::string note = p.note;
        for (char& c : note) {
            if (c == '\n') {
                c = ' ';
            }
        }
        text("NOTE", note);
    }
    if (p.photo) {
        const std::string b64 = base64Photo(random);
        out += "PHOTO;ENCODING=BASE64;JPEG:";
        for (std::size_t i = 0; i < b64.size(); i += 76) {
            if (i > 0) {
                out += ' ';
            }
            out.append(b64, i, 76);
            out += Crlf;
        }
        out += Crlf;
    }
    out += "END:VCARD\r\n";
}

// A generic 3.0 writer: raw UTF-8, escaped text, folded lines.
void generic30(std::string& out, const Person& p, Random& random) {
    out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    appendFolded(out, "N:", escapedText(p.last) + ";" + escapedText(p.first) + ";;;");
    if (p.hasName) {
        appendFolded(out, "FN:", escapedText(p.full));
    }
    if (!p.company.empty()) {
        appendFolded(out, "ORG:", escapedText(p.company));
    }
    out += p.mobilePref ? "TEL;TYPE=CELL,PREF:" : "TEL;TYPE=CELL:";
    out += p.mobile + "\r\n";
    if (!p.home.empty()) {
        out += "TEL;TYPE=HOME,VOICE:" + p.home + "\r\n";
    }
    if (!p.work.empty()) {
        out += "TEL;TYPE=WORK:" + p.work + "\r\n";
    }
    if (!p.email.empty()) {
        out += "EMAIL;TYPE=INTERNET:" + p.email + "\r\n";
    }
    if (!p.street.empty()) {
        appendFolded(out, "ADR;TYPE=HOME:", adrValue(p.street, p.place));
    }
    if (!p.workStreet.empty()) {
        appendFolded(out, "ADR;TYPE=WORK:", adrValue(p.workStreet, p.workPlace));
    }
    if (!p.note.empty()) {
        appendFolded(out, "NOTE:", escapedText(p.note));
    }
    if (p.photo) {
        appendFolded(out, "PHOTO;ENCODING=b;TYPE=JPEG:", base64Photo(random));
    }
    out += "UID:" + std::to_string(random.next()) + "\r\nEND:VCARD\r\n";
}

// Apple Contacts: item groups, type=pref, labels and an ABUID.
void apple(std::string& out, const Person& p, Random& random) {
    out += "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.4//EN\r\n";
    appendFolded(out, "N:", escapedText(p.last) + ";" + escapedText(p.first) + ";;;");
    if (p.hasName) {
        appendFolded(out, "FN:", escapedText(p.full));
    }
    if (!p.company.empty()) {
        appendFolded(out, "ORG:", escapedText(p.company) + ";");
    }
    int item = 1;
    if (!p.email.empty()) {
        out += "item" + std::to_string(item) + ".EMAIL;type=INTERNET;type=pref:" + p.email + "\r\n";
        out += "item" + std::to_string(item) + ".X-ABLabel:_$!<Other>!$_\r\n";
        ++item;
    }
    out += p.mobilePref ? "TEL;type=CELL;type=VOICE;type=pref:" : "TEL;type=CELL;type=VOICE:";
    out += p.mobile + "\r\n";
    if (!p.home.empty()) {
        out += "TEL;type=HOME;type=VOICE:" + p.home + "\r\n";
    }
    if (!p.work.empty()) {
        out += "TEL;type=WORK;type=VOICE:" + p.work + "\r\n";
    }
    if (!p.street.empty()) {
        const std::string group = "item" + std::to_string(item++);
        appendFolded(out, group + ".ADR;type=HOME;type=pref:", adrValue(p.street, p.place));
        out += group + ".X-ABADR:de\r\n";
    }
    if (!p.workStreet.empty()) {
        const std::string group = "item" + std::to_string(item++);
        appendFolded(out, group + ".ADR;type=WORK:", adrValue(p.workStreet, p.workPlace));
        out += group + ".X-ABADR:de\r\n";
    }
    if (!p.note.empty()) {
        appendFolded(out, "NOTE:", escapedText(p.note));
    }
    if (p.photo) {
        appendFolded(out, "PHOTO;ENCODING=b;TYPE=JPEG:", base64Photo(random), "  ");
    }
    out += "X-ABUID:" + std::to_string(random.next()) + ":ABPerson\r\nEND:VCARD\r\n";
}

// Google Contacts export.
void google(std::string& out, const Person& p, Random& random) {
    out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    if (p.hasName) {
        appendFolded(out, "FN:", escapedText(p.full));
    }
    appendFolded(out, "N:", escapedText(p.last) + ";" + escapedText(p.first) + ";;;");
    if (!p.email.empty()) {
        out += "EMAIL;TYPE=INTERNET;TYPE=HOME:" + p.email + "\r\n";
    }
    out += "TEL;TYPE=CELL:" + p.mobile + "\r\n";
    if (!p.home.empty()) {
        out += "TEL;TYPE=HOME:" + p.home + "\r\n";
    }
    if (!p.work.empty()) {
        out += "TEL;TYPE=WORK:" + p.work + "\r\n";
    }
    if (!p.street.empty()) {
        appendFolded(out, "ADR;TYPE=HOME:", adrValue(p.street, p.place));
    }
    if (!p.company.empty()) {
        appendFolded(out, "ORG:", escapedText(p.company));
        out += "TITLE:Sachbearbeiter\r\n";
    }
    if (!p.note.empty()) {
        appendFolded(out, "NOTE:", escapedText(p.note));
    }
    if (p.photo) {
        appendFolded(out,
                     "PHOTO:", "https://lh3.googleusercontent.com/contacts/" + std::to_string(random.next()));
    }
    out += "CATEGORIES:myContacts\r\nEND:VCARD\r\n";
}

// Outlook 2.1: Windows-1252 text, quoted-printable only where a value has line breaks.
void outlook(std::string& out, const Person& p, Random& random) {
    out += "BEGIN:VCARD\r\nVERSION:2.1\r\n";
    out += "N;LANGUAGE=de;CHARSET=Windows-1252:" + toWindows1252(p.last + ";" + p.first) + "\r\n";
    if (p.hasName) {
        out += "FN;CHARSET=Windows-1252:" + toWindows1252(p.full) + "\r\n";
    }
    if (!p.company.empty()) {
        out += "ORG;CHARSET=Windows-1252:" + toWindows1252(p.company) + "\r\n";
    }
    if (!p.work.empty()) {
        out += "TEL;WORK;VOICE:" + p.work + "\r\n";
    }
    if (!p.home.empty()) {
        out += "TEL;HOME;VOICE:" + p.home + "\r\n";
    }
    out += p.mobilePref ? "TEL;CELL;PREF;VOICE:" : "TEL;CELL;VOICE:";
    out += p.mobile + "\r\n";
    if (!p.workStreet.empty()) {
        out += "ADR;WORK;PREF;CHARSET=Windows-1252:" + toWindows1252(adrValue(p.workStreet, p.workPlace)) +
               "\r\n";
        appendQuotedPrintableSome(out, "LABEL;WORK;PREF;CHARSET=Windows-1252;ENCODING=QUOTED-PRINTABLE:",
                                  toWindows1252(p.workStreet + "\n" + std::string(p.workPlace.zip) + " " +
                                                std::string(p.workPlace.town)));
    }
    if (!p.street.empty()) {
        out += "ADR;HOME;CHARSET=Windows-1252:" + toWindows1252(adrValue(p.street, p.place)) + "\r\n";
    }
    if (!p.email.empty()) {
        out += "EMAIL;PREF;INTERNET:" + p.email + "\r\n";
    }
    if (!p.note.empty()) {
        appendQuotedPrintableSome(
            out, "NOTE;CHARSET=Windows-1252;ENCODING=QUOTED-PRINTABLE:", toWindows1252(p.note));
    }
    if (p.photo) {
        const std::string b64 = base64Photo(random);
        out += "PHOTO;TYPE=JPEG;ENCODING=BASE64:\r\n";
        for (std::size_t i = 0; i < b64.size(); i += 72) {
            out += "  ";
            out.append(b64, i, 72);
            out += Crlf;
        }
        out += Crlf;
    }
    out += "X-MS-OL-DEFAULT-POSTAL-ADDRESS:0\r\nREV:20240311T101500Z\r\nEND:VCARD\r\n";
}

} // namespace

void generateCards(std::FILE* out, std::int64_t count, std::uint64_t seed) {
    Random random(seed);
    std::string buffer;
    buffer.reserve(1 << 20);
    for (std::int64_t i = 0; i < count; ++i) {
        const Person person = makePerson(random);
        const std::uint32_t dialect = random.below(100);
        if (dialect < 25) {
            android21(buffer, person, random);
        } else if (dialect < 45) {
            generic30(buffer, person, random);
        } else if (dialect < 65) {
            apple(buffer, person, random);
        } else if (dialect < 85) {
            google(buffer, person, random);
        } else {
            outlook(buffer, person, random);
        }
        if (buffer.size() >= (1 << 20) - 16384) {
            std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    std::fflush(out);
}

namespace {

void repeat(std::FILE* out, std::string_view unit, std::int64_t count) {
    // Whole buffers at a time: ten million single writes would measure stdio, not the file.
    std::string buffer;
    const std::int64_t perBuffer = std::max<std::int64_t>(1, (1 << 20) / std::int64_t(unit.size()));
    for (std::int64_t i = 0; i < std::min(count, perBuffer); ++i) {
        buffer += unit;
    }
    for (std::int64_t left = count; left > 0; left -= perBuffer) {
        const std::int64_t n = std::min(left, perBuffer);
        std::fwrite(buffer.data(), 1, size_t(n) * unit.size(), out);
    }
}

// UIDs of eight UTF-16 units that all share one 64-bit hash under the duplicate finder's hash as it was
// without a per-run key (a start of 0): the second word is solved for from the first, as each step of
// that hash can be undone. With the key they are ordinary, different UIDs. `collide` false gives the same
// kind of UIDs without the collision, to compare with.
void uidCards(std::FILE* out, std::int64_t count, bool collide) {
    constexpr std::uint64_t Multiplier = 0xFF51AFD7ED558CCDull;
    std::uint64_t inverse = Multiplier; // Newton's iteration for the inverse modulo 2^64
    for (int i = 0; i < 5; ++i) {
        inverse *= 2 - Multiplier * inverse;
    }
    constexpr int UidKind = 2;
    const std::uint64_t start = (0x9E3779B97F4A7C15ull * std::uint64_t(UidKind + 1)) ^ std::uint64_t(16);
    const auto step = [](std::uint64_t h, std::uint64_t word) {
        h = (h ^ word) * Multiplier;
        return h ^ (h >> 32);
    };
    // Units that survive reading and trimming as they are: no surrogates, controls, spaces or specials.
    const auto usable = [](std::uint64_t word) {
        for (int i = 0; i < 4; ++i) {
            const auto unit = std::uint16_t(word >> (16 * i));
            if (unit < 0x3400 || (unit >= 0xD800 && unit < 0xE000) || unit >= 0xF900) {
                return false;
            }
        }
        return true;
    };
    const std::uint64_t target = 0x0123456789ABCDEFull;
    const std::uint64_t beforeLast = (target ^ (target >> 32)) * inverse;
    std::uint64_t state = 88172645463325252ull;
    std::string buffer;
    for (std::int64_t written = 0; written < count;) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const std::uint64_t first = 0x4E004E004E004E00ull | (state & 0x03FF03FF03FF03FFull);
        const std::uint64_t second = collide ? beforeLast ^ step(start, first)
                                             : 0x4E004E004E004E00ull | ((state >> 6) & 0x03FF03FF03FF03FFull);
        if (!usable(first) || !usable(second)) {
            continue;
        }
        std::u16string uid(8, u' ');
        for (int i = 0; i < 4; ++i) {
            uid[size_t(i)] = char16_t(first >> (16 * i));
            uid[size_t(4 + i)] = char16_t(second >> (16 * i));
        }
        buffer += "BEGIN:VCARD\nVERSION:3.0\nFN:Gleich " + std::to_string(written) + "\nUID:";
        for (const char16_t unit : uid) { // all in the three-byte range of UTF-8
            buffer += char(0xE0 | (unit >> 12));
            buffer += char(0x80 | ((unit >> 6) & 0x3F));
            buffer += char(0x80 | (unit & 0x3F));
        }
        buffer += "\nEND:VCARD\n";
        ++written;
        if (buffer.size() > (1 << 20)) {
            std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), out);
}

} // namespace

bool generatePathological(std::FILE* out, const char* kind, std::int64_t count) {
    if (std::strcmp(kind, "begin-flood") == 0) {
        repeat(out, "BEGIN\n", count);
    } else if (std::strcmp(kind, "empty-cards") == 0) {
        repeat(out, "BEGIN:VCARD\nEND:VCARD\n", count);
    } else if (std::strcmp(kind, "huge-line") == 0) {
        std::fputs("BEGIN:VCARD\nVERSION:3.0\nFN:Lang\nNOTE:", out);
        repeat(out, "x", count);
    } else if (std::strcmp(kind, "tiny-properties") == 0) {
        std::fputs("BEGIN:VCARD\nVERSION:3.0\nFN:Klein\n", out);
        repeat(out, "TEL:1\n", count);
        std::fputs("END:VCARD\n", out);
    } else if (std::strcmp(kind, "uid-collisions") == 0 || std::strcmp(kind, "uid-ordinary") == 0) {
        uidCards(out, count, std::strcmp(kind, "uid-collisions") == 0);
    } else {
        return false;
    }
    return true;
}
