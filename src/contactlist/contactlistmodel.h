#pragma once

#include "contactlist/contactfilter.h"
#include "contactlist/contactlist.h"
#include "contactlist/listkeys.h"
#include "contacts/contacttable.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tovanel {

// One of the two lists over the imported contacts: the contact list (what the main window shows,
// sortable; columns ContactColumn) or the hidden address list (addresses and note, always in file order;
// columns AddressColumn). Both read the same ContactTable.
class ContactListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class List { Contacts, Addresses };
    // The columns both lists always have; the contact list has the file's name and the added columns
    // besides (ContactColumn), which the window shows as the user asks.
    static constexpr int ColumnCount = AddressColumn::Count;
    static_assert(int(ContactColumn::File) == ColumnCount);

    explicit ContactListModel(List list, QObject* parent = nullptr);

    List list() const { return m_list; }
    // Replaces every row in one reset; the rows come in file order.
    void setTable(std::shared_ptr<const ContactTable> table);
    const ContactTable& table() const { return *m_table; }
    std::shared_ptr<const ContactTable> sharedTable() const { return m_table; }

    // The table with its rows in the order they are shown, for putting the list back as the user left
    // it (an import that was given up).
    struct Shown {
        std::shared_ptr<const ContactTable> table;
        std::vector<std::uint32_t> order;
        ContactFilter filter;
        std::vector<std::uint32_t> rows;
    };
    Shown shown() const { return {m_table, m_order, m_filter, m_rows}; }
    // Replaces every row in one reset, in the order `shown` had.
    void restore(Shown shown);

    // Shows only the contacts `filter` lets through, in the list's order; the selection stays on its
    // contacts where they are still shown. A filter that narrows the one before looks only at the rows
    // shown. Returns false (the list as it was) when memory runs out.
    bool setFilter(const ContactFilter& filter);
    const ContactFilter& filter() const { return m_filter; }
    // How many contacts the list holds, shown or not.
    qsizetype contactCount() const { return m_table->size(); }

    // The contact (0-based, file order) shown in a row.
    qsizetype contactAt(int row) const;
    // The contact list's rows as they are shown; valid until the list changes.
    ContactList shownList() const {
        return {*m_table, shownOrder(), m_nameOrder, m_addedColumns, m_keys.get()};
    }

    // The table's duplicates were marked after it was set: the names show it, and the duplicates filter
    // takes them in.
    void duplicatesMarked();

    // Names shown "Jürgen Müller" or "Müller, Jürgen"; a list sorted by name is sorted again.
    void setNameOrder(NameOrder order);
    NameOrder nameOrder() const { return m_nameOrder; }
    // The columns the user added, in their order: the filter looks in them too. Returns false (as it
    // was) when memory runs out.
    bool setAddedColumns(std::vector<int> columns);
    const std::vector<int>& addedColumns() const { return m_addedColumns; }
    // A cell's text as the list shows it.
    QString cell(int row, int column) const;
    bool isBold(int row, int column) const;
    // The text a dragged row carries: its cells from "Name" to "Pos", each followed by a tab; empty for
    // no row.
    QString dragText(int row) const;
    // What copying a row gives: the cells the list shows, from "Name" to "e-mail", joined by tabs; neither
    // the contact number nor the file position.
    QString copyText(int row) const;

    static QStringList headings(List list);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Stable; the number columns sort as numbers, the text columns in German collation. When memory
    // runs out the order stays as it was and sortFailed() is emitted instead of a layout change.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    void sortFailed();

private:
    std::vector<std::uint32_t> sortedOrder(int column, Qt::SortOrder order) const;
    QString numberCell(qsizetype contact, int column) const;
    QString fileName(qsizetype contact) const;
    bool filtered() const { return !m_filter.isEmpty(); }
    // The rows shown: all of m_order, or the filter's.
    const std::vector<std::uint32_t>& shownOrder() const { return filtered() ? m_rows : m_order; }
    // Puts in a new order and rows as one layout change that keeps persistent indexes on their contacts.
    void changeRows(const std::function<void()>& install);

    List m_list;
    std::shared_ptr<const ContactTable> m_table;
    std::vector<std::uint32_t> m_order; // row -> contact (contact list only), every contact
    ContactFilter m_filter;
    std::vector<std::uint32_t> m_rows; // row -> contact while a filter is set: the contacts it shows
    NameOrder m_nameOrder = NameOrder::GivenFirst;
    std::vector<int> m_addedColumns;
    // The column the list was last sorted by, -1 for none.
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::uint32_t addedColumnBits() const;
    // Waits for the index where it is still being made; null where there is none.
    const SearchIndex* searchIndex() const;
    // Sorts `sorted` by a column that shows a field or an added column's text.
    void sortByText(std::vector<std::uint32_t>& sorted, int column, Qt::SortOrder order) const;
    // The "Datei" column's names, made at the first look after each new table.
    mutable QStringList m_fileNames;
    // The contact list's search index and name ranks.
    std::unique_ptr<ListKeys> m_keys;
    QFont m_boldFont;
    QFont m_italicFont;
};

// The field shown in a column of a list, or nothing for the number columns.
std::optional<Field> fieldForColumn(ContactListModel::List list, int column);

} // namespace tovanel
