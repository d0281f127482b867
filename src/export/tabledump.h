#pragma once

#include <QString>

namespace tovanel {

class AddressTableModel;

// The text form of an import that `tovanel-bench dump` prints and the import tests compare against.
namespace TableDump {

// A cell with backslash, tab, carriage return and line feed written as "\\", "\t", "\r" and "\n".
QString escaped(const QString& cell);

// One row pair: the 8 cells of `Adressen` row `row`, the 8 cells of the `adrData` row with the same
// index, and the bold columns of the `Adressen` row as a comma-separated list, all joined by tabs.
QString row(const AddressTableModel& contactModel, const AddressTableModel& addressModel, int row);

// A message box the import showed, as one line.
QString message(const QString& text);

} // namespace TableDump

} // namespace tovanel
