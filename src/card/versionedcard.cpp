#include "card/versionedcard.h"

#include "card/cardfields.h"
#include "card/cardphoto.h"
#include "platform/germantext.h"
#include "vcard/cardlines.h"
#include "vcard/cardrules.h"
#include "vcard/cardsource.h"
#include "vcard/vcardwriter.h"

#include <QDate>
#include <QHash>
#include <QMimeDatabase>
#include <QUuid>
#include <algorithm>
#include <array>

namespace tovanel {

namespace {

using VcardWriter::escapedText;

// Names of properties, groups, parameters and types are written only when a reader can take them as such.
bool isPlainName(QByteArrayView name) {
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

// Readers take a line for quoted-printable wherever its key says "QUOTED-PRINTABLE", in a parameter's name,
// value or type alike: only the writer's own declaration may say it.
bool mentionsQuotedPrintable(QByteArrayView text) {
    return text.size() >= 16 && text.contains('-') &&
           text.toByteArray().toUpper().contains("QUOTED-PRINTABLE");
}

// vCard 2.1 names a value's encoding as bare as a type ("TEL;HOME;BASE64"); a type of such a name reads back
// as an encoding, so none is written.
bool isEncodingName(QByteArrayView name) {
    for (const char* encoding : {"BASE64", "B", "7BIT", "8BIT"}) {
        if (name.compare(encoding, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// How a property's value is cut and escaped.
enum class Kind {
    Text,       // one text: every separator escaped
    Components, // ";"-separated parts, each a ","-separated list: the separators stay separators
    List,       // a ","-separated list
    Verbatim,   // an address, a date, a number: no escapes, which a reader of addresses would keep
    Binary,     // a picture, sound or key, embedded or given by its address
};

Kind kindOf(QByteArrayView name) {
    static const QHash<QByteArrayView, Kind> kinds{
        {"N", Kind::Components},
        {"ADR", Kind::Components},
        {"ORG", Kind::Components},
        {"GENDER", Kind::Components},
        {"CLIENTPIDMAP", Kind::Components},
        {"CATEGORIES", Kind::List},
        {"NICKNAME", Kind::List},
        {"TEL", Kind::Verbatim},
        {"URL", Kind::Verbatim},
        {"SOURCE", Kind::Verbatim},
        {"FBURL", Kind::Verbatim},
        {"CALURI", Kind::Verbatim},
        {"CALADRURI", Kind::Verbatim},
        {"CAPURI", Kind::Verbatim},
        {"IMPP", Kind::Verbatim},
        {"MEMBER", Kind::Verbatim},
        {"RELATED", Kind::Verbatim},
        {"UID", Kind::Verbatim},
        {"BDAY", Kind::Verbatim},
        {"ANNIVERSARY", Kind::Verbatim},
        {"DEATHDATE", Kind::Verbatim},
        {"REV", Kind::Verbatim},
        {"GEO", Kind::Verbatim},
        {"TZ", Kind::Verbatim},
        {"X-ANNIVERSARY", Kind::Verbatim},
        {"X-SOCIALPROFILE", Kind::Verbatim},
        {"X-ADDRESSBOOKSERVER-MEMBER", Kind::Verbatim},
        {"PHOTO", Kind::Binary},
        {"LOGO", Kind::Binary},
        {"SOUND", Kind::Binary},
        {"KEY", Kind::Binary},
        {"FN", Kind::Text},
        {"NOTE", Kind::Text},
        {"TITLE", Kind::Text},
        {"ROLE", Kind::Text},
        {"LABEL", Kind::Text},
        {"EMAIL", Kind::Text},
        {"MAILER", Kind::Text},
        {"PRODID", Kind::Text},
        {"SORT-STRING", Kind::Text},
        {"KIND", Kind::Text},
        {"LANG", Kind::Text},
        {"NAME", Kind::Text},
        {"CLASS", Kind::Text},
        {"X-ABLABEL", Kind::Text},
        {"X-ADDRESSBOOKSERVER-KIND", Kind::Text},
    };
    if (const auto known = kinds.constFind(name); known != kinds.constEnd()) {
        return *known;
    }
    // A property written under an extension's name ("X-LANG" for LANG) is read back as the one it stands for.
    if (name.startsWith("X-")) {
        if (const auto known = kinds.constFind(name.sliced(2)); known != kinds.constEnd()) {
            return *known;
        }
    }
    // Other programs' own properties keep whatever structure they give their values.
    return Kind::Components;
}

// The name a property is written under in `version`: vCard 3.0 and 2.1 have no ANNIVERSARY, GENDER,
// KIND … (RFC 6350 6.x), and their readers know them by the names Apple and others gave them as
// extensions; vCard 4.0 dropped LABEL, AGENT, MAILER, CLASS … (RFC 6350 Appendix A.2). Empty: unchanged.
QByteArrayView renamed(QByteArrayView name, VcardVersion version) {
    static const QHash<QByteArrayView, QByteArrayView> fromFour{
        {"ANNIVERSARY", "X-ANNIVERSARY"},
        {"GENDER", "X-GENDER"},
        {"KIND", "X-ADDRESSBOOKSERVER-KIND"},
        {"MEMBER", "X-ADDRESSBOOKSERVER-MEMBER"},
        {"LANG", "X-LANG"},
        {"CLIENTPIDMAP", "X-CLIENTPIDMAP"},
        {"XML", "X-XML"},
        {"BIRTHPLACE", "X-BIRTHPLACE"},
        {"DEATHPLACE", "X-DEATHPLACE"},
        {"DEATHDATE", "X-DEATHDATE"},
        {"EXPERTISE", "X-EXPERTISE"},
        {"HOBBY", "X-HOBBY"},
        {"INTEREST", "X-INTEREST"},
        {"ORG-DIRECTORY", "X-ORG-DIRECTORY"},
    };
    static const QHash<QByteArrayView, QByteArrayView> toFour{
        {"LABEL", "X-LABEL"},     {"AGENT", "X-AGENT"}, {"NAME", "X-NAME"},
        {"MAILER", "X-MAILER"},   {"CLASS", "X-CLASS"}, {"SORT-STRING", "X-SORT-STRING"},
        {"PROFILE", "X-PROFILE"},
    };
    return (version == VcardVersion::V40 ? toFour : fromFour).value(name);
}

// A parameter value as a reader takes it: UTF-8 without control characters, in double quotes where it holds
// a separator (vCard 2.1 has no quotes, so such a value is left out there).
std::optional<QByteArray> parameterValue(QByteArrayView raw, VcardVersion version) {
    QByteArray value = raw.trimmed().toByteArray();
    value.replace('"', "");
    if (!QUtf8StringView(value).isValidUtf8() || std::any_of(value.begin(), value.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20;
        })) {
        return std::nullopt;
    }
    if (value.contains(';') || value.contains(':') || value.contains(',')) {
        if (version == VcardVersion::V21) {
            return std::nullopt;
        }
        return '"' + value + '"';
    }
    return value;
}

struct Parameters {
    QList<QByteArray> types;
    QList<QByteArray> others; // "NAME=value", as they are written
    QByteArray valueType;     // VALUE=, lower case
    bool pref = false;
};

Parameters parametersOf(const CardLine& line, VcardVersion version) {
    Parameters read;
    if (!line.key.contains(';')) {
        return read; // most lines have none
    }
    // Types keep the case they are written in: readers ignore it, and the detail window shows it.
    const auto addType = [&read](QByteArrayView type) {
        const QByteArray written = type.trimmed().toByteArray();
        if (written.compare("PREF", Qt::CaseInsensitive) == 0) {
            read.pref = true;
        } else if (isPlainName(written) && !mentionsQuotedPrintable(written) && !isEncodingName(written) &&
                   std::none_of(read.types.begin(), read.types.end(), [&](const QByteArray& t) {
                       return t.compare(written, Qt::CaseInsensitive) == 0;
                   })) {
            read.types.append(written);
        }
    };
    const QList<QByteArrayView> parts = PropertyLexer::splitComponents(line.key, ';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArrayView part = parts[i].trimmed();
        const qsizetype equals = part.indexOf('=');
        const QByteArray name =
            part.first(equals < 0 ? part.size() : equals).trimmed().toByteArray().toUpper();
        if (name == "ENCODING" || name == "CHARSET" || mentionsQuotedPrintable(part) || name == "BASE64" ||
            name == "B" || name == "8BIT" || name == "7BIT") {
            continue; // the value is written decoded, in UTF-8
        }
        if (equals < 0 || name == "TYPE") {
            for (const QByteArrayView type : PropertyLexer::Parameters::typesOf(part)) {
                addType(type);
            }
        } else if (name == "PREF") {
            read.pref = true;
        } else if (name == "VALUE") {
            read.valueType = part.sliced(equals + 1).trimmed().toByteArray().toLower();
        } else if (version == VcardVersion::V21 && name != "LANGUAGE" && !name.startsWith("X-")) {
            continue; // vCard 2.1 knows no other parameters (LABEL, ALTID, PID, SORT-AS came later)
        } else if (isPlainName(name)) {
            if (const auto value = parameterValue(part.sliced(equals + 1), version)) {
                read.others.append(name + '=' + *value);
            }
        }
    }
    return read;
}

// The types as `version` writes them: vCard 2.1 bare ("TEL;HOME;CELL"), 3.0 in one TYPE list with PREF
// among them, 4.0 with PREF=1 of its own (RFC 6350 5.3) and without 3.0's INTERNET.
QByteArray typeParameters(const Parameters& read, VcardVersion version) {
    QByteArray out;
    QList<QByteArray> types = read.types;
    if (version == VcardVersion::V21) {
        // Old phones compare types in the capitals vCard 2.1 spells them in.
        for (QByteArray& type : types) {
            type = type.toUpper();
        }
    }
    if (version == VcardVersion::V40) {
        types.removeIf(
            [](const QByteArray& type) { return type.compare("INTERNET", Qt::CaseInsensitive) == 0; });
        if (!types.isEmpty()) {
            out += ";TYPE=" + types.join(',');
        }
        if (read.pref) {
            out += ";PREF=1";
        }
        return out;
    }
    if (read.pref) {
        types.append("PREF");
    }
    if (types.isEmpty()) {
        return out;
    }
    return version == VcardVersion::V21 ? ';' + types.join(';') : ";TYPE=" + types.join(',');
}

// A value of ";"-separated parts, each a ","-separated list, decoded piece by piece as the import cuts it
// and escaped again; `count` parts at least (N has five, ADR seven), more where the card writes them.
// N's and ADR's parts are lists (RFC 6350 6.2.2, 6.3.1), ORG's and GENDER's single texts whose commas are
// escaped; another program's property keeps its commas as separators, which they may be.
bool hasSingleTextParts(QByteArrayView name) {
    return name == "ORG" || name == "GENDER" || name == "CLIENTPIDMAP";
}

QByteArray componentsValue(CardLines& card, const CardLine& line, qsizetype count) {
    const bool lists = !hasSingleTextParts(line.name);
    const QList<QByteArrayView> parts = PropertyLexer::splitComponents(line.value, ';');
    QList<QByteArray> written;
    for (qsizetype i = 0; i < std::max(count, parts.size()); ++i) {
        QList<QByteArray> pieces;
        if (i < parts.size() && !lists) {
            pieces.append(escapedText(card.text(line, parts[i])));
        } else if (i < parts.size()) {
            for (const QByteArrayView piece : PropertyLexer::splitComponents(parts[i], ',')) {
                pieces.append(escapedText(card.text(line, piece)));
            }
        }
        written.append(pieces.join(','));
    }
    return written.join(';');
}

QByteArray listValue(CardLines& card, const CardLine& line) {
    QList<QByteArray> pieces;
    for (const QByteArrayView piece : PropertyLexer::splitComponents(line.value, ',')) {
        pieces.append(escapedText(card.text(line, piece)));
    }
    return pieces.join(',');
}

// Text as vCard 2.1 writes it: only ";" and the backslash escaped (RFC 2426's "\," and "\n" came later),
// a line break as itself, which the quoted-printable encoding carries.
QByteArray text21(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u';') {
            out += u'\\';
            out += c;
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue;
        } else if (c == u'\n' || c == u'\r') {
            out += QStringLiteral("\r\n");
        } else if (VcardWriter::isWrittenCharacter(c)) {
            out += c;
        }
    }
    return out.toUtf8();
}

// An address or date without the line breaks and control characters that would end or break its line. A
// backslash, which none of them holds by right, is doubled: readers take "\:" and "\," for escapes.
QByteArray verbatim(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\') {
            out += u'\\';
        }
        if (c != u'\t' && VcardWriter::isWrittenCharacter(c)) {
            out += c;
        }
    }
    return out.trimmed().toUtf8();
}

// GEO is "lat;lon" in vCard 3.0 and 2.1 and a "geo:lat,lon" address in 4.0; some write "lat,lon" in 2.1.
QByteArray geoValue(QByteArray value, VcardVersion version) {
    if (version == VcardVersion::V40) {
        if (!value.startsWith("geo:") && value.count(';') + value.count(',') == 1) {
            value.replace(';', ',');
            value.prepend("geo:");
        }
        return value;
    }
    // Every scheme goes ("geo:geo:"), not one per writing; then the address's parameters.
    if (value.startsWith("geo:")) {
        while (value.startsWith("geo:")) {
            value.remove(0, 4);
        }
        value.truncate(value.indexOf(';') < 0 ? value.size() : value.indexOf(';'));
    }
    if (!value.contains(';') && value.count(',') == 1) {
        value.replace(',', ';');
    }
    return value;
}

bool isDateProperty(QByteArrayView name) {
    return name == "BDAY" || name == "ANNIVERSARY" || name == "X-ANNIVERSARY" || name == "DEATHDATE";
}

// A date in the version's form: vCard 4.0's basic "19850412" and "--0412" for a day without a year
// (RFC 6350 4.3.1), 3.0's and 2.1's ISO 8601 "1985-04-12", where a day without a year has no form of its
// own and takes Apple's: the year 1604 and X-APPLE-OMIT-YEAR, which readers of 3.0 know. A date in words is
// kept as written, in 4.0 as the text value it is.
QByteArray dateValue(QByteArray value, VcardVersion version, Parameters& read) {
    const qsizetype t = value.indexOf('T');
    const QByteArray date = t < 0 ? value : value.first(t);
    const QByteArray time = t < 0 ? QByteArray() : value.mid(t);
    bool noYear = date.startsWith("--");
    QByteArray digits = noYear ? "1604" + date.mid(2) : date;
    digits.replace("-", "");
    const bool allDigits =
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    noYear |= digits.startsWith("1604");
    if (digits.size() != 8 || !allDigits ||
        !QDate(noYear ? 2000 : digits.first(4).toInt(), digits.mid(4, 2).toInt(), digits.mid(6, 2).toInt())
             .isValid()) {
        if (version == VcardVersion::V40) {
            read.valueType = "text";
        }
        return value;
    }
    read.others.removeIf(
        [](const QByteArray& other) { return other.toUpper().startsWith("X-APPLE-OMIT-YEAR="); });
    const QByteArray month = digits.mid(4, 2);
    const QByteArray day = digits.mid(6, 2);
    if (version == VcardVersion::V40) {
        return noYear ? "--" + month + day : digits + time;
    }
    if (noYear) {
        read.others.append("X-APPLE-OMIT-YEAR=1604");
        return "1604-" + month + '-' + day;
    }
    return digits.first(4) + '-' + month + '-' + day + time;
}

// A time zone as an offset in the version's form (3.0 "+01:00", 4.0 "+0100"), or a name, which 3.0 writes as
// a text value.
QByteArray zoneValue(QByteArray value, VcardVersion version, Parameters& read) {
    QByteArray digits = value.mid(1);
    digits.replace(":", "");
    const bool offset =
        (value.startsWith('+') || value.startsWith('-')) && digits.size() == 4 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (offset) {
        return version == VcardVersion::V40 ? value.first(1) + digits
                                            : value.first(1) + digits.first(2) + ':' + digits.mid(2);
    }
    if (version == VcardVersion::V30 && read.valueType.isEmpty()) {
        read.valueType = "text";
    }
    return value;
}

// The picture formats vCard 3.0 and 2.1 name by a type of their own ("TYPE=PNG"); the type of any other
// data is not written there, as a reader would not know it again.
bool isPictureType(QByteArrayView type) {
    return type == "JPEG" || type == "PNG" || type == "GIF" || type == "BMP" || type == "TIFF" ||
           type == "WEBP";
}

// The media type of embedded bytes, by their content, else by what the card says.
QByteArray mediaTypeOf(const EmbeddedData& data, const Parameters& read) {
    // The pictures of address books by their first bytes; the database reads all others more slowly.
    const std::array<std::pair<QByteArrayView, const char*>, 3> pictures{
        {{"\xFF\xD8\xFF", "image/jpeg"}, {"\x89PNG", "image/png"}, {"GIF8", "image/gif"}}};
    for (const auto& [start, type] : pictures) {
        if (data.bytes.startsWith(start)) {
            return type;
        }
    }
    const QMimeDatabase mimes; // one per call: the export writes cards on two threads
    const QMimeType found = mimes.mimeTypeForData(data.bytes);
    if (found.isValid() && !found.isDefault() && found.name() != u"text/plain") {
        return found.name().toUtf8();
    }
    // A "data:" address's own type, where it is one ("image/x-icon"), not bytes that would break the line.
    const auto plain = [](QByteArrayView part) {
        return !part.isEmpty() && std::all_of(part.begin(), part.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '+';
        });
    };
    if (const qsizetype slash = data.mediaType.indexOf('/');
        slash > 0 && plain(data.mediaType.first(slash)) && plain(data.mediaType.sliced(slash + 1))) {
        return data.mediaType;
    }
    for (const QByteArray& written : read.types) {
        const QByteArray type = written.toUpper();
        if (type == "JPEG" || type == "JPG") {
            return "image/jpeg";
        }
        if (isPictureType(type)) {
            return "image/" + type.toLower();
        }
    }
    return {};
}

// Whether a value's bytes are its text as the writer writes it: no transfer encoding or charset, valid UTF-8
// without escapes, control characters, "=" (which a reader may take for quoted-printable) or a byte-order
// mark; "," and ";" only where they stay separators.
bool standsAsItIs(const CardLine& line, bool semicolons, bool commas) {
    if (line.parameters.quotedPrintable || line.parameters.base64 || !line.parameters.charset.isEmpty()) {
        return false;
    }
    const QByteArrayView value = line.value;
    bool ascii = true;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\' || c == '=' || (!semicolons && c == ';') ||
            (!commas && c == ',')) {
            return false;
        }
        ascii &= byte < 0x80;
    }
    return ascii || (QUtf8StringView(value).isValidUtf8() && !value.contains("\xEF\xBB\xBF"));
}

