#pragma once

#include "columnwidths.h"

#include <QTableView>

// A list box with cells: a table view without grid or row numbers whose column widths follow a
// width specification (see ColumnWidths), recomputed whenever the list changes size. Columns given
// no width are hidden, so the keyboard never lands in them.
class ListBox : public QTableView {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    void setColumnWidths(const QString& spec);
    void setModel(QAbstractItemModel* model) override;

    // Selected row, -1 when none (the list's "ListIndex").
    int listIndex() const;
    void setListIndex(int row);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyColumnWidths();

    ColumnWidths m_widths;
};
