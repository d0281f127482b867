#include "vcard/decoders.h"

#include "vcard/asciicase.h"

#include <QStringDecoder>
#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>

namespace tovanel {

#endif

namespace {

constexpr std::array<signed char, 256> HexValues = [] {
    std::array<signed char, 256> values{};
    for (int c = 0; c < 256; ++c) {
        values[size_t(c)] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                            : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                            : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                                                   : static_cast<signed char>(-1);
    }
    return values;
}();

int hexValue(char c) {
    return HexValues[static_cast<unsigned char>(c)];
}

// Windows-1252 0x80..0x9F; the five bytes it leaves undefined keep their C1 control code points.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Mac OS Roman 0x80..0xFF.
constexpr std::array<char16_t, 128> MacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

struct CharsetName {
    QByteArrayView name;
    CharsetFamily family;
};

// Every charset name decoded here rather than by the library's codecs.
constexpr std::array<CharsetName, 11> CharsetNames = {{
    {"UTF-8", CharsetFamily::Utf8},
    {"UTF8", CharsetFamily::Utf8},
    {"US-ASCII", CharsetFamily::Utf8},
    {"ASCII", CharsetFamily::Utf8},
    // Files that say ISO-8859-1 are nearly always Windows-1252, which only adds characters to it.
    {"windows-1252", CharsetFamily::Windows1252},
    {"cp1252", CharsetFamily::Windows1252},
    {"ISO-8859-1", CharsetFamily::Windows1252},
    {"latin1", CharsetFamily::Windows1252},
    {"macintosh", CharsetFamily::MacRoman},
    {"x-mac-roman", CharsetFamily::MacRoman},
    {"MacRoman", CharsetFamily::MacRoman},
}};

} // namespace

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

CharsetFamily charsetFamily(QByteArrayView charset) {
    if (charset.isEmpty()) {
        return CharsetFamily::Utf8;
    }
    // Asked once per value that is not all ASCII: the size and first letter rule out most names cheaply.
    const char first = AsciiCase::lower(charset.front());
    for (const CharsetName& known : CharsetNames) {
        if (known.name.size() == charset.size() && AsciiCase::lower(known.name.front()) == first &&
            AsciiCase::equalSized(charset, known.name)) {
            return known.family;
        }
    }
    return CharsetFamily::Other;
}

qsizetype decodeQuotedPrintable(QByteArrayView value, char* out) {
    char* dst = out;
    const char* p = value.data();
    const char* const end = p + value.size();
    while (p < end) {
        if (*p == '=' && end - p >= 3) {
            const int high = hexValue(p[1]);
            const int low = hexValue(p[2]);
            if ((high | low) >= 0) {
                *dst++ = char(high * 16 + low);
                p += 3;
                continue;
            }
        }
        *dst++ = *p++;
    }
    return dst - out;
}

QByteArray decodeQuotedPrintable(QByteArrayView value) {
    QByteArray out(value.size(), Qt::Uninitialized);
    out.truncate(decodeQuotedPrintable(value, out.data()));
    return out;
}

bool containsQuotedPrintableEscape(QByteArrayView value) {
    for (qsizetype i = 0; i + 2 < value.size(); ++i) {
        if (value[i] == '=' && hexValue(value[i + 1]) >= 0 && hexValue(value[i + 2]) >= 0) {
            return true;
        }
    }
    return false;
}

QByteArray decodeBase64(QByteArrayView value) {
    // Photos are folded over thousands of lines: the white space goes in one branch-free pass.
    QByteArray compact(value.size(), Qt::Uninitialized);
    char* out = compact.data();
    for (const char c : value) {
        *out = c;
        out += (c != ' ' && c != '\t' && c != '\r' && c != '\n') ? 1 : 0;
    }
    compact.truncate(out - compact.data());
    return QByteArray::fromBase64(compact);
}

char16_t windows1252Char(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : char16_t(b);
}

QString decodeWindows1252(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (char c : bytes) {
        *dst++ = QChar(windows1252Char(static_cast<unsigned char>(c)));
    }
    return out;
}

QString decodeUtf8OrWindows1252(QByteArrayView bytes) {
    if (isAscii(bytes)) {
        return QString::fromLatin1(bytes);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError()) {
        return text;
    }
    return decodeWindows1252(bytes);
}

QString decodeCharset(QByteArrayView bytes, QByteArrayView charset) {
    const CharsetFamily family = charsetFamily(charset);
    if (family == CharsetFamily::Utf8 || isAscii(bytes)) {
        return decodeUtf8OrWindows1252(bytes);
    }
    if (family == CharsetFamily::MacRoman) {
        return decodeMacRoman(bytes);
    }
    if (family == CharsetFamily::Windows1252) {
        return decodeWindows1252(bytes);
    }
    QStringDecoder decoder(charset.toByteArray().constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) {
        return decodeUtf8OrWindows1252(bytes);
    }
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        // The bytes are not what the file declares; the usual truth is one of the two common ones.
        return decodeUtf8OrWindows1252(bytes);
    }
    return text;
}

QString decodeQuotedPrintableUtf8(QByteArrayView value) {
    return decodeUtf8OrWindows1252(decodeQuotedPrintable(value));
}

QString decodeMacRoman(QByteArrayView value) {
    QString out(value.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = QChar(b >= 0x80 ? MacRomanHigh[b - 0x80] : char16_t(b));
    }
    return out;
}

namespace {
// The first backslash in text[from, size), or size.
qsizetype nextBackslash(const char16_t* text, qsizetype from, qsizetype size) {
#ifdef __SSE2__
    const __m128i slash = _mm_set1_epi16(u'\\');
    for (; size - from >= 8; from += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + from));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(chunk, slash));
        if (mask != 0) {
            return from + __builtin_ctz(unsigned(mask)) / 2;
        }
    }
#endif
    while (from < size && text[from] != u'\\') {
        ++from;
    }
    return from;
}
} // namespace

qsizetype unescapeText(char16_t* text, qsizetype size) {
    // Escapes are few: the text between them moves in one piece, and up to the first not at all.
    qsizetype i = nextBackslash(text, 0, size);
    qsizetype out = i;
    while (i < size) {
        const char16_t next = i + 1 < size ? text[i + 1] : u'\0';
        if (i + 1 < size && (next == u'n' || next == u'N')) {
            text[out++] = u'\n';
            i += 2;
        } else if (i + 1 < size && (next == u',' || next == u';' || next == u'\\' || next == u':')) {
            // "\:" is no vCard escape, but some exporters (Apple's Address Book, gammu) escape colons too.
            text[out++] = next;
            i += 2;
        } else {
            // Not an escape vCard defines: keep the backslash, it may be part of the text.
            text[out++] = u'\\';
            ++i;
        }
        const qsizetype run = nextBackslash(text, i, size);
        if (out != i) {
            std::memmove(text + out, text + i, size_t(run - i) * sizeof(char16_t));
        }
        out += run - i;
        i = run;
    }
    return out;
}

QString unescapeText(const QString& text) {
    if (!text.contains(QLatin1Char('\\'))) {
        return text;
    }
    QString out = text;
    out.truncate(unescapeText(reinterpret_cast<char16_t*>(out.data()), out.size()));
    return out;
}

} // namespace tovanel
