#pragma once

#include "contacts/contacttable.h"
#include "platform/regularfile.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class QIODevice;

namespace tovanel {

// The outcome of reading one vCard file into a fresh table.
struct VcardReadResult {
    enum class Status {
        ReadToEnd,   // every line was read
        StrayEnd,    // an "END" line outside a card stopped the reading
        ReadError,   // the file could not be opened or read; `error` says why
        Cancelled,   // the progress callback asked to stop; the table is empty
        OutOfMemory, // memory ran out on the way; the table is empty
    };
    Status status = Status::ReadToEnd;
    std::shared_ptr<ContactTable> table = std::make_shared<ContactTable>();
    QString error;
};

// The longest line the import keeps whole. Longer ones are cut to it (their card positions stay right):
// no real card has such a line, and a file without line breaks is then not held in memory whole.
inline constexpr qsizetype MaxLineLength = qsizetype(64) << 20;

// Called now and then (every megabyte or so, and also inside long lines) with the bytes read so far and
// the file's size; returns whether to go on. Stopping ends the reading within a chunk on every thread.
using ReadProgress = std::function<bool(qint64 done, qint64 total)>;

// How a reading goes. The defaults read the whole device, a large file on two threads.
struct ReadOptions {
    ReadProgress progress = {};
    // Only the first `size` bytes; -1: the device's size, or to its end for a stream. Bytes a file gains
    // while it is read are not read.
    qint64 size = -1;
    // Reading in parts of about this many bytes, two at a time on two threads, joined into one table
    // exactly as one thread would have read it. AutomaticParts: large files in eight parts where there
    // are two cores; OneThread: never. A file that cannot be shared (a stream, UTF-16, a device not at
    // its start) or offers no card start to cut at is read in one go.
    qint64 partBytes = AutomaticParts;
    static constexpr qint64 AutomaticParts = 0;
    static constexpr qint64 OneThread = -1;
    // Only the bytes [rangeStart, rangeEnd) of a file of single bytes `size` long: one of those parts.
    qint64 rangeStart = -1;
    qint64 rangeEnd = -1;
    // Polled every chunk: set, it stops the reading as a progress callback's false does.
    const std::atomic<bool>* stop = nullptr;
};

// Reads every card of a vCard file (any version, any of the dialects phones and desktop programs write)
// into a table: one contact per "BEGIN" line, whatever object it begins.
VcardReadResult readVcard(QIODevice& device, const ReadOptions& options = {});
// Reads only regular files, and of them only the bytes there when the file was opened (`options.size` is
// that size); the table's source is the file as it was then. Running out of memory is reported as
// OutOfMemory, not thrown.
VcardReadResult readVcardFile(const QString& path, ReadOptions options = {});

} // namespace tovanel
