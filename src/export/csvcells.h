#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace tovanel {

// How the CSV writers put a cell's text: what a spreadsheet cannot hold dropped (spreadsheetText), quoted
// as RFC 4180 has it, and guarded against running as a formula.
namespace CsvCells {

// Only digits, blanks and + - / ( ) . : a number, not a formula a card's author could have written.
bool isPlainNumber(QStringView text);

enum class Kind {
    Text,
    // A telephone number, a postal code or a date ("--05-17"), or several joined by " ::: " as Google
    // joins them: plain numbers stay as they are, though they may begin with "+" or "-".
    Number,
};
enum class Quoting {
    AsNeeded,
    // Every cell that holds anything, as Outlook writes its cells.
    Always,
};

// Appends `text` as one cell to `line`. A spreadsheet runs a cell beginning with = + - @ tab or CR as a
// formula; the cell is then quoted and begins with an apostrophe, which makes it text. `scratch` holds the
// text while control characters are dropped from it.
void append(QString& line, QStringView text, QChar delimiter, QString& scratch, Kind kind = Kind::Text,
            Quoting quoting = Quoting::AsNeeded);

} // namespace CsvCells

} // namespace tovanel
