#pragma once

#include "platform/regularfile.h"

#include <QByteArray>
#include <QString>
#include <memory>

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
// The card alone, for programs that take a vCard (a drag, an export): from its "BEGIN" line to the end of
// the range, without what stands before it in the file.
CardSourceRange cardRange(const ContactTable& table, qsizetype contact);

namespace CardLimits {
// A larger card is shown with its fixed rows and a word why: reading it whole would make the detail
// window slow to open, and no card of a real exporter comes near (a photo that can be shown fits).
constexpr qint64 FurtherRowsBytes = qint64(24) << 20;
// A larger card is not read at all: not for the source view, a drag or an export.
constexpr qint64 CardBytes = qint64(64) << 20;
} // namespace CardLimits

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
    // Not ok because the range holds more bytes than the reading allowed; `size` says how many.
    bool tooLarge = false;
    qint64 size = 0;
};

// Reads a range of a vCard file as text, decoded the way the import decodes the file: UTF-8 where valid,
// else Windows-1252; UTF-16 files as UTF-16. A byte-order mark is not part of any card, and the line
// break ending the range is dropped. Only a regular file is read. With a valid `expectedStamp` (the
// table's sourceStamp()), a file whose size, modification or change time or identity differ from it is not
// read at all: its bytes at the old offsets would be another card's. Without one, the file is read as it is
// now: bytes past its end are not there.
// A range of more than `limit` bytes is not read.
CardSourceText readCardSource(const QString& path, CardSourceRange range, const FileStamp& expectedStamp = {},
                              qint64 limit = CardLimits::CardBytes);
// The same range as bytes for reading its properties, which decode their values themselves.
CardSourceText readCardBytes(const QString& path, CardSourceRange range, const FileStamp& expectedStamp = {},
                             qint64 limit = CardLimits::CardBytes);

// Reads the cards of many contacts in a row, as readCardBytes reads one (cardRange, CardLimits::CardBytes),
// keeping the file of the last one open: an export of a million cards opens and checks each file once.
class CardBytesReader final {
public:
    CardBytesReader();
    ~CardBytesReader();
    Q_DISABLE_COPY_MOVE(CardBytesReader)
    // The card of `contact` of `table`, out of the file it was read from; not ok for a contact from no
    // file.
    CardSourceText card(const ContactTable& table, qsizetype contact);

private:
    struct OpenFile;
    std::unique_ptr<OpenFile> m_open;
};

} // namespace tovanel
