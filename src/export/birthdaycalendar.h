#pragma once

#include "export/contactrecords.h"

#include <QDateTime>
#include <memory>

namespace tovanel {

// The birthdays and anniversaries of the contacts as an iCalendar file (RFC 5545) that calendar programs
// import: one all-day event a year for each, shown as free time. `stamp` is when the file is made
// (DTSTAMP); the events' UIDs do not depend on it, so the same list exported again replaces its events
// in a calendar instead of doubling them.
std::unique_ptr<ContactRecords>
birthdayCalendarRecords(const QDateTime& stamp = QDateTime::currentDateTimeUtc());

} // namespace tovanel
