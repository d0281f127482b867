#include "vcardreader.h"

#include "bytesearch.h"
#include "decoders.h"
#include "linereader.h"
#include "vcardreader_p.h"

#include <QBuffer>
#include <QFile>
#include <sys/stat.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

enum class Property { Other, Begin, End, FN, ORG, TEL, EMAIL, ADR, NOTE };

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmedSlow(QByteArrayView v) {
    while (!v.isEmpty() && isBlank(v.front())) {
        v = v.sliced(1);
    }
    while (!v.isEmpty() && isBlank(v.back())) {
        v.chop(1);
    }
    return v;
}

// Parameters and names seldom carry blanks: the check for none stays inline.
[[gnu::always_inline]] inline QByteArrayView trimmed(QByteArrayView v) {
    if (v.isEmpty() || (!isBlank(v.front()) && !isBlank(v.back()))) {
        return v;
    }
    return trimmedSlow(v);
}

[[gnu::always_inline]] inline QByteArrayView unquoted(QByteArrayView v) {
    v = trimmed(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        v = v.sliced(1, v.size() - 2);
    }
    return v;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// Lower-cases the ASCII capitals among the bytes of a word at once, leaving every other byte as it is.
template <typename Word> [[gnu::always_inline]] inline Word lowerWord(Word x) {
    constexpr Word Ones = Word(~Word(0)) / 0xFF;
    constexpr Word Highs = Ones * 0x80;
    const Word low = x & ~Highs; // no carry between bytes below
    const Word atLeastA = low + Ones * (0x80 - 'A');
    const Word pastZ = low + Ones * (0x80 - 'Z' - 1);
    const Word capital = atLeastA & ~pastZ & ~x & Highs;
    return x | (capital >> 2);
}

template <typename Word> [[gnu::always_inline]] inline Word loadWord(const char* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Whether `a` and the literal `b`, both `Length` >= sizeof(Word) bytes, are equal ignoring ASCII case:
// compared a word at a time, the last word overlapping the one before.
template <typename Word, qsizetype Length>
[[gnu::always_inline]] inline bool equalWords(const char* a, const char* b) {
    constexpr qsizetype Size = qsizetype(sizeof(Word));
    for (qsizetype i = 0; i + Size <= Length; i += Size) {
        if (lowerWord(loadWord<Word>(a + i)) != lowerWord(loadWord<Word>(b + i))) {
            return false;
        }
    }
    if constexpr (Length % Size != 0) {
        return lowerWord(loadWord<Word>(a + Length - Size)) == lowerWord(loadWord<Word>(b + Length - Size));
    }
    return true;
}

// Case-insensitive equality with a literal. A million cards compare tens of millions of names and
// parameters, so this stays inline instead of calling the library's comparison.
template <std::size_t N> [[gnu::always_inline]] inline bool is(QByteArrayView a, const char (&b)[N]) {
    constexpr qsizetype Length = qsizetype(N) - 1;
    if (a.size() != Length) {
        return false;
    }
    if constexpr (Length >= 8) {
        return equalWords<std::uint64_t, Length>(a.data(), b);
    } else if constexpr (Length >= 4) {
        return equalWords<std::uint32_t, Length>(a.data(), b);
    } else {
        for (qsizetype i = 0; i < Length; ++i) {
            if (asciiLower(a[i]) != asciiLower(b[i])) {
                return false;
            }
        }
        return true;
    }
}

// The first `c` in `v`, or -1; parameters are a few bytes long, too short for the library's search to pay.
qsizetype indexOf(QByteArrayView v, char c) {
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == c) {
            return i;
        }
    }
    return -1;
}

// Where the key of a property line ends: the first ":" that is not inside double quotes, or -1.
// `unquoted` is set when the key certainly holds no double quote.
qsizetype keyEnd(QByteArrayView line, bool* unquoted = nullptr) {
    if (line.isEmpty()) {
        return -1;
    }
    // Quotes in a key are rare; without one before it, the first ":" is the one.
    const char* const end = line.data() + line.size();
    const char* const hit = findEither(line.data(), end, ':', '"');
    if (hit == end) {
        return -1;
    }
    if (*hit == ':') {
        if (unquoted != nullptr) {
            *unquoted = true;
        }
        return hit - line.data();
    }
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ':' && !quoted) {
            return i;
        }
    }
    return -1;
}

