#pragma once

#include <QList>
#include <QString>

namespace tovanel {

// A column width list such as "0,1.8*,0.8*,1*, 0" or "120, *": a plain number is a width in
// pixels, "n*" is n shares of the width the fixed columns leave over ("*" alone is one share).
class ColumnWidths final {
public:
    ColumnWidths() = default;
    explicit ColumnWidths(const QString& widths);

    bool isEmpty() const { return m_columns.isEmpty(); }
    // Pixel widths for the given number of columns in the given total width. Columns the list
    // does not mention share what is left equally with the starred ones; `hidden` columns get none and
    // leave their share to the others.
    QList<int> widthsFor(int columnCount, int totalWidth, const QList<bool>& hidden = {}) const;

private:
    struct Column {
        double value = 0;
        bool share = false;
    };
    QList<Column> m_columns;
};

} // namespace tovanel
