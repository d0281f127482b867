#pragma once

#include <QString>

namespace tovanel {

class ContactListModel;

// The text form of an import that `tovanel-bench dump` prints and the import tests compare against.
namespace TableDump {

// A cell with backslash, tab, carriage return and line feed written as "\\", "\t", "\r" and "\n".
QString escaped(const QString& cell);

// One row pair: the 8 cells of the contact list's row `row`, the 8 cells of the address list's row with
// the same index, and the bold columns of the contact list's row as a comma-separated list, all joined by
// tabs.
QString row(const ContactListModel& contactModel, const ContactListModel& addressModel, int row);

// A message box the import showed, as one line.
QString message(const QString& text);

} // namespace TableDump

} // namespace tovanel