class Writer {
public:
    Writer(CardLines& card, VcardVersion version, CardRewrites& rewrites)
        : m_card(card), m_version(version), m_rewrites(rewrites) {}

    // Writes one line: `key` is the name with its group and parameters, `value` the written value.
    // vCard 2.1 carries a value that is not ASCII, or holds a line break, as quoted-printable UTF-8.
    void write(QByteArray key, QByteArrayView value) {
        if (m_version == VcardVersion::V21 && std::any_of(value.begin(), value.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n';
            })) {
            key += ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
            VcardWriter::appendQuotedPrintable(m_out, key, value);
            return;
        }
        key += ':';
        key += value;
        VcardWriter::appendFolded(m_out, key);
    }

    // A property of the card's own, in the order the card gives them.
    void property(const CardLine& line) {
        const Kind kind = kindOf(line.name);
        QByteArray name = line.name;
        if (const QByteArrayView other = renamed(line.name, m_version); !other.isEmpty()) {
            name = other.toByteArray();
            ++m_rewrites.renamed;
        }
        if (isPlainName(line.group)) {
            name.prepend(line.group + '.');
        }
        Parameters read = parametersOf(line, m_version);
        QByteArray verbatimValue;
        if (kind == Kind::Verbatim) {
            verbatimValue = verbatim(m_card.text(line, line.value));
            if (isDateProperty(line.name)) {
                verbatimValue = dateValue(std::move(verbatimValue), m_version, read);
            } else if (line.name == "TZ") {
                verbatimValue = zoneValue(std::move(verbatimValue), m_version, read);
            }
        }
        if (kind == Kind::Binary) {
            binary(line, name, read);
            return;
        }
        QByteArray key = name + typeParameters(read, m_version);
        for (const QByteArray& other : read.others) {
            key += ';' + other;
        }
        // A telephone number is written as text (RFC 6350 allows it, 3.0 and 2.1 know nothing else); other
        // value types are kept, in the spelling of the version.
        if (!read.valueType.isEmpty() && line.name != "TEL") {
            key += ";VALUE=" + valueType(read.valueType);
        }
        QByteArray value;
        // Most values need neither decoding nor escapes: written as they stand, they are what decoding and
        // escaping again would give, at a fraction of the cost.
        if ((kind == Kind::Text || kind == Kind::Components || kind == Kind::List) &&
            standsAsItIs(line, kind == Kind::Components,
                         kind != Kind::Text && !hasSingleTextParts(line.name))) {
            value = line.value.toByteArray();
            if (kind == Kind::Components) {
                const qsizetype parts = line.name == "N" ? CardRules::NameParts : line.name == "ADR" ? 7 : 0;
                for (qsizetype written = value.count(';') + 1; written < parts; ++written) {
                    value += ';';
                }
            }
            write(std::move(key), value);
            return;
        }
        switch (kind) {
        case Kind::Components:
            value = componentsValue(m_card, line,
                                    line.name == "N"     ? CardRules::NameParts
                                    : line.name == "ADR" ? 7
                                                         : 0);
            break;
        case Kind::List:
            value = listValue(m_card, line);
            break;
        case Kind::Verbatim:
            value = std::move(verbatimValue);
            if (line.name == "TEL") {
                // A number's extension lives only in its "tel:" address form (RFC 3966), which every version
                // takes as an address; any other number is text, whose separators are escaped.
                if (value.startsWith("tel:") && value.contains(';')) {
                    key += m_version == VcardVersion::V21 ? ";VALUE=URL" : ";VALUE=uri";
                } else {
                    // Cleaned first as it will be written, so that no scheme appears once a character between
                    // its letters is left out, and every scheme goes ("tel:tel:"), not one per writing.
                    QString number = m_card.text(line, line.value);
                    number.removeIf([](QChar c) { return !VcardWriter::isWrittenCharacter(c); });
                    while (number.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive)) {
                        number.remove(0, 4);
                    }
                    value = m_version == VcardVersion::V21 ? text21(number) : escapedText(number);
                }
            } else if (line.name == "GEO") {
                value = geoValue(std::move(value), m_version);
            }
            break;
        case Kind::Text:
        case Kind::Binary: {
            const QString text = m_card.text(line, line.value);
            value = m_version == VcardVersion::V21 ? text21(text) : escapedText(text);
            break;
        }
        }
        write(std::move(key), value);
    }

    QByteArray& out() { return m_out; }

