#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tovanel {

// Decoders for vCard property values. Each takes the bytes of one value and returns text; none keeps
// state or fails.

// Quoted-printable (RFC 2045) to bytes: "=XX" (either case) gives the byte, everything else is kept as it
// stands, including a "=" that is not followed by two hexadecimal digits.
QByteArray decodeQuotedPrintable(QByteArrayView value);
// The same into `out`, which has room for value.size() bytes; returns the number of bytes written.
qsizetype decodeQuotedPrintable(QByteArrayView value, char* out);

// Base64 to bytes; white space inside the value is ignored, and so is whatever cannot be decoded.
QByteArray decodeBase64(QByteArrayView value);

// True when the value contains a "=XX" hexadecimal escape.
bool containsQuotedPrintableEscape(QByteArrayView value);

// UTF-8 where the bytes are valid UTF-8, else Windows-1252: the two encodings real files use when they
// declare none, and the usual cause of bytes that are not UTF-8 although UTF-8 was declared.
QString decodeUtf8OrWindows1252(QByteArrayView bytes);
QString decodeWindows1252(QByteArrayView bytes);
// One byte of Windows-1252 as a character.
char16_t windows1252Char(unsigned char b);

// True when every byte is ASCII, which decodes alike under every charset name.
bool isAscii(QByteArrayView bytes);

// How decodeCharset reads a charset name (any case); no name is Utf8, names it leaves to the library's
// codecs are Other.
enum class CharsetFamily { Utf8, Windows1252, MacRoman, Other };
CharsetFamily charsetFamily(QByteArrayView charset);

// Bytes in the named charset. Unknown names are treated as no charset (UTF-8 or Windows-1252).
QString decodeCharset(QByteArrayView bytes, QByteArrayView charset);

// A quoted-printable value whose bytes are UTF-8.
QString decodeQuotedPrintableUtf8(QByteArrayView value);

// A value in the Mac OS Roman character set.
QString decodeMacRoman(QByteArrayView value);

// vCard text escapes: "\n" and "\N" become a line feed; "\,", "\;", "\\" and the "\:" some exporters
// write become the character itself.
QString unescapeText(const QString& text);
// The same in place; returns the new length, which is never greater than `size`.
qsizetype unescapeText(char16_t* text, qsizetype size);

} // namespace tovanel
