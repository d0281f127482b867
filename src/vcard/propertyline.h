#pragma once

#include "platform/bytesearch.h"

#include <QByteArrayView>
#include <QList>
#include <array>

#ifdef __SSE2__
#include <emmintrin.h>

namespace tovanel {

#endif

// The lexer of one unfolded vCard property line, such as "item1.TEL;TYPE=CELL,PREF:+49 89 1234": its name
// without the group prefix, where its key ends, what its parameters say and the components of its value.
// Every part is a view into the line; nothing is copied or decoded.
namespace PropertyLexer {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Where the key of a property line ends: the first ":" that is not inside double quotes, or -1.
// `unquoted` is set when the key certainly holds no double quote.
qsizetype keyEnd(QByteArrayView line, bool* unquoted = nullptr);

// The property name of a line without its group prefix ("item1.TEL" -> "TEL"). `end` is set to where
// the name ends (the first ";" or ":", else the line's size), `quote` to whether a '"' comes before.
// Called for every line: inline, the vector usually finds the whole name at once.
inline QByteArrayView propertyName(QByteArrayView line, qsizetype& end, bool& quote) {
#ifdef __SSE2__
    // Names are short: one vector of the line's start mostly holds the whole name.
    if (line.size() >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data()));
        const auto stops = unsigned(_mm_movemask_epi8(_mm_or_si128(
            _mm_cmpeq_epi8(chunk, _mm_set1_epi8(';')), _mm_cmpeq_epi8(chunk, _mm_set1_epi8(':')))));
        if (stops != 0) {
            end = __builtin_ctz(stops);
            const unsigned before = (1u << end) - 1;
            const unsigned dots =
                unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('.')))) & before;
            quote = (unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('"')))) & before) != 0;
            const qsizetype start = dots != 0 ? 32 - __builtin_clz(dots) : 0;
            return line.sliced(start, end - start);
        }
    }
#endif
    qsizetype start = 0;
    bool quoted = false;
    end = 0;
    for (; end < line.size(); ++end) {
        const char c = line[end];
        if (c == ';' || c == ':') {
            break;
        }
        if (c == '.') {
            start = end + 1;
        }
        quoted |= c == '"';
    }
    quote = quoted;
    return line.sliced(start, end - start);
}

// keyEnd(line, unquoted) for a line whose name, found by propertyName, ends at `nameEnd`: the bytes
// before it are not searched again.
inline qsizetype keyEndAfterName(QByteArrayView line, qsizetype nameEnd, bool quoteInName, bool* unquoted) {
    if (quoteInName) {
        return keyEnd(line, unquoted);
    }
    if (nameEnd >= line.size()) {
        return -1; // neither ":" nor '"' in the whole line
    }
    if (line[nameEnd] == ':') {
        *unquoted = true;
        return nameEnd;
    }
    const qsizetype rest = keyEnd(line.sliced(nameEnd), unquoted);
    return rest < 0 ? -1 : nameEnd + rest;
}

// Whether the key (up to `end`, which is keyEnd(line)) declares QUOTED-PRINTABLE, in any of its forms.
bool declaresQuotedPrintable(QByteArrayView line, qsizetype end);

// What the parameters of one property line say, in the vCard 2.1 form ("HOME;CELL;QUOTED-PRINTABLE")
// and the later one ("TYPE=home,cell;ENCODING=b"), quoted or not. The import and the reading of the whole
// card both go by this one reading.
struct Parameters {
    bool quotedPrintable = false;
    bool base64 = false;
    bool encodingGiven = false; // any ENCODING, also 8BIT: the value is not quoted-printable by guess
    bool pref = false;
    bool cell = false;
    bool home = false;
    bool work = false;
    bool fax = false;
    bool pager = false;
    QByteArrayView charset;
    QByteArrayView valueType;   // VALUE=, such as "uri"
    QByteArrayView serviceType; // X-SERVICE-TYPE=, the messenger an IMPP address is for

    bool faxOrPager() const { return fax || pager; }

    // Adds one parameter, the bytes between two ";" of the key.
    void add(QByteArrayView parameter);
    // The types one parameter names as written, by the rule add() reads them by: each of a TYPE list
    // (quoted or not), or vCard 2.1's bare one ("HOME"); none for any other parameter.
    static QList<QByteArrayView> typesOf(QByteArrayView parameter);

private:
    void addType(QByteArrayView type);
    void addTypes(QByteArrayView value);
    void addEncoding(QByteArrayView encoding);
};

// A property line cut into its parameters and its value.
struct PropertyLine {
    Parameters parameters;
    QByteArrayView value;

    // `knownEnd` and `unquoted` may carry what keyEnd already found for the line's first part.
    explicit PropertyLine(QByteArrayView line, qsizetype knownEnd = -1, bool unquoted = false);
};

// Whether a value is quoted-printable: declared so, or, as some exporters write it, declared only as
// CHARSET=UTF-8 (`charset`) while it is ASCII holding "=XX" escapes. Without `guess` only a declaration
// counts.
bool isQuotedPrintable(const Parameters& parameters, QByteArrayView charset, QByteArrayView value,
                       bool guess = true);

// Takes the next `separator`-separated part off the front of `rest`; a separator after a backslash
// belongs to the text. `more` is cleared when the part taken was the last one. The one rule by which
// values are cut into components (";") and lists (",") everywhere.
inline QByteArrayView takeComponent(QByteArrayView& rest, char separator, bool& more) {
    const char* const data = rest.data();
    const char* const end = data + rest.size();
    const char* p = data;
    while ((p = findEither(p, end, separator, '\\')) != end) {
        if (*p == '\\') {
            p += end - p >= 2 ? 2 : 1;
            continue;
        }
        const QByteArrayView part(data, p - data);
        rest = QByteArrayView(p + 1, end - p - 1);
        return part;
    }
    more = false;
    const QByteArrayView part = rest;
    rest = QByteArrayView();
    return part;
}

// The first `wanted` (at most 7) ";"-separated components of a value. Components past the last one present
// are empty.
struct Components {
    std::array<QByteArrayView, 7> parts{};
    qsizetype count = 0;

    Components(QByteArrayView value, qsizetype wanted) {
        bool more = true;
        while (more && count < wanted) {
            parts[size_t(count++)] = takeComponent(value, ';', more);
        }
    }
    QByteArrayView operator[](qsizetype index) const {
        return index < count ? parts[size_t(index)] : QByteArrayView();
    }
};

// Components(value, 1)[0], without filling the other six: most values are asked for only their first.
inline QByteArrayView firstComponent(QByteArrayView value) {
    bool more = true;
    return takeComponent(value, ';', more);
}

// Every `separator`-separated part of a value.
QList<QByteArrayView> splitComponents(QByteArrayView value, char separator);

} // namespace PropertyLexer

} // namespace tovanel