// The property name of a line without its group prefix ("item1.TEL" -> "TEL"). `end` is set to where
// the name ends (the first ";" or ":", else the line's size), `quote` to whether a '"' comes before.
QByteArrayView propertyName(QByteArrayView line, qsizetype& end, bool& quote) {
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
qsizetype keyEndAfterName(QByteArrayView line, qsizetype nameEnd, bool quoteInName, bool* unquoted) {
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

Property propertyOf(QByteArrayView name) {
    switch (name.size()) {
    case 2:
        return is(name, "FN") ? Property::FN : Property::Other;
    case 3:
        if (is(name, "TEL")) {
            return Property::TEL;
        }
        if (is(name, "ORG")) {
            return Property::ORG;
        }
        if (is(name, "ADR")) {
            return Property::ADR;
        }
        return is(name, "END") ? Property::End : Property::Other;
    case 4:
        return is(name, "NOTE") ? Property::NOTE : Property::Other;
    case 5:
        if (is(name, "BEGIN")) {
            return Property::Begin;
        }
        return is(name, "EMAIL") ? Property::EMAIL : Property::Other;
    default:
        return Property::Other;
    }
}

// `end` is keyEnd(line).
bool declaresQuotedPrintable(QByteArrayView line, qsizetype end) {
    const QByteArrayView key = end >= 0 ? line.first(end) : line;
    // Found by its "-", the rarest of its bytes in keys.
    constexpr qsizetype NeedleSize = 16;
    constexpr qsizetype DashAt = 6;
    if (key.size() < NeedleSize) {
        return false;
    }
    const char* const data = key.data();
    const char* from = data + DashAt;
    const char* const last = data + key.size() - (NeedleSize - DashAt); // last possible "-"
    while (from <= last) {
        const auto* dash = static_cast<const char*>(std::memchr(from, '-', size_t(last - from + 1)));
        if (dash == nullptr) {
            return false;
        }
        if (is(QByteArrayView(dash - DashAt, NeedleSize), "QUOTED-PRINTABLE")) {
            return true;
        }
        from = dash + 1;
    }
    return false;
}

// What the parameters of one property line say.
struct Parameters {
    bool quotedPrintable = false;
    bool base64 = false;
    bool encodingGiven = false; // any ENCODING, also 8BIT: the value is not quoted-printable by guess
    bool pref = false;
    bool cell = false;
    bool home = false;
    bool work = false;
    bool faxOrPager = false;
    QByteArrayView charset;

    void addType(QByteArrayView type) {
        type = unquoted(type);
        switch (type.size()) {
        case 3:
            faxOrPager |= is(type, "fax");
            break;
        case 4:
            // Told apart by their first letter, compared in full only then.
            switch (asciiLower(type[0])) {
            case 'p':
                pref |= is(type, "pref");
                break;
            case 'c':
                cell |= is(type, "cell");
                break;
            case 'h':
                home |= is(type, "home");
                break;
            case 'w':
                work |= is(type, "work");
                break;
            default:
                break;
            }
            break;
        case 5:
            faxOrPager |= is(type, "pager");
            break;
        default:
            break;
        }
    }

    void addEncoding(QByteArrayView encoding) {
        encoding = unquoted(encoding);
        encodingGiven = true;
        if (is(encoding, "QUOTED-PRINTABLE")) {
            quotedPrintable = true;
        } else if (is(encoding, "B") || is(encoding, "BASE64")) {
            base64 = true;
        }
    }

    void addTypes(QByteArrayView value) {
        // TYPE=a,b and TYPE="a,b": a list, which may also be repeated in several TYPE parameters.
        QByteArrayView list = unquoted(value);
        while (!list.isEmpty()) {
            const qsizetype comma = indexOf(list, ',');
            addType(comma < 0 ? list : list.first(comma));
            list = comma < 0 ? QByteArrayView() : list.sliced(comma + 1);
        }
    }

    void add(QByteArrayView parameter) {
        parameter = trimmed(parameter);
        // The usual names are recognised by their start, without looking for the "=" first.
        if (parameter.size() >= 5 && is(parameter.first(5), "TYPE=")) {
            addTypes(parameter.sliced(5));
            return;
        }
        if (parameter.size() >= 8 && is(parameter.first(8), "CHARSET=")) {
            charset = unquoted(parameter.sliced(8));
            return;
        }
        if (parameter.size() >= 9 && is(parameter.first(9), "ENCODING=")) {
            addEncoding(parameter.sliced(9));
            return;
        }
        const qsizetype eq = indexOf(parameter, '=');
        if (eq < 0) {
            if (is(parameter, "QUOTED-PRINTABLE") || is(parameter, "BASE64") || is(parameter, "8BIT") ||
                is(parameter, "7BIT")) {
                addEncoding(parameter);
            } else {
                addType(parameter);
            }
            return;
        }
        const QByteArrayView name = trimmed(parameter.first(eq));
        const QByteArrayView value = parameter.sliced(eq + 1);
        if (is(name, "TYPE")) {
            addTypes(value);
        } else if (is(name, "ENCODING")) {
            addEncoding(value);
        } else if (is(name, "CHARSET")) {
            charset = unquoted(value);
        } else if (is(name, "PREF")) {
            pref = true;
        }
    }
};

// A property line cut into its parts.
struct PropertyLine {
    Parameters parameters;
    QByteArrayView value;

    // `knownEnd` and `unquoted` may carry what keyEnd already found for the line's first part.
    PropertyLine(QByteArrayView line, qsizetype knownEnd, bool unquoted) {
        const qsizetype end = knownEnd >= 0 ? knownEnd : keyEnd(line, &unquoted);
        const QByteArrayView key = end >= 0 ? line.first(end) : line;
        value = end >= 0 ? line.sliced(end + 1) : QByteArrayView();
        // Parameters split at ";" outside quotes; the first part is the name.
        if (unquoted) {
            const char* const data = key.data();
            const char* const keyEnd = data + key.size();
            const auto* semicolon = static_cast<const char*>(std::memchr(data, ';', size_t(key.size())));
            while (semicolon != nullptr) {
                const char* const start = semicolon + 1;
                semicolon = static_cast<const char*>(std::memchr(start, ';', size_t(keyEnd - start)));
                parameters.add(QByteArrayView(start, (semicolon != nullptr ? semicolon : keyEnd) - start));
            }
            return;
        }
        bool quoted = false;
        qsizetype start = -1;
        for (qsizetype i = 0; i <= key.size(); ++i) {
            const char c = i < key.size() ? key[i] : ';';
            if (c == '"') {
                quoted = !quoted;
            } else if (c == ';' && (!quoted || i == key.size())) {
                if (start >= 0) {
                    parameters.add(key.sliced(start, i - start));
                }
                start = i + 1;
            }
        }
    }
};

// The first `wanted` (at most 7) ";"-separated components of a value; a ";" after a backslash belongs
// to the text. Components past the last one present are empty.
struct Components {
    std::array<QByteArrayView, 7> parts{};
    qsizetype count = 0;

    Components(QByteArrayView value, qsizetype wanted) {
        const char* const data = value.data();
        const char* const end = data + value.size();
        const char* start = data;
        const char* p = data;
        while ((p = findEither(p, end, ';', '\\')) != end) {
            if (*p == '\\') {
                p += end - p >= 2 ? 2 : 1;
                continue;
            }
            parts[size_t(count++)] = QByteArrayView(start, p - start);
            start = ++p;
            if (count == wanted) {
                return;
            }
        }
        parts[size_t(count++)] = QByteArrayView(start, end - start);
    }
    QByteArrayView operator[](qsizetype index) const {
        return index < count ? parts[size_t(index)] : QByteArrayView();
    }
};

QByteArrayView firstComponent(QByteArrayView value) {
    return Components(value, 1)[0];
}

QString replaceLineEndings(QString text, const QString& replacement) {
    text.replace(QStringLiteral("\r\n"), replacement);
    text.replace(QLatin1Char('\r'), replacement);
    text.replace(QLatin1Char('\n'), replacement);
    return text;
}

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Charset names under which decodeCharset reads UTF-8.
bool namesUtf8(QByteArrayView charset) {
    return charset.isEmpty() || is(charset, "UTF-8") || is(charset, "UTF8") || is(charset, "US-ASCII") ||
           is(charset, "ASCII");
}

// The cells of the card being read are built in buffers that live as long as the reader, so a card
// costs no allocation unless a value needs one of the rarer decoders.
//
// A growable UTF-16 buffer that, unlike std::u16string, does not clear what it grows into: every caller
// writes the characters it makes room for.
class Text final {
public:
    size_t size() const { return m_size; }
    char16_t* data() { return m_data.get(); }
    const char16_t* data() const { return m_data.get(); }
    void clear() { m_size = 0; }
    // Sets the size; characters past the old size are undefined until written.
    void resize(size_t size) {
        if (size > m_capacity) {
            const size_t capacity = std::max(size, 2 * m_capacity);
            auto grown = std::make_unique_for_overwrite<char16_t[]>(capacity);
            std::copy_n(m_data.get(), m_size, grown.get());
            m_data = std::move(grown);
            m_capacity = capacity;
        }
        m_size = size;
    }
    void append(const char16_t* text, size_t count) {
        const size_t at = m_size;
        resize(at + count);
        std::copy_n(text, count, m_data.get() + at);
    }
    void push_back(char16_t c) { append(&c, 1); }
    void eraseFront(size_t count) {
        std::copy(m_data.get() + count, m_data.get() + m_size, m_data.get());
        m_size -= count;
    }
    bool hasLineBreak() const {
        return std::any_of(m_data.get(), m_data.get() + m_size,
                           [](char16_t c) { return c == u'\r' || c == u'\n'; });
    }
    void swap(Text& other) {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }
    QStringView view() const { return QStringView(m_data.get(), qsizetype(m_size)); }

private:
    std::unique_ptr<char16_t[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// Widens the bytes up to the first one that is not ASCII into `dst`, which has room for all of them,
// noting whether they hold a backslash; returns how many were widened.
size_t widenAscii(char16_t* dst, const char* p, size_t size, bool& backslash) {
    const char* const begin = p;
    const char* const end = p + size;
    bool escape = false;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128i slash = _mm_set1_epi8('\\');
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto high = unsigned(_mm_movemask_epi8(chunk));
        const auto slashes = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, slash)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8), _mm_unpackhi_epi8(chunk, zero));
        if (high != 0) {
            const unsigned ascii = unsigned(__builtin_ctz(high));
            backslash = escape || (slashes & ((1u << ascii) - 1)) != 0;
            return size_t(p - begin) + ascii;
        }
        escape |= slashes != 0;
        p += 16;
        dst += 16;
    }
#endif
    // Most telephone numbers and e-mail addresses are shorter than 16 bytes: eight at a time.
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t Highs = 0x8080808080808080u;
    while (end - p >= 8) {
        std::uint64_t x = 0;
        std::memcpy(&x, p, 8);
        if ((x & Highs) != 0) {
            break;
        }
        const std::uint64_t noSlash = x ^ (Ones * '\\'); // a zero byte where a backslash was
        escape |= ((noSlash - Ones) & ~noSlash & Highs) != 0;
#ifdef __SSE2__
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                         _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero));
#else
        for (int i = 0; i < 8; ++i) {
            dst[i] = static_cast<unsigned char>(p[i]);
        }
