#pragma once

#include "export/contactrecords.h"

#include <QString>
#include <memory>

namespace tovanel {

// The phone book a FRITZ!Box imports, named `title`.
std::unique_ptr<ContactRecords> fritzBoxRecords(const QString& title);

} // namespace tovanel
