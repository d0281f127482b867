#pragma once

#include "platform/columnwidths.h"

#include <QTableView>
#include <functional>

class QMimeData;

namespace tovanel {

// A list box with cells: a table view without grid or row numbers whose column widths follow a
// width list (see ColumnWidths), recomputed whenever the space for the columns changes (the
// list is resized, or its vertical scroll bar comes or goes). Columns given no width are hidden, so the
// keyboard never lands in them.
class ListBox : public QTableView {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    void setColumnWidths(const QString& widths);
    // Shows or hides a column whatever its width; the others share its room.
    void setColumnShown(int column, bool shown);
    bool isColumnShown(int column) const { return !m_hidden.value(column); }
    void setModel(QAbstractItemModel* model) override;

    // Selected row, -1 when none (the list's "ListIndex").
    int selectedRow() const;
    void selectRow(int row);

    // Typing letters selects the next row starting with them (the view's keyboard search); on by default.
    void setTypeAheadEnabled(bool on) { m_typeAhead = on; }
    bool typeAheadEnabled() const { return m_typeAhead; }

    // Where a drag of a row gets its text from. With a source set, a drag carries that text as plain text
    // (and what setDragFormats adds); an empty text starts no drag. Without one, the model's own drag data
    // is used.
    void setDragText(std::function<QString()> source) { m_dragText = std::move(source); }
    // Further formats for a drag with a text source, such as the contact itself for programs that take it
    // whole; called with the drag's data after its text is set.
    void setDragFormats(std::function<void(QMimeData&)> add) { m_dragFormats = std::move(add); }
    // The data a drag started now would carry (caller owns it), nullptr when no drag would start.
    QMimeData* createDragData() const;

    void keyboardSearch(const QString& search) override;

signals:
    // A double-click anywhere in the list, on a row or below the last one.
    void doubleClick();
    // A context menu is wanted for `cell` (invalid: none) at `globalPos`: under the mouse, or for the Menu
    // key and Shift+F10 at the current cell, wherever the mouse is.
    void menuRequested(const QModelIndex& cell, const QPoint& globalPos);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;

private:
    void applyColumnWidths();
    void requestMenuAtCurrentCell();

    ColumnWidths m_widths;
    QList<bool> m_hidden;
    bool m_typeAhead = true;
    std::function<QString()> m_dragText;
    std::function<void(QMimeData&)> m_dragFormats;
};

} // namespace tovanel
