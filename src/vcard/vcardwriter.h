#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QStringView>

namespace tovanel {

// How a card is written: the escapes of a text value and the folding of a content line, shared by every
// writer of vCard text (the exports, the QR code's card).
namespace VcardWriter {

// Whether a character of a value is written: control characters but the tab have no place in a line and
// confuse readers, and a byte-order mark inside a value is what a file joined to another left there.
inline bool isWrittenCharacter(QChar c) {
    return c == u'\t' || (c.unicode() >= 0x20 && c.unicode() != 0x7F && c.unicode() != 0xFEFF);
}

// A text value as vCard 3.0 and 4.0 write it (RFC 2426 5.8.4, RFC 6350 3.4), in UTF-8: backslash, comma
// and semicolon behind a backslash, a line break (CR LF, LF or CR) as "\n", nothing that
// isWrittenCharacter leaves out.
QByteArray escapedText(QStringView value);

// Appends `line` (a whole content line without its end) to `out` folded as RFC 6350 3.2 asks: at most
// 75 octets a line, each continuation starting with one blank, never inside a UTF-8 sequence, each line
// ended by CR LF.
void appendFolded(QByteArray& out, QByteArrayView line);

// Appends a vCard 2.1 line whose value is quoted-printable: `key` (ending in ":") and `value` as bytes,
// every byte that is not printable ASCII (and "=", and a blank before a line end) as "=XX", lines of at
// most 76 octets joined by soft line breaks ("=" at the end) that never split an "=XX", ended by CR LF.
// The key is never folded (the first line is longer where it is).
void appendQuotedPrintable(QByteArray& out, QByteArrayView key, QByteArrayView value);

} // namespace VcardWriter

} // namespace tovanel
