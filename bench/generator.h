#pragma once

#include <cstdint>
#include <cstdio>

// Writes `count` vCards in the dialects real exports mix (Android 2.1 quoted-printable, generic 3.0 with
// folded lines, Apple groups, Google, Outlook 2.1 in Windows-1252), with CRLF line endings. The output
// depends on `count` and `seed` only, so a file can be rebuilt byte for byte on another machine.
void generateCards(std::FILE* out, std::int64_t count, std::uint64_t seed);

// Writes a file built to cost the import as much memory as possible per byte, `count` times one unit:
//   begin-flood       "BEGIN" lines, each an empty contact
//   empty-cards       "BEGIN:VCARD" / "END:VCARD" pairs
//   huge-line         one card whose note is a single line of `count` bytes, no line break after it
//   tiny-properties   one card of `count` one-character properties
// Returns false for an unknown kind.
bool generatePathological(std::FILE* out, const char* kind, std::int64_t count);