#endif
        p += 8;
        dst += 8;
    }
    if (p != end && end - p < 8 && end - begin >= 8) {
        // The last few bytes as the last eight, overlapping those already widened (to the same).
        const char* const last = end - 8;
        std::uint64_t x = 0;
        std::memcpy(&x, last, 8);
        if ((x & Highs) == 0) {
            const std::uint64_t noSlash = x ^ (Ones * '\\');
            escape |= ((noSlash - Ones) & ~noSlash & Highs) != 0;
            char16_t* const to = dst - (p - last);
#ifdef __SSE2__
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(to),
                _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(last)), zero));
#else
            for (int i = 0; i < 8; ++i) {
                to[i] = static_cast<unsigned char>(last[i]);
            }
#endif
            backslash = escape;
            return size;
        }
    }
    for (; p < end && static_cast<unsigned char>(*p) < 0x80; ++p) {
        escape |= *p == '\\';
        *dst++ = char16_t(*p);
    }
    backslash = escape;
    return size_t(p - begin);
}

void appendString(Text& out, QStringView text) {
    out.append(text.utf16(), size_t(text.size()));
}

// Decodes UTF-8 whose characters are all ASCII or two bytes long, which covers German text, from byte
// `from` on; `out` already holds the characters before it from `start` on, and room for all the bytes.
// Such a sequence is valid whenever its lead byte is C2..DF and a continuation byte follows, so it
// decodes exactly as the full UTF-8 decoder would; anything else is left to that decoder (false).
bool continueTwoByteUtf8(Text& out, size_t start, size_t from, QByteArrayView bytes, bool& backslash) {
    char16_t* dst = out.data() + start + from;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + from;
    const auto* end = reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size();
    bool escape = backslash;
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t Highs = 0x8080808080808080u;
    while (p < end) {
        // Between the umlauts mostly ASCII: eight bytes at a time where they are.
        if (end - p >= 8) {
            std::uint64_t x = 0;
            std::memcpy(&x, p, 8);
            if ((x & Highs) == 0) {
                const std::uint64_t noSlash = x ^ (Ones * '\\');
                escape |= ((noSlash - Ones) & ~noSlash & Highs) != 0;
#ifdef __SSE2__
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                                 _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                                   _mm_setzero_si128()));
#else
                for (int i = 0; i < 8; ++i) {
                    dst[i] = p[i];
                }
#endif
                p += 8;
                dst += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            escape |= c == '\\';
            *dst++ = c;
            ++p;
        } else if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            *dst++ = char16_t(((c & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else {
            return false;
        }
    }
    out.resize(size_t(dst - out.data()));
    backslash = escape;
    return true;
}

// Charset names that decodeCharset reads as Windows-1252 (when the bytes are not all ASCII).
bool namesWindows1252(QByteArrayView charset) {
    return is(charset, "windows-1252") || is(charset, "cp1252") || is(charset, "ISO-8859-1") ||
           is(charset, "latin1");
}

// Decodes Windows-1252 from byte `from` on, as decodeWindows1252 does; `out` already holds the
// characters before it from `start` on, and room for all the bytes.
void continueWindows1252(Text& out, size_t start, size_t from, QByteArrayView bytes, bool& backslash) {
    char16_t* dst = out.data() + start + from;
    bool escape = backslash;
    for (qsizetype i = qsizetype(from); i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        escape |= b == '\\';
        *dst++ = b < 0x80 || b >= 0xA0 ? char16_t(b) : windows1252Char(b);
    }
    backslash = escape;
}

bool startsWithTelScheme(const Text& number) {
    constexpr char16_t Scheme[] = u"tel:";
    if (number.size() < 4) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        const char16_t c = number.data()[i];
        if ((c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c) != Scheme[i]) {
            return false;
        }
    }
    return true;
}

class Reader {
public:
    // Reads the device up to `size` bytes (-1: to its end); `stop`, when given, is polled every chunk.
    Reader(QIODevice& device, const ReadProgress& progress, qint64 size,
           const std::atomic<bool>* stop = nullptr)
        : m_lines(device), m_progress(progress), m_stop(stop) {
        m_total = size;
        if (size >= 0) {
            m_lines.setEnd(size);
        }
        m_lines.setMaxLineLength(MaxLineLength);
        m_unicodeSource = false;
        watchChunks();
    }
    // Reads the bytes [start, end) of a file of single bytes, `total` long.
    Reader(QIODevice& device, const ReadProgress& progress, qint64 start, qint64 end, qint64 total,
           const std::atomic<bool>* stop)
        : m_lines(device, start, end), m_progress(progress), m_stop(stop) {
        m_total = total;
        m_unicodeSource = false;
        m_nextProgress = start + ProgressStep;
        watchChunks();
    }

    VcardReadResult run();

private:
    struct Pending {
        Property property = Property::Other;
        bool keep = false;            // the text is needed: a recognised property inside a card
        bool quotedPrintable = false; // a trailing "=" continues the value on the next line
        // Where the key of the first line ends, when looked for. Found there, it holds for the whole
        // logical line: the lines that continue it only add to the value.
        qsizetype keyEnd = -1;
        bool unquotedKey = false;
        qint64 start = 0;
        qint64 end = 0;
    };

    bool handle(const Pending& line, QByteArrayView text);
    void apply(const Pending& pending, QByteArrayView line);
    // Appends the text of a raw value: transfer encoding, charset, then backslash escapes.
    void decode(Text& out, QByteArrayView raw, const Parameters& parameters,
                bool allowImplicitQuotedPrintable);
    Text& clearedField(Field field) {
        Text& text = m_fields[size_t(field)];
        text.clear();
        return text;
    }
    void openCard(qint64 begin);
    void closeCard();

    // Progress is told per chunk rather than per line, so a file without line breaks is no different.
    void watchChunks() {
        if (!m_progress && m_stop == nullptr) {
            return;
        }
        m_lines.setChunkHook([this](qint64 read) {
            if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
                return false;
            }
            if (!m_progress) {
                return true;
            }
            // Every megabyte, and at least every 50 ms: the caller's window then answers a click to
            // cancel at once, and comes up in time on a slow disk.
            const auto now = std::chrono::steady_clock::now();
            if (read >= m_nextProgress || now >= m_nextProgressTime) {
                m_nextProgress = read + ProgressStep;
                m_nextProgressTime = now + ProgressInterval;
                return m_progress(read, m_total);
            }
            return true;
        });
    }

    static constexpr qint64 ProgressStep = 1 << 20;
    static constexpr std::chrono::milliseconds ProgressInterval{50};
    LineReader m_lines;
    const ReadProgress& m_progress;
    const std::atomic<bool>* m_stop;
    qint64 m_nextProgress = ProgressStep;
    std::chrono::steady_clock::time_point m_nextProgressTime =
        std::chrono::steady_clock::now() + ProgressInterval;
    qint64 m_total = -1;
    bool m_unicodeSource = false;
    VcardReadResult m_result;

    std::string m_logical;
    QByteArrayView logical() const { return QByteArrayView(m_logical.data(), qsizetype(m_logical.size())); }
    bool m_inCard = false;
    bool m_cardOpen = false;
    std::array<Text, FieldCount> m_fields;
    Text m_scratch;
    std::string m_bytes;
    std::uint8_t m_bold = 0;
    qint64 m_cardBegin = 0;
    qint64 m_cardEnd = -1;
};

