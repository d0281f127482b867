#pragma once

#include "vcardreader.h"

#include <atomic>

// The reader's inner parts: what its files share, and what its tests reach.

// One reader, line by line, over the device up to `size` bytes (-1: to its end).
VcardReadResult readVcardLines(QIODevice& device, const ReadProgress& progress, qint64 size);
// One reader over the bytes [start, end) of a file of single bytes, `total` long; `stop`, when given, is
// polled every chunk.
VcardReadResult readVcardRange(QIODevice& device, const ReadProgress& progress, qint64 start, qint64 end,
                               qint64 total, const std::atomic<bool>* stop);

// Reads the first `size` bytes of the device (-1: all of it), a large file in parts on two threads.
VcardReadResult readVcardUpTo(QIODevice& device, const ReadProgress& progress, qint64 size);

// Reads `device` cut into parts of about `segmentBytes` bytes, two at a time on two threads, and joins
// their tables. Parts begin only at card starts that the line-by-line reading is sure to see as such;
// where a file offers none, or cannot be shared between two threads (not a file or buffer, UTF-16,
// not at its start), it is read in one go. The result is the same as readVcard's in every case.
VcardReadResult readVcardInParts(QIODevice& device, const ReadProgress& progress, qint64 segmentBytes);
