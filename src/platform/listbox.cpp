#include "platform/listbox.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>

namespace tovanel {

ListBox::ListBox(QWidget* parent) : QTableView(parent) {
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    // Every row has the same height: the view need not ask the model for sizes, which keeps very
    // long lists fast.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ListBox::setColumnWidths(const QString& widths) {
    m_widths = ColumnWidths(widths);
    applyColumnWidths();
}

void ListBox::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    // A new table may bring a column more or less (the file column of a list of several files).
    if (model != nullptr) {
        connect(model, &QAbstractItemModel::modelReset, this, &ListBox::applyColumnWidths);
    }
    applyColumnWidths();
}

int ListBox::selectedRow() const {
    if (!selectionModel()) {
        return -1;
    }
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListBox::selectRow(int row) {
    if (!model() || !selectionModel()) {
        return;
    }
    if (row < 0 || row >= model()->rowCount()) {
        clearSelection();
        return;
    }
    int column = 0;
    while (column < model()->columnCount() && isColumnHidden(column)) {
        ++column;
    }
    const QModelIndex index = model()->index(row, column);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void ListBox::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        requestMenuAtCurrentCell();
    } else {
        // A mouse's event comes by way of the viewport, in its coordinates.
        emit menuRequested(indexAt(event->pos()), event->globalPos());
    }
    event->accept();
}

void ListBox::keyPressEvent(QKeyEvent* event) {
    // The other key for a context menu: Qt itself only knows the Menu key.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        requestMenuAtCurrentCell();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ListBox::requestMenuAtCurrentCell() {
    const QModelIndex cell = selectedRow() < 0 ? QModelIndex() : currentIndex();
    if (cell.isValid()) {
        scrollTo(cell);
    }
    const QRect place = visualRect(cell);
    emit menuRequested(cell, viewport()->mapToGlobal(place.isValid() ? QPoint(place.left(), place.bottom())
                                                                     : viewport()->rect().center()));
}

void ListBox::resizeEvent(QResizeEvent* event) {
    // Also called when only the viewport changes size (the vertical scroll bar comes or goes).
    QTableView::resizeEvent(event);
    applyColumnWidths();
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    // Below the last row there is nothing to open.
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        emit doubleClick();
    }
}

void ListBox::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    // The view makes its first cell current on focus without selecting it; the first arrow key would
    // then move on from there, and Home would select nothing. With no current cell, the first key
    // selects the first row.
    if (selectionModel() && !selectionModel()->hasSelection()) {
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    }
}

void ListBox::keyboardSearch(const QString& search) {
    if (m_typeAhead) {
        QTableView::keyboardSearch(search);
    }
}

QMimeData* ListBox::createDragData() const {
    if (!m_dragText) {
        const QModelIndexList indexes = selectedIndexes();
        return indexes.isEmpty() || !model() ? nullptr : model()->mimeData(indexes);
    }
    const QString text = m_dragText();
    if (text.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setText(text);
    if (m_dragFormats) {
        m_dragFormats(*data);
    }
    return data;
}

void ListBox::startDrag(Qt::DropActions supportedActions) {
    if (!m_dragText) {
        QTableView::startDrag(supportedActions);
        return;
    }
    QMimeData* data = createDragData();
    if (!data) {
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
}

QModelIndex ListBox::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    // Whole rows are selected, so Home and End go to the first and last row, not along the row.
    if (cursorAction == MoveHome || cursorAction == MoveEnd) {
        modifiers |= Qt::ControlModifier;
    }
    // Without a current row the table view starts every move at the first row; End means the last.
    if (cursorAction == MoveEnd && !currentIndex().isValid() && model() && model()->rowCount() > 0) {
        int column = 0;
        while (column + 1 < model()->columnCount() && isColumnHidden(column)) {
            ++column;
        }
        return model()->index(model()->rowCount() - 1, column);
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

void ListBox::setColumnShown(int column, bool shown) {
    if (column < 0) {
        return;
    }
    if (m_hidden.size() <= column) {
        m_hidden.resize(column + 1, false);
    }
    m_hidden[column] = !shown;
    applyColumnWidths();
}

void ListBox::applyColumnWidths() {
    if (!model() || m_widths.isEmpty()) {
        return;
    }
    const int columns = model()->columnCount();
    const QList<int> widths = m_widths.widthsFor(columns, viewport()->width(), m_hidden);
    for (int c = 0; c < columns; ++c) {
        setColumnHidden(c, widths[c] <= 0);
        if (widths[c] > 0) {
            setColumnWidth(c, widths[c]);
        }
    }
}

} // namespace tovanel