void Reader::openCard(qint64 begin) {
    closeCard();
    m_cardOpen = true;
    m_cardBegin = begin;
    m_cardEnd = -1;
    m_bold = 0;
    for (Text& field : m_fields) {
        field.clear();
    }
}

void Reader::closeCard() {
    if (!m_cardOpen) {
        return;
    }
    std::array<QStringView, FieldCount> texts;
    for (size_t i = 0; i < texts.size(); ++i) {
        texts[i] = m_fields[i].view();
    }
    m_result.table->append(texts, m_bold, m_cardBegin, m_cardEnd);
    m_cardOpen = false;
}

// Returns false when the line stops the reading (an "END" outside a card).
bool Reader::handle(const Pending& line, QByteArrayView text) {
    switch (line.property) {
    case Property::Begin:
        openCard(line.start);
        m_inCard = true;
        return true;
    case Property::End:
        if (!m_inCard) {
            return false;
        }
        m_inCard = false;
        m_cardEnd = line.end;
        closeCard();
        return true;
    case Property::Other:
        return true;
    default:
        if (line.keep) {
            apply(line, text);
        }
        return true;
    }
}

void Reader::decode(Text& out, QByteArrayView raw, const Parameters& parameters,
                    bool allowImplicitQuotedPrintable) {
    QByteArray transferDecoded;
    QByteArrayView bytes = raw;
    bool direct = true;
    if (parameters.quotedPrintable ||
        (!parameters.base64 && allowImplicitQuotedPrintable && !parameters.encodingGiven &&
         is(parameters.charset, "UTF-8") && isAscii(raw) && containsQuotedPrintableEscape(raw))) {
        // The second case: some exporters declare only CHARSET=UTF-8 and still write quoted-printable.
        m_bytes.resize(size_t(raw.size()));
        m_bytes.resize(size_t(decodeQuotedPrintable(raw, m_bytes.data())));
        bytes = QByteArrayView(m_bytes.data(), qsizetype(m_bytes.size()));
        direct = false;
    } else if (parameters.base64) {
        transferDecoded = decodeBase64(raw);
        if (!transferDecoded.isNull()) {
            bytes = transferDecoded;
            direct = false;
        }
    }
    const size_t start = out.size();
    bool backslash = true;
    if (direct && m_unicodeSource) {
        // Lines of a UTF-16 file arrive as UTF-8 already; a charset can only describe encoded bytes there.
        appendString(out, QString::fromUtf8(bytes));
    } else {
        // ASCII decodes alike under any charset name, and German UTF-8 needs no QString on the way.
        out.resize(start + size_t(bytes.size()));
        const size_t ascii = widenAscii(out.data() + start, bytes.data(), size_t(bytes.size()), backslash);
        if (ascii < size_t(bytes.size()) &&
            !(namesUtf8(parameters.charset) && continueTwoByteUtf8(out, start, ascii, bytes, backslash))) {
            if (namesWindows1252(parameters.charset)) {
                continueWindows1252(out, start, ascii, bytes, backslash);
            } else {
                out.resize(start);
                appendString(out, decodeCharset(bytes, parameters.charset));
                backslash = true;
            }
        }
    }
    if (backslash) {
        out.resize(start + size_t(unescapeText(out.data() + start, qsizetype(out.size() - start))));
    }
}

