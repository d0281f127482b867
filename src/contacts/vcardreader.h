#pragma once

#include "contacttable.h"
#include "regularfile.h"

#include <QString>
#include <functional>
#include <memory>

class QIODevice;

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
    // The file as it was opened (readVcardFile only): what the table's positions refer to.
    FileStamp stamp;
};

// The longest line the import keeps whole. Longer ones are cut to it (their card positions stay right):
// no real card has such a line, and a file without line breaks is then not held in memory whole.
inline constexpr qsizetype MaxLineLength = qsizetype(64) << 20;

// Called now and then (every megabyte or so, and also inside long lines) with the bytes read so far and
// the file's size; returns whether to go on. Stopping ends the reading within a chunk on every thread.
using ReadProgress = std::function<bool(qint64 done, qint64 total)>;

// Reads every card of a vCard file (any version, any of the dialects phones and desktop programs write)
// into a table: one contact per "BEGIN" line, whatever object it begins.
VcardReadResult readVcard(QIODevice& device, const ReadProgress& progress = {});
// Reads only regular files, and of them only the bytes there when the file was opened. Running out of
// memory is reported as OutOfMemory, not thrown.
VcardReadResult readVcardFile(const QString& path, const ReadProgress& progress = {});
