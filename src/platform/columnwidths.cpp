#include "platform/columnwidths.h"

#include <QStringList>
#include <cmath>

namespace tovanel {

ColumnWidths::ColumnWidths(const QString& widths) {
    for (const QString& part : widths.split(QLatin1Char(','))) {
        const QString item = part.trimmed();
        Column column;
        if (item.endsWith(QLatin1Char('*'))) {
            column.share = true;
            const QString number = item.chopped(1).trimmed();
            column.value = number.isEmpty() ? 1.0 : number.toDouble();
        } else {
            column.value = item.toDouble();
        }
        m_columns.append(column);
    }
}

QList<int> ColumnWidths::widthsFor(int columnCount, int totalWidth, const QList<bool>& hidden) const {
    QList<int> widths(columnCount, 0);
    double fixed = 0;
    double shares = 0;
    const auto isHidden = [&hidden](int c) { return c < hidden.size() && hidden[c]; };
    for (int c = 0; c < columnCount; ++c) {
        if (isHidden(c)) {
            continue;
        }
        if (c >= m_columns.size()) {
            shares += 1.0;
        } else if (m_columns[c].share) {
            shares += m_columns[c].value;
        } else {
            fixed += m_columns[c].value;
        }
    }
    const double left = std::max(0.0, totalWidth - fixed);
    // Shares are rounded so that their sum is exactly what is left: no pixel gap at the right edge.
    double used = 0;
    int given = 0;
    for (int c = 0; c < columnCount; ++c) {
        if (isHidden(c)) {
            continue;
        }
        const bool share = c >= m_columns.size() || m_columns[c].share;
        const double value = c >= m_columns.size() ? 1.0 : m_columns[c].value;
        if (!share) {
            widths[c] = int(std::lround(value));
            continue;
        }
        used += shares > 0 ? left * value / shares : 0;
        const int upTo = int(std::lround(used));
        widths[c] = upTo - given;
        given = upTo;
    }
    return widths;
}

} // namespace tovanel
