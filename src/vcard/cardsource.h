#pragma once

#include "platform/regularfile.h"

#include <QByteArray>
#include <QString>

namespace tovanel {

class ContactTable;

// Where a contact's vCard text lies in the file it was imported from, in bytes.
struct CardSourceRange {
    qint64 start = 0;
    // One past the last byte; -1: up to the end of the file.
    qint64 end = -1;
    friend bool operator==(const CardSourceRange&, const CardSourceRange&) = default;
};

// The range runs from just past the previous card's "END" line (the start of the file for the first
// contact, so whatever stands before the first card belongs to it) to just past this card's "END" line.
// It is taken from the contact itself, so a re-sorted list does not matter. Where the previous card has
// no "END" line, the range starts at this card's "BEGIN" line; a card without one of its own runs up to
// the next card's "BEGIN" line or the end of the file.
CardSourceRange cardSourceRange(const ContactTable& table, qsizetype contact);

struct CardSourceText {
    bool ok = false;
    QString text;
    // readCardBytes: the card's bytes as the file holds them; a UTF-16 file's converted to UTF-8, and then
    // `unicode` is set.
    QByteArray bytes;
    bool unicode = false;
    // Why the file could not be read (German), when not ok.
    QString error;
    // Not ok because the file is no longer the one the range was taken from.
    bool changed = false;
};

// Reads a range of a vCard file as text, decoded the way the import decodes the file: UTF-8 where valid,
// else Windows-1252; UTF-16 files as UTF-16. A byte-order mark is not part of any card, and the line
// break ending the range is dropped. Only a regular file is read. With a valid `expectedStamp` (the
// table's sourceStamp()), a file whose size, modification or change time or identity differ from it is not
// read at all: its bytes at the old offsets would be another card's. Without one, the file is read as it is
// now: bytes past its end are not there.
CardSourceText readCardSource(const QString& path, CardSourceRange range,
                              const FileStamp& expectedStamp = {});
// The same range as bytes for reading its properties, which decode their values themselves.
CardSourceText readCardBytes(const QString& path, CardSourceRange range, const FileStamp& expectedStamp = {});

} // namespace tovanel
