#pragma once

#include "platform/regularfile.h"

#include <QString>

namespace tovanel {

// The file contacts were read from, as it was when they were read: its cards are found again at the
// positions the table keeps only while the file is unchanged. Shared by every contact read from it.
struct ContactSource {
    QString path;
    FileStamp stamp;
};

} // namespace tovanel