private:
    QByteArray valueType(const QByteArray& type) const {
        if (m_version == VcardVersion::V21) {
            return type == "uri" ? "URL" : type.toUpper();
        }
        return type == "url" ? "uri" : type;
    }

    // Embedded bytes in the version's form: 2.1 ENCODING=BASE64 with its bare type, 3.0 ENCODING=b with
    // TYPE, 4.0 a "data:" address (RFC 6350 5.x, RFC 2397); an address stays an address.
    void binary(const CardLine& cardLine, const QByteArray& name, const Parameters& read) {
        // Photos are written by some exporters without saying so; sounds and keys are text then.
        const bool picture = cardLine.name == "PHOTO" || cardLine.name == "LOGO";
        EmbeddedData data = embeddedData(m_card, cardLine, picture, CardLimits::CardBytes);
        if (data.form == EmbeddedData::Form::Address) {
            const QByteArray address = verbatim(data.address);
            // An address that is a "data:" one once the characters no line holds are left out is written
            // as one, as it reads back.
            if (!address.toLower().startsWith("data:")) {
                // Said in 4.0 too, where it is the default: an address of base64 letters would be taken for
                // a picture.
                if (address.isEmpty()) {
                    ++m_rewrites.dropped; // says nothing, and an empty address is none
                } else {
                    write(name + (m_version == VcardVersion::V21 ? ";VALUE=URL" : ";VALUE=uri"), address);
                }
                return;
            }
            data = dataAddressData(address, CardLimits::CardBytes);
        }
        const QByteArray media = mediaTypeOf(data, read);
        QByteArray subtype = media.startsWith("image/") ? media.mid(6).toUpper() : QByteArray();
        if (!isPictureType(subtype)) {
            subtype.clear();
        }
        const QByteArray base64 = data.bytes.toBase64();
        const bool sameForm = (m_version == VcardVersion::V40 && data.form == EmbeddedData::Form::DataUri) ||
                              (m_version != VcardVersion::V40 && data.form == EmbeddedData::Form::Base64);
        if (!sameForm) {
            ++m_rewrites.photos;
        }
        switch (m_version) {
        case VcardVersion::V21:
            write(name + ";ENCODING=BASE64" + (subtype.isEmpty() ? QByteArray() : ';' + subtype), base64);
            break;
        case VcardVersion::V30:
            write(name + ";ENCODING=b" + (subtype.isEmpty() ? QByteArray() : ";TYPE=" + subtype), base64);
            break;
        case VcardVersion::V40:
            write(name, "data:" + (media.isEmpty() ? QByteArray("application/octet-stream") : media) +
                            ";base64," + base64);
            break;
        }
    }

    CardLines& m_card;
    VcardVersion m_version;
    CardRewrites& m_rewrites;
    QByteArray m_out;
};

