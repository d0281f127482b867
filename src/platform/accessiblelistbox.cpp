#include "platform/accessiblelistbox.h"

#include "platform/listbox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QPointer>

namespace tovanel {

namespace {

class AccessibleListBox;

// One cell; the table owns it through the accessibility cache and drops it when the model changes.
class AccessibleCell final : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    AccessibleCell(ListBox* view, const QModelIndex& index) : m_view(view), m_index(index) {}

    bool isValid() const override { return m_view && m_index.isValid(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!isValid()) {
            return {};
        }
        switch (t) {
        case QAccessible::Name:
            return m_index.data(Qt::AccessibleTextRole).isValid()
                       ? m_index.data(Qt::AccessibleTextRole).toString()
                       : m_index.data(Qt::DisplayRole).toString();
        case QAccessible::Description:
            return m_index.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QRect local = m_view->visualRect(m_index);
        return QRect(m_view->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        state.selected = isSelected();
        state.focused = m_view->hasFocus() && m_view->currentIndex() == m_index;
        state.invisible = !m_view->viewport()->rect().intersects(m_view->visualRect(m_index));
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                       : nullptr;
    }

    bool isSelected() const override {
        return isValid() && m_view->selectionModel() && m_view->selectionModel()->isSelected(m_index);
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override;
    int rowIndex() const override { return m_index.row(); }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QPointer<ListBox> m_view;
    QPersistentModelIndex m_index;
};

// The view's visible columns, in the order they are shown, as model columns.
QList<int> shownColumns(const ListBox* view) {
    QList<int> columns;
    if (!view || !view->model()) {
        return columns;
    }
    const QHeaderView* header = view->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!view->isColumnHidden(logical)) {
            columns << logical;
        }
    }
    return columns;
}

int AccessibleCell::columnIndex() const {
    return isValid() ? int(shownColumns(m_view).indexOf(m_index.column())) : -1;
}

// The children are numbered as the item view numbers them in its own focus and selection events:
// a row for the column headings, all model columns. Headings and hidden columns have no child there;
// the table interface, which screen readers walk, knows only the shown columns.
class AccessibleListBox final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit AccessibleListBox(ListBox* view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~AccessibleListBox() override { dropCells(); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override {
        const QAbstractItemModel* model = view()->model();
        if (!model) {
            return 0;
        }
        return (model->rowCount() + headingRows()) * (model->columnCount() + headingColumns());
    }
    QAccessibleInterface* child(int index) const override {
        const QAbstractItemModel* model = view()->model();
        if (!model || index < 0) {
            return nullptr;
        }
        const int width = model->columnCount() + headingColumns();
        const int row = index / width - headingRows();
        const int column = index % width - headingColumns();
        if (row < 0 || column < 0 || row >= model->rowCount() || view()->isColumnHidden(column)) {
            return nullptr;
        }
        return cell(row, column);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const QAbstractItemModel* model = view()->model();
        if (!model || !child || child->role() != QAccessible::Cell) {
            return -1;
        }
        const auto* c = static_cast<const AccessibleCell*>(child);
        const int column = shownColumns(view()).value(c->columnIndex(), -1);
        if (column < 0) {
            return -1;
        }
        return (c->rowIndex() + headingRows()) * (model->columnCount() + headingColumns()) + column +
               headingColumns();
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() && !view()->isColumnHidden(index.column()) ? cell(index.row(), index.column())
                                                                          : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        const int logical = shownColumns(view()).value(column, -1);
        return logical >= 0 && row >= 0 && row < rowCount() ? cell(row, logical) : nullptr;
    }
    int columnCount() const override { return int(shownColumns(view()).size()); }
    int rowCount() const override { return view()->model() ? view()->model()->rowCount() : 0; }
    QString columnDescription(int column) const override {
        const int logical = shownColumns(view()).value(column, -1);
        return logical >= 0 ? view()->model()->headerData(logical, Qt::Horizontal).toString() : QString();
    }
    QString rowDescription(int) const override { return {}; }

    int selectedCellCount() const override { return int(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        const QList<int> columns = shownColumns(view());
        for (int row : selectedRows()) {
            for (int column : columns) {
                cells << cell(row, column);
            }
        }
        return cells;
    }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override {
        QList<int> rows;
        if (const QItemSelectionModel* selection = view()->selectionModel()) {
            for (const QModelIndex& index : selection->selectedRows()) {
                rows << index.row();
            }
        }
        return rows;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return selectedRows().contains(row); }
    bool selectRow(int row) override {
        if (row < 0 || row >= rowCount()) {
            return false;
        }
        view()->selectRow(row);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override {
        if (QItemSelectionModel* selection = view()->selectionModel();
            selection && row >= 0 && row < rowCount()) {
            selection->select(view()->model()->index(row, 0),
                              QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
            return true;
        }
        return false;
    }
    bool unselectColumn(int) override { return false; }
    // Any change of rows or columns renumbers cells; they are made anew when next asked for.
    void modelChange(QAccessibleTableModelChangeEvent*) override { dropCells(); }

private:
    ListBox* view() const { return static_cast<ListBox*>(widget()); }
    int headingRows() const { return view()->horizontalHeader()->isVisible() ? 1 : 0; }
    int headingColumns() const { return view()->verticalHeader()->isVisible() ? 1 : 0; }

    QAccessibleInterface* cell(int row, int column) const {
        const quint64 key = (quint64(quint32(row)) << 32) | quint32(column);
        if (const auto found = m_cells.constFind(key); found != m_cells.cend()) {
            if (QAccessibleInterface* known = QAccessible::accessibleInterface(*found)) {
                return known;
            }
        }
        auto* made = new AccessibleCell(view(), view()->model()->index(row, column));
        m_cells.insert(key, QAccessible::registerAccessibleInterface(made));
        return made;
    }
    void dropCells() {
        for (const QAccessible::Id id : std::as_const(m_cells)) {
            QAccessible::deleteAccessibleInterface(id);
        }
        m_cells.clear();
    }

    mutable QHash<quint64, QAccessible::Id> m_cells;
};

QAccessibleInterface* listBoxFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(ListBox::staticMetaObject.className()) && object &&
        object->isWidgetType()) {
        return new AccessibleListBox(static_cast<ListBox*>(object));
    }
    return nullptr;
}

} // namespace

void installListBoxAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(listBoxFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace tovanel
