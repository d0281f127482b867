#pragma once

#include "contacttable.h"

#include <QString>

#include <functional>
#include <memory>

class QIODevice;

// The outcome of reading one vCard file into a fresh table.
struct VcardReadResult {
    enum class Status {
        ReadToEnd, // every line was read
        StrayEnd,  // an "END" line outside a card stopped the reading
        ReadError, // the file could not be opened or read; `error` says why
    };
    Status status = Status::ReadToEnd;
    std::shared_ptr<ContactTable> table = std::make_shared<ContactTable>();
    QString error;
};

// The longest line the import keeps whole. Longer ones are cut to it (their card positions stay right):
// no real card has such a line, and a file without line breaks is then not held in memory whole.
inline constexpr qsizetype MaxLineLength = qsizetype(64) << 20;

// Called now and then with the bytes read so far and the file's size.
using ReadProgress = std::function<void(qint64 done, qint64 total)>;

// Reads every card of a vCard file (any version, any of the dialects phones and desktop programs write)
// into a table: one contact per "BEGIN" line, whatever object it begins.
VcardReadResult readVcard(QIODevice& device, const ReadProgress& progress = {});
VcardReadResult readVcardFile(const QString& path, const ReadProgress& progress = {});

// The German reason for a failed open or read, for messages.
QString readFailureReason(const QString& path, const QString& deviceError);