void Reader::apply(const Pending& pending, QByteArrayView line) {
    const PropertyLine p(line, pending.keyEnd, pending.unquotedKey);
    const Parameters& params = p.parameters;
    switch (pending.property) {
    case Property::FN:
        decode(clearedField(Field::Name), p.value, params, true);
        break;
    case Property::NOTE:
        decode(clearedField(Field::Notizen), p.value, params, true);
        break;
    case Property::ORG:
        decode(clearedField(Field::Firma), firstComponent(p.value), params, false);
        break;
    case Property::EMAIL:
        decode(clearedField(Field::Email), firstComponent(p.value), params, false);
        break;
    case Property::TEL: {
        if (params.faxOrPager) {
            break;
        }
        Field field;
        if (params.cell) {
            field = Field::TelMobil;
        } else if (params.home) {
            field = Field::TelPrivat;
        } else if (params.work) {
            field = Field::TelArbeit;
        } else {
            break;
        }
        Text& number = m_scratch;
        number.clear();
        decode(number, firstComponent(p.value), params, false);
        if (startsWithTelScheme(number)) {
            number.eraseFront(4);
        }
        Text& cell = clearedField(field);
        if (const std::optional<QStringView> rest = ex49Rest(number.view())) {
            cell.push_back(u'0');
            appendString(cell, *rest);
        } else {
            cell.swap(number);
        }
        if (params.pref) {
            m_bold |= ContactTable::boldBit(field);
        }
        break;
    }
    case Property::ADR: {
        const bool work = params.work;
        const Components parts(p.value, 7);
        const auto part = [&](Field field, qsizetype index) {
            Text& text = m_scratch;
            text.clear();
            decode(text, parts[index], params, true);
            Text& cell = clearedField(field);
            if (!text.hasLineBreak()) {
                cell.swap(text);
            } else {
                appendString(cell, replaceLineEndings(text.view().toString(), QStringLiteral(", ")));
            }
        };
        part(work ? Field::AdrArbeit : Field::Adresse, 2);
        part(work ? Field::OrtArbeit : Field::Ort, 3);
        part(work ? Field::PlzArbeit : Field::Plz, 5);
        break;
    }
    default:
        break;
    }
}

