#pragma once

#include "export/contactrecords.h"

#include <memory>

namespace tovanel {

// The CSV files Google Contacts and Outlook import as they are.
std::unique_ptr<ContactRecords> googleCsvRecords();
std::unique_ptr<ContactRecords> outlookCsvRecords();

} // namespace tovanel
