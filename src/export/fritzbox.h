#pragma once

#include "contactlist/listcolumns.h"
#include "export/contactrecords.h"

#include <QString>
#include <memory>

namespace tovanel {

// The phone book a FRITZ!Box imports, named `title`.
std::unique_ptr<ContactRecords> fritzBoxRecords(const QString& title,
                                                NameOrder order = NameOrder::GivenFirst);

} // namespace tovanel