VcardReadResult Reader::run() {
    Pending pending;
    bool active = false;
    bool softBreak = false;
    bool stopped = false;
    QByteArrayView line;
    bool first = true;
    while (m_lines.readLine(line)) {
        if (first) {
            m_unicodeSource = m_lines.encoding() != LineReader::Encoding::Bytes;
            first = false;
        }
        if (active) {
            if (softBreak && (is(line, "END:VCARD") || is(line, "BEGIN:VCARD"))) {
                // Some exporters end a quoted-printable value with a dangling "=": taken as a soft line
                // break it would swallow the card's last line. That "=" ends the value instead.
                if (pending.keep && !m_logical.empty()) {
                    m_logical.pop_back();
                }
                softBreak = false;
            }
            if (softBreak) {
                // Quoted-printable soft line break: the value goes on, whitespace and all.
                if (pending.keep) {
                    if (!m_logical.empty()) {
                        m_logical.pop_back();
                    }
                    m_logical.append(line.data(), size_t(line.size()));
                }
                pending.end = m_lines.position();
                softBreak = line.endsWith('=');
                continue;
            }
            if (!line.isEmpty() && isBlank(line.front())) {
                // Folded line: the break and one whitespace character go.
                if (pending.keep) {
                    m_logical.append(line.data() + 1, size_t(line.size() - 1));
                }
                pending.end = m_lines.position();
                softBreak = pending.quotedPrintable && line.endsWith('=');
                continue;
            }
            if (!handle(pending, logical())) {
                stopped = true;
                active = false;
                break;
            }
        }
        pending = Pending{};
        qsizetype nameEnd = 0;
        bool quoteInName = false;
        pending.property = propertyOf(propertyName(line, nameEnd, quoteInName));
        pending.keep = m_inCard && pending.property != Property::Other &&
                       pending.property != Property::Begin && pending.property != Property::End;
        if (line.endsWith('=') || pending.keep) {
            pending.keyEnd = keyEndAfterName(line, nameEnd, quoteInName, &pending.unquotedKey);
            pending.quotedPrintable = declaresQuotedPrintable(line, pending.keyEnd);
        }
        pending.start = m_lines.lineStart();
        pending.end = m_lines.position();
        softBreak = pending.quotedPrintable && line.endsWith('=');
        active = true;
        if (pending.keep) {
            // A value of one line is taken straight from the reader's buffer: a huge one is not copied.
            const int next = m_lines.peek();
            if (next < 0 || (!softBreak && next != ' ' && next != '\t')) {
                handle(pending, m_lines.currentLine());
                active = false;
                continue;
            }
            const QByteArrayView current = m_lines.currentLine();
            m_logical.assign(current.data(), size_t(current.size()));
        }
    }
    if (active && !m_lines.failed() && !handle(pending, logical())) {
        stopped = true;
    }
    closeCard();
    if (m_lines.cancelled()) {
        VcardReadResult cancelled;
        cancelled.status = VcardReadResult::Status::Cancelled;
        return cancelled;
    }
    if (m_lines.failed()) {
        m_result.status = VcardReadResult::Status::ReadError;
        m_result.error = m_lines.errorString();
    } else if (stopped) {
        m_result.status = VcardReadResult::Status::StrayEnd;
    }
    if (m_progress && !stopped) {
        m_progress(m_lines.bytesRead(), m_total);
    }
    return std::move(m_result);
}

