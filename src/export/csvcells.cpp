#include "export/csvcells.h"

#include "export/contactexport.h"

#include <algorithm>

namespace tovanel {

bool CsvCells::isPlainNumber(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }) &&
           std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.isDigit() || QStringView(u" +-/().").contains(c); });
}

void CsvCells::append(QString& line, QStringView text, QChar delimiter, QString& scratch, Kind kind,
                      Quoting quoting) {
    text = spreadsheetText(text, scratch);
    const bool number = kind == Kind::Number && !text.isEmpty() && [text] {
        for (const QStringView piece : text.tokenize(u" ::: ")) {
            if (!isPlainNumber(piece)) {
                return false;
            }
        }
        return true;
    }();
    const bool formula = !number && !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
    const bool quoted = formula || (quoting == Quoting::Always && !text.isEmpty()) ||
                        text.contains(delimiter) || text.contains(u'"') || text.contains(u'\n') ||
                        text.contains(u'\r');
    if (!quoted) {
        line += text;
        return;
    }
    line += u'"';
    if (formula) {
        line += u'\'';
    }
    for (const QChar c : text) {
        if (c == u'"') {
            line += u'"';
        }
        line += c;
    }
    line += u'"';
}

} // namespace tovanel
