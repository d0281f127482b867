#pragma once

#include "vcard/vcardreader.h"

namespace tovanel {

// The reader's inner parts: the one-thread reading and the reading in parts, which readVcard chooses.
namespace VcardReading {

// One reader, line by line, over the whole device or the range the options name.
VcardReadResult readLines(QIODevice& device, const ReadOptions& options, qint64 size);
// The device's first `size` bytes cut into parts of about `partBytes`, read two at a time on two threads.
VcardReadResult readInParts(QIODevice& device, const ReadOptions& options, qint64 partBytes, qint64 size);

} // namespace VcardReading

} // namespace tovanel