// A device of its own on the same bytes, for a reader on another thread; null where there is none. A file
// is opened again through its descriptor's link under /proc, which names the very file open here even
// when it was renamed, removed or opened without a name; an own open file has its own read offset.
std::unique_ptr<QIODevice> reopened(QIODevice& device, qint64 size) {
    if (auto* file = qobject_cast<QFile*>(&device)) {
        if (file->handle() < 0) {
            return nullptr;
        }
        auto copy = std::make_unique<QFile>();
        FileStamp stamp;
        struct stat info {};
        if (::fstat(file->handle(), &info) != 0 ||
            !openRegularFile(QStringLiteral("/proc/self/fd/%1").arg(file->handle()), *copy, &stamp) ||
            stamp.device != quint64(info.st_dev) || stamp.inode != quint64(info.st_ino) ||
            stamp.size < size) {
            return nullptr;
        }
        return copy;
    }
    if (auto* buffer = qobject_cast<QBuffer*>(&device)) {
        auto copy = std::make_unique<QBuffer>();
        copy->setData(buffer->data());
        if (copy->open(QIODevice::ReadOnly)) {
            return copy;
        }
    }
    return nullptr;
}

// The first offset at or after `from` where a line "BEGIN:" starts that the line-by-line reading
// certainly takes for a property line of its own, or -1. The line before it must not end in "=": in a
// quoted-printable value that is a soft line break, and the "BEGIN" line would be the value's rest.
qint64 nextCardStart(QIODevice& device, qint64 from, qint64 size) {
    constexpr qint64 Back = 3; // "=" CR LF before the candidate
    constexpr qint64 Needle = 6;
    qint64 block = 4096;
    qint64 pos = from;
    while (pos < size) {
        const qint64 base = std::max<qint64>(0, pos - Back);
        if (!device.seek(base)) {
            return -1;
        }
        const QByteArray bytes = device.read(std::min(block + (pos - base) + Needle, size - base));
        const char* const d = bytes.constData();
        const qint64 n = bytes.size();
        for (qint64 i = pos - base; i + Needle <= n; ++i) {
            const auto* hit = static_cast<const char*>(std::memchr(d + i, 'B', size_t(n - Needle + 1 - i)));
            if (hit == nullptr) {
                break;
            }
            i = hit - d;
            if (i < 1 || std::memcmp(hit, "BEGIN:", Needle) != 0 || (d[i - 1] != '\n' && d[i - 1] != '\r')) {
                continue;
            }
            qint64 lineBreak = i - 1;
            if (d[lineBreak] == '\n' && lineBreak >= 1 && d[lineBreak - 1] == '\r') {
                --lineBreak;
            }
            if (lineBreak == 0 && base > 0) {
                continue; // the line before cannot be seen; never happens with three bytes of context
            }
            if (lineBreak >= 1 && d[lineBreak - 1] == '=') {
                continue;
            }
            return base + i;
        }
        if (base + n >= size || base + n - Needle <= pos) {
            return -1;
        }
        pos = base + n - Needle + 1;
        block = std::min<qint64>(block * 2, 1 << 20);
    }
    return -1;
}

} // namespace