// Values in a charset other than UTF-8, or quoted-printable, are written as UTF-8 text.
bool changesCharset(const CardLine& line) {
    const QByteArrayView charset = line.parameters.charset;
    return line.parameters.quotedPrintable ||
           (!charset.isEmpty() && charset.compare("UTF-8", Qt::CaseInsensitive) != 0 &&
            charset.compare("UTF8", Qt::CaseInsensitive) != 0);
}

// A namespace of this program's own for the UIDs it derives (RFC 4122 4.3).
const QUuid UidNamespace(QStringLiteral("{6f1c52a4-9a0e-4f3b-8d2a-3c5e7b1d9f40}"));

} // namespace

CardRewrites& CardRewrites::operator+=(const CardRewrites& other) {
    cards += other.cards;
    charsets += other.charsets;
    photos += other.photos;
    names += other.names;
    uids += other.uids;
    renamed += other.renamed;
    merged += other.merged;
    dropped += other.dropped;
    return *this;
}

QStringList CardRewrites::described() const {
    QStringList said;
    const auto say = [&said](qsizetype n, const char* one, const char* many) {
        if (n > 0) {
            said << (n == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(germanNumber(n)));
        }
    };
    say(charsets, "Zeichensatz von 1 Karte nach UTF-8", "Zeichensatz von %1 Karten nach UTF-8");
    say(photos, "1 Foto umgeschrieben", "%1 Fotos umgeschrieben");
    say(names, "1 Name ergänzt", "%1 Namen ergänzt");
    say(uids, "1 UID ergänzt oder ersetzt", "%1 UIDs ergänzt oder ersetzt");
    say(renamed, "1 Feld als Erweiterung (X-…) geschrieben", "%1 Felder als Erweiterung (X-…) geschrieben");
    say(merged, "1 doppelter Name oder UID weggelassen", "%1 doppelte Namen oder UIDs weggelassen");
    say(dropped, "1 leere oder unlesbare Zeile ausgelassen", "%1 leere oder unlesbare Zeilen ausgelassen");
    return said;
}

