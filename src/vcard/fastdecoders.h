#pragma once

#include <QByteArrayView>
#include <cstddef>

namespace tovanel {

// The decoders for the text most values hold: ASCII, German UTF-8 and Windows-1252. They write UTF-16
// straight into a buffer the caller owns, a word or a vector at a time where they can, and note on the way
// whether the text holds a backslash, so that text without one skips unescaping. Each writes what the
// general decoders (decoders.h) give for the same bytes.

// Widens the bytes up to the first one that is not ASCII into `dst`, which has room for all of them,
// noting whether they hold a backslash; returns how many were widened.
size_t widenAscii(char16_t* dst, const char* p, size_t size, bool& backslash);

// Decodes UTF-8 whose characters are all ASCII or two bytes long, which covers German text, from byte
// `from` of `bytes` on into `dst`, which has room for the rest of the bytes; returns the number of
// characters written. Such a sequence is valid whenever its lead byte is C2..DF and a continuation byte
// follows, so it decodes exactly as the full UTF-8 decoder would; anything else is left to that decoder
// (-1, and `backslash` is left as it was). `backslash` carries the note for the bytes before `from`.
qsizetype continueTwoByteUtf8(char16_t* dst, QByteArrayView bytes, qsizetype from, bool& backslash);

// Decodes Windows-1252 from byte `from` of `bytes` on into `dst`, as decodeWindows1252 does; `dst` has
// room for the rest of the bytes, each of which gives one character.
void continueWindows1252(char16_t* dst, QByteArrayView bytes, qsizetype from, bool& backslash);

} // namespace tovanel