namespace {

VcardReadResult cancelledResult() {
    VcardReadResult result;
    result.status = VcardReadResult::Status::Cancelled;
    return result;
}

// readVcardInParts for the first `size` bytes of the device.
VcardReadResult readInParts(QIODevice& device, const ReadProgress& progress, qint64 segmentBytes,
                            qint64 size) {
    const auto sequential = [&]() {
        Reader reader(device, progress, size);
        return reader.run();
    };
    if (device.isSequential() || device.pos() != 0 || segmentBytes <= 0 || size <= segmentBytes) {
        return sequential();
    }
    std::unique_ptr<QIODevice> second = reopened(device, size);
    if (second == nullptr) {
        return sequential();
    }
    qsizetype markLength = 0;
    const QByteArray head = device.peek(4);
    if (LineReader::encodingOf(head, markLength) != LineReader::Encoding::Bytes) {
        return sequential();
    }
    std::vector<qint64> starts{0};
    for (qint64 target = segmentBytes; target < size; target += segmentBytes) {
        const qint64 from = std::max(target, starts.back() + 1);
        const qint64 at = from < size ? nextCardStart(device, from, size) : -1;
        if (at < 0) {
            break;
        }
        starts.push_back(at);
    }
    if (!device.seek(0)) {
        return sequential();
    }
    if (starts.size() == 1) {
        return sequential();
    }

    struct Part {
        qint64 start = 0;
        qint64 end = 0;
        VcardReadResult result;
    };
    std::vector<Part> parts(starts.size());
    for (size_t k = 0; k < parts.size(); ++k) {
        parts[k].start = starts[k];
        parts[k].end = k + 1 < starts.size() ? starts[k + 1] : size;
    }
    std::atomic<size_t> next{0};
    std::atomic<size_t> firstStop{parts.size()}; // parts after one that stops the reading are not needed
    std::atomic<qint64> bytesDone{0};
    std::atomic<bool> stop{false}; // cancelled, or the other thread failed: both threads leave
    const std::function<bool()> report = [&] {
        if (progress && !stop && !progress(bytesDone, size)) {
            stop = true;
        }
        return !stop;
    };
    const auto readParts = [&](QIODevice& source, bool reporting) {
        for (size_t k = next++; k < parts.size() && k <= firstStop && !stop; k = next++) {
            Part& part = parts[k];
            qint64 counted = part.start;
            const ReadProgress onProgress = [&](qint64 done, qint64) {
                bytesDone += done - counted;
                counted = done;
                return reporting ? report() : !stop;
            };
            Reader reader(source, onProgress, part.start, part.end, size, &stop);
            part.result = reader.run();
            if (part.result.status != VcardReadResult::Status::ReadToEnd) {
                size_t stopAt = firstStop;
                while (k < stopAt && !firstStop.compare_exchange_weak(stopAt, k)) {
                }
            }
        }
    };
    std::exception_ptr failure;
    std::promise<void> helperDone;
    std::future<void> helperFinished = helperDone.get_future();
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                readParts(*second, false);
            } catch (...) {
                failure = std::current_exception();
                stop = true;
            }
            helperDone.set_value();
        });
    } catch (const std::system_error&) {
        // No thread to be had (memory or process limits): one reader does it all.
        return sequential();
    }
    try {
        readParts(device, true);
    } catch (...) {
        stop = true;
        helper.join();
        throw;
    }
    // The caller's progress display lives on this thread, so this thread reports while the helper works.
    while (helperFinished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        report();
    }
    helper.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (stop) {
        return cancelledResult();
    }

    VcardReadResult result;
    for (Part& part : parts) {
        result.table->appendTable(*part.result.table);
        if (part.result.status != VcardReadResult::Status::ReadToEnd) {
            result.status = part.result.status;
            result.error = part.result.error;
            break;
        }
    }
    if (progress && result.status != VcardReadResult::Status::StrayEnd) {
        progress(bytesDone, size);
    }
    return result;
}

VcardReadResult readUpTo(QIODevice& device, const ReadProgress& progress, qint64 size) {
    // Large files are read by two threads; below this the second thread costs more than it saves.
    constexpr qint64 TwoThreadsFrom = 16 << 20;
    if (!device.isSequential() && size >= TwoThreadsFrom && std::thread::hardware_concurrency() >= 2) {
        // Eight parts, which the two threads take in turn: a thread that gets less of the processor
        // from other programs then reads fewer of them, rather than keeping the other waiting.
        return readInParts(device, progress, (size + 7) / 8, size);
    }
    Reader reader(device, progress, size);
    return reader.run();
}

} // namespace

VcardReadResult readVcardInParts(QIODevice& device, const ReadProgress& progress, qint64 segmentBytes) {
    return readInParts(device, progress, segmentBytes, device.isSequential() ? -1 : device.size());
}

VcardReadResult readVcard(QIODevice& device, const ReadProgress& progress) {
    return readUpTo(device, progress, device.isSequential() ? -1 : device.size());
}

QString readFailureReason(const QString& path, const QString& deviceError) {
    if (deviceError.isEmpty()) {
        return QStringLiteral("Die Datei konnte nicht gelesen werden.");
    }
    return deviceErrorReason(deviceError, path);
}

VcardReadResult readVcardFile(const QString& path, const ReadProgress& progress) {
    VcardReadResult result;
    try {
        QFile file;
        FileStamp stamp;
        QString reason;
        if (!openRegularFile(path, file, &stamp, &reason)) {
            result.status = VcardReadResult::Status::ReadError;
            result.error = reason;
            return result;
        }
        result = readUpTo(file, progress, stamp.size);
        result.stamp = stamp;
        result.table->setSourceStamp(stamp);
        if (result.status == VcardReadResult::Status::ReadError) {
            result.error = readFailureReason(path, result.error);
        }
    } catch (const std::bad_alloc&) {
        // The partial tables are gone with the unwinding; what is left is enough for the message.
        result.table.reset();
        result.table = std::make_shared<ContactTable>();
        result.status = VcardReadResult::Status::OutOfMemory;
        result.error.clear();
    }
    return result;
}