QByteArray versionedCard(const QByteArray& bytes, bool unicodeSource, const QString& shownName,
                         VcardVersion version, QByteArrayView uidSource, CardRewrites& rewrites,
                         const ClaimUid& claimUid) {
    CardLines card(bytes, unicodeSource);
    CardRewrites changes;
    changes.cards = 1;
    Writer writer(card, version, changes);
    // One reading of the card: its lines go to the body as they come, while FN, N and UID, which stand
    // before or after them, are kept aside until the card has been read.
    QByteArray& body = writer.out();
    QByteArray nameLine; // the last N: the import takes it for the name, and a reader that finds two refuses
    bool hasName = false;
    bool named = false;
    bool charset = unicodeSource;
    QString uid;
    QString company;
    qint64 fnSeen = 0;
    card.forEach([&](const CardLine& line) {
        const QByteArray& name = line.name;
        charset |= changesCharset(line);
        if (name == "BEGIN" || name == "END" || name == "VERSION") {
            return true;
        }
        if (!isPlainName(name) || mentionsQuotedPrintable(name) || mentionsQuotedPrintable(line.group)) {
            ++changes.dropped;
            return true;
        }
        if (name == "FN") {
            named |= !card.text(line, line.value).trimmed().isEmpty();
            // The shown name is the card's first FN; vCard 4.0 alone allows more.
            if (fnSeen++ > 0 && version == VcardVersion::V40) {
                writer.property(line);
            }
            return true;
        }
        if (name == "N") {
            changes.merged += hasName ? 1 : 0;
            hasName = true;
            const qsizetype start = body.size();
            writer.property(line);
            nameLine = body.sliced(start);
            body.truncate(start);
            return true;
        }
        if (name == "UID") {
            const QString text = card.text(line, line.value).trimmed();
            if (uid.isEmpty()) {
                uid = text;
            } else if (!text.isEmpty()) {
                ++changes.merged;
            }
            return true;
        }
        if (name == "ORG" && company.isEmpty()) {
            company = card.text(line, PropertyLexer::firstComponent(line.value)).trimmed();
        }
        // A second PROFILE:VCARD only repeats BEGIN, and readers of 3.0 refuse the card for it.
        if (name == "PROFILE" && version != VcardVersion::V40) {
            ++changes.dropped;
            return true;
        }
        writer.property(line);
        return true;
    });

    QByteArray out = version == VcardVersion::V21   ? "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                     : version == VcardVersion::V30 ? "BEGIN:VCARD\r\nVERSION:3.0\r\n"
                                                    : "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    const qsizetype headStart = body.size();
    writer.write("FN", version == VcardVersion::V21 ? text21(shownName) : escapedText(shownName));
    if (!named || !hasName) {
        ++changes.names;
    }
    if (!hasName) {
        // A company's card names no person: its N stays empty, as Apple writes it.
        writer.write("N", shownName == company ? QByteArray(";;;;") : structuredName(shownName));
    }
    out += body.sliced(headStart);
    if (hasName) {
        out += nameLine;
    }
    out += body.first(headStart);
    body = std::move(out);
    QByteArray& tail = body;
    // The card's UID, unless another card of the export has taken it.
    const bool keptUid = !uid.isEmpty() && (!claimUid || claimUid(uid));
    if (keptUid) {
        writer.write("UID", verbatim(uid));
    }
    if (!keptUid) {
        ++changes.uids;
        // Derived from the card's bytes; an equal card earlier in the export took that one, so the second
        // of them gets the UID of its bytes and its number, and the same export still gives the same UIDs.
        QByteArray derived;
        for (int n = 1; derived.isEmpty() || (claimUid && !claimUid(QString::fromLatin1(derived))); ++n) {
            const QByteArray source =
                n == 1 ? uidSource.toByteArray() : uidSource.toByteArray() + '#' + QByteArray::number(n);
            // MD5 (RFC 4122's version 3) hashes a card with its photos in half the time SHA-1 takes.
            derived = QUuid::createUuidV3(UidNamespace, source).toByteArray(QUuid::WithoutBraces);
        }
        writer.write("UID", version == VcardVersion::V40 ? "urn:uuid:" + derived : derived);
    }
    tail += "END:VCARD\r\n";
    changes.charsets = charset ? 1 : 0;
    rewrites += changes;
    return std::move(tail);
}

QByteArray structuredName(const QString& name) {
    const ShownNameParts parts = shownNameParts(name);
    return escapedText(parts.family) + ';' + escapedText(parts.given) + ";;;";
}

} // namespace tovanel
