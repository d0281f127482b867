#pragma once

#include "vcardreader.h"

// The reader's inner parts, for its tests.

// Reads `device` cut into parts of about `segmentBytes` bytes, two at a time on two threads, and joins
// their tables. Parts begin only at card starts that the line-by-line reading is sure to see as such;
// where a file offers none, or cannot be shared between two threads (not a file or buffer, UTF-16,
// not at its start), it is read in one go. The result is the same as readVcard's in every case.
VcardReadResult readVcardInParts(QIODevice& device, const ReadProgress& progress, qint64 segmentBytes);
