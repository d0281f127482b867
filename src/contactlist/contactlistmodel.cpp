#include "contactlist/contactlistmodel.h"

#include "contactlist/collationsort.h"
#include "contacts/carddate.h"
#include "platform/displaytext.h"

#include <QCollator>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <new>
#include <numeric>
#include <optional>

namespace tovanel {

std::optional<Field> fieldForColumn(ContactListModel::List list, int column) {
    if (list == ContactListModel::List::Contacts) {
        if (column >= ContactColumn::Name && column <= ContactColumn::Email) {
            return Field(int(Field::Name) + column - ContactColumn::Name);
        }
        return std::nullopt;
    }
    if (column >= AddressColumn::HomeStreet && column <= AddressColumn::Note) {
        return Field(int(Field::HomeStreet) + column - AddressColumn::HomeStreet);
    }
    return std::nullopt;
}

ContactListModel::ContactListModel(List list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_table(std::make_shared<ContactTable>()) {
    m_boldFont.setBold(true);
    m_italicFont.setItalic(true);
}

QStringList ContactListModel::headings(List list) {
    QStringList headings;
    const int count = list == List::Contacts ? int(ContactColumn::Count) : int(AddressColumn::Count);
    for (int column = 0; column < count; ++column) {
        if (const std::optional<Field> field = fieldForColumn(list, column)) {
            headings << fieldCaption(*field);
        } else if (list == List::Contacts && column == ContactColumn::File) {
            headings << QStringLiteral("Datei");
        } else if (list == List::Contacts && isAddedColumn(column)) {
            headings << addedColumnCaption(column);
        } else {
            headings << (column == 0 ? QStringLiteral("ID") : QStringLiteral("Pos"));
        }
    }
    return headings;
}

void ContactListModel::setTable(std::shared_ptr<const ContactTable> table) {
    // Allocated before the views hear of a reset: running out of memory here leaves the list as it was.
    std::vector<std::uint32_t> order;
    if (m_list == List::Contacts && table) {
        order.resize(size_t(table->size()));
        std::iota(order.begin(), order.end(), 0u);
    }
    if (!table) {
        table = std::make_shared<ContactTable>();
    }
    beginResetModel();
    m_table = std::move(table);
    m_keys = m_list == List::Contacts ? std::make_unique<ListKeys>(m_table) : nullptr;
    m_fileNames.clear();
    m_order.swap(order);
    m_filter = {};
    m_filter.addedColumns = addedColumnBits();
    m_rows = {};
    m_sortColumn = -1;
    endResetModel();
}

void ContactListModel::restore(Shown shown) {
    const bool fits =
        m_list != List::Contacts || (shown.table && qsizetype(shown.order.size()) == shown.table->size());
    if (!fits) {
        setTable(std::move(shown.table));
        return;
    }
    beginResetModel();
    if (shown.table != m_table) {
        m_keys = m_list == List::Contacts ? std::make_unique<ListKeys>(shown.table) : nullptr;
    }
    m_table = std::move(shown.table);
    m_fileNames.clear();
    m_order = std::move(shown.order);
    m_filter = std::move(shown.filter);
    m_sortColumn = -1;
    m_rows = std::move(shown.rows);
    endResetModel();
}

qsizetype ContactListModel::contactAt(int row) const {
    return m_list == List::Contacts ? qsizetype(shownOrder()[size_t(row)]) : row;
}

bool ContactListModel::setFilter(const ContactFilter& asked) {
    ContactFilter filter = asked;
    filter.addedColumns = addedColumnBits();
    if (m_list != List::Contacts || filter == m_filter) {
        return true;
    }
    std::vector<std::uint32_t> rows;
    try {
        if (!filter.isEmpty()) {
            const bool narrowing = filtered() && filter.narrows(m_filter);
            rows = filterContacts(*m_table, narrowing ? m_rows : m_order, filter, searchIndex());
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    changeRows([&] {
        m_rows = std::move(rows);
        m_filter = filter;
    });
    return true;
}

const SearchIndex* ContactListModel::searchIndex() const {
    return m_keys ? m_keys->searchIndex() : nullptr;
}

void ContactListModel::duplicatesMarked() {
    if (m_list != List::Contacts || m_table->isEmpty()) {
        return;
    }
    if (m_filter.quick == ContactFilter::Quick::Duplicates) {
        std::vector<std::uint32_t> rows;
        try {
            rows = filterContacts(*m_table, m_order, m_filter, searchIndex());
        } catch (const std::bad_alloc&) {
            return; // the rows stay as they were, the marks show in them
        }
        changeRows([&] { m_rows = std::move(rows); });
    }
    if (rowCount() > 0) {
        emit dataChanged(index(0, ContactColumn::Name), index(rowCount() - 1, ContactColumn::Name));
    }
}

std::uint32_t ContactListModel::addedColumnBits() const {
    std::uint32_t bits = 0;
    for (const int column : m_addedColumns) {
        bits |= ContactFilter::columnBit(column);
    }
    return bits;
}

void ContactListModel::setNameOrder(NameOrder order) {
    if (order == m_nameOrder) {
        return;
    }
    m_nameOrder = order;
    if (m_sortColumn == ContactColumn::Name) {
        sort(m_sortColumn, m_sortOrder);
    }
    if (rowCount() > 0) {
        emit dataChanged(index(0, ContactColumn::Name), index(rowCount() - 1, ContactColumn::Name));
    }
}

bool ContactListModel::setAddedColumns(std::vector<int> columns) {
    m_addedColumns = std::move(columns);
    // The filter looks in the columns shown: the rows follow.
    ContactFilter filter = m_filter;
    m_filter.addedColumns = ~filter.addedColumns; // differs from any filter setFilter makes
    if (!setFilter(filter)) {
        m_filter = filter;
        return false;
    }
    return true;
}

void ContactListModel::changeRows(const std::function<void()>& install) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The persistent indexes (selection, current row) are few: each is looked up in the new rows.
    const QModelIndexList before = persistentIndexList();
    std::vector<qsizetype> contacts;
    contacts.reserve(size_t(before.size()));
    for (const QModelIndex& index : before) {
        contacts.push_back(contactAt(index.row()));
    }
    install();
    const std::vector<std::uint32_t>& shown = shownOrder();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const auto it = std::find(shown.begin(), shown.end(), std::uint32_t(contacts[size_t(i)]));
        after.append(it == shown.end() ? QModelIndex() : index(int(it - shown.begin()), before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString ContactListModel::numberCell(qsizetype contact, int column) const {
    if (column == ContactColumn::Number) {
        return QString::number(contact + 1);
    }
    const qint64 end = m_table->endPosition(contact);
    return end < 0 ? QString() : QString::number(end);
}

QString ContactListModel::fileName(qsizetype contact) const {
    const int file = m_table->fileOf(contact);
    if (file < 0) {
        return {};
    }
    if (m_fileNames.isEmpty()) {
        m_fileNames = distinguishingFileNames(m_table->filePaths());
    }
    return m_fileNames.value(file);
}

QString ContactListModel::cell(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
        return {};
    }
    const qsizetype contact = contactAt(row);
    if (m_list == List::Contacts) {
        if (column == ContactColumn::File) {
            return fileName(contact);
        }
        if (column == ContactColumn::Name) {
            return shownName(*m_table, contact, m_nameOrder);
        }
        if (isAddedColumn(column)) {
            QString scratch;
            return addedColumnText(*m_table, contact, column, scratch).toString();
        }
    }
    if (const std::optional<Field> field = fieldForColumn(m_list, column)) {
        return m_table->text(contact, *field).toString();
    }
    return numberCell(contact, column);
}

QString ContactListModel::dragText(int row) const {
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    QString text;
    for (int column = ContactColumn::Name; column <= ContactColumn::EndPosition; ++column) {
        text += cell(row, column) + QLatin1Char('\t');
    }
    return text;
}

QString ContactListModel::copyText(int row) const {
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    QStringList cells;
    for (int column = ContactColumn::Name; column <= ContactColumn::Email; ++column) {
        cells << cell(row, column);
    }
    return cells.join(QLatin1Char('\t'));
}

bool ContactListModel::isBold(int row, int column) const {
    if (m_list != List::Contacts || row < 0 || row >= rowCount()) {
        return false;
    }
    const std::optional<Field> field = fieldForColumn(m_list, column);
    return field && m_table->isBold(contactAt(row), *field);
}

int ContactListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return m_list == List::Contacts ? int(shownOrder().size()) : int(m_table->size());
}

int ContactListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return m_list == List::Contacts ? int(ContactColumn::Count) : int(AddressColumn::Count);
}

QVariant ContactListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const qsizetype contact = contactAt(index.row());
    // The name of a contact that is in the list more than once is set in italics.
    const bool duplicate =
        m_list == List::Contacts && index.column() == ContactColumn::Name && m_table->isDuplicate(contact);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (m_list == List::Contacts) {
            if (index.column() == ContactColumn::File) {
                const std::shared_ptr<const ContactSource> source = m_table->sourceOf(contact);
                return role == Qt::ToolTipRole && source ? displayText(source->path) : fileName(contact);
            }
            if (index.column() == ContactColumn::Name && m_nameOrder == NameOrder::FamilyFirst) {
                return cellText(m_table->familyFirstName(contact));
            }
            if (isAddedColumn(index.column())) {
                QString scratch;
                return cellText(addedColumnText(*m_table, contact, index.column(), scratch));
            }
        }
        // Read where the table keeps it: only the part shown is copied, however long the value.
        if (const std::optional<Field> field = fieldForColumn(m_list, index.column())) {
            return cellText(m_table->text(contact, *field));
        }
        return numberCell(contact, index.column());
    case Qt::FontRole:
        if (duplicate) {
            return m_italicFont;
        }
        return isBold(index.row(), index.column()) ? QVariant(m_boldFont) : QVariant();
    case Qt::AccessibleDescriptionRole:
        // A screen reader reads neither bold nor italic type.
        if (duplicate) {
            return QStringLiteral("Doppelt");
        }
        return isBold(index.row(), index.column()) ? QVariant(QStringLiteral("Favorit")) : QVariant();
    default:
        return {};
    }
}

QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) {
        return {};
    }
    return headings(m_list).at(section);
}

Qt::ItemFlags ContactListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_list == List::Contacts) {
        f |= Qt::ItemIsDragEnabled;
    }
    return f;
}

void ContactListModel::sort(int column, Qt::SortOrder order) {
    if (m_list != List::Contacts || column < 0 || column >= columnCount()) {
        return;
    }
    // Everything that needs memory happens before the views hear of a change, so that running out of
    // it leaves the list as it was, with no half-announced layout.
    std::vector<std::uint32_t> newOrder;
    std::vector<std::uint32_t> rows;
    try {
        newOrder = sortedOrder(column, order);
        // The filter stays: its contacts in the new order.
        if (filtered()) {
            rows = filterContacts(*m_table, newOrder, m_filter, searchIndex());
        }
    } catch (const std::bad_alloc&) {
        emit sortFailed();
        return;
    }
    m_sortColumn = column;
    m_sortOrder = order;
    changeRows([&] {
        m_order.swap(newOrder);
        m_rows.swap(rows);
    });
}

std::vector<std::uint32_t> ContactListModel::sortedOrder(int column, Qt::SortOrder order) const {
    std::vector<std::uint32_t> sorted;
    const std::optional<Field> field = fieldForColumn(m_list, column);
    if (!field && column == ContactColumn::Number) {
        // Contact numbers are unique: the sorted order is simply file order, or its reverse.
        sorted.resize(m_order.size());
        std::iota(sorted.begin(), sorted.end(), 0u);
        if (order == Qt::DescendingOrder) {
            std::reverse(sorted.begin(), sorted.end());
        }
        return sorted;
    }
    sorted = m_order;
    if (column == ContactColumn::File) {
        // Files by their names; within a file the order the list had.
        std::vector<int> rank(size_t(m_table->fileCount()));
        std::vector<int> files(rank.size());
        std::iota(files.begin(), files.end(), 0);
        QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
        collator.setNumericMode(true);
        std::vector<QString> names;
        for (int file : files) {
            names.push_back(QFileInfo(m_table->fileSource(file)->path).fileName());
        }
        std::stable_sort(files.begin(), files.end(), [&](int a, int b) {
            return collator.compare(names[size_t(a)], names[size_t(b)]) < 0;
        });
        for (size_t i = 0; i < files.size(); ++i) {
            rank[size_t(files[i])] = int(i);
        }
        const auto key = [&](std::uint32_t contact) { return rank[size_t(m_table->fileOf(contact))]; };
        std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
            return order == Qt::AscendingOrder ? key(a) < key(b) : key(b) < key(a);
        });
        return sorted;
    }
    if (column == ContactColumn::Birthday) {
        // By the day in the year, then the year (a day without a year first); a birthday that is no date
        // after the dates, by its text; no birthday last.
        std::vector<std::uint32_t> byText = m_order;
        sortByText(byText, column, Qt::AscendingOrder);
        std::vector<std::uint32_t> rank(m_order.size());
        for (size_t i = 0; i < byText.size(); ++i) {
            rank[byText[i]] = std::uint32_t(i);
        }
        const auto key = [&](std::uint32_t contact) -> quint64 {
            const CardDate date = CardDate::unpacked(m_table->birthday(contact));
            if (date.month == 0) {
                const bool written = !m_table->text(contact, Field::BirthdayText).isEmpty();
                return (quint64(written ? 1 : 2) << 40) | rank[contact];
            }
            return quint64(date.month * 32 + date.day) << 20 | quint64(date.year);
        };
        std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
            return order == Qt::AscendingOrder ? key(a) < key(b) : key(b) < key(a);
        });
        return sorted;
    }
    if (!field && !isAddedColumn(column)) {
        // The end position; a card without "END" sorts first.
        const auto key = [&](std::uint32_t contact) -> qint64 { return m_table->endPosition(contact); };
        std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
            return order == Qt::AscendingOrder ? key(a) < key(b) : key(b) < key(a);
        });
        return sorted;
    }
    sortByText(sorted, column, order);
    return sorted;
}

void ContactListModel::sortByText(std::vector<std::uint32_t>& sorted, int column, Qt::SortOrder order) const {
    const ContactTable& table = *m_table;
    if (column == ContactColumn::Name && m_keys) {
        // The names' ranks are made once per list: each sort by name is then a counting pass.
        if (const std::vector<std::uint32_t>* ranks = m_keys->nameRanks(m_nameOrder)) {
            sortByRank(sorted, *ranks, order);
            return;
        }
    }
    const QCollator collator = listCollator();
    const auto shown = sortedPart;
    if (column == ContactColumn::Name && m_nameOrder == NameOrder::FamilyFirst) {
        // By family name, and by given name among the same family names: the given names first, then,
        // keeping that order, the family names.
        sortByCollation(
            sorted, size_t(table.size()),
            [&](std::uint32_t contact) { return shown(familyFirstParts(table, contact).given); }, collator,
            order);
        sortByCollation(
            sorted, size_t(table.size()),
            [&](std::uint32_t contact) { return shown(familyFirstParts(table, contact).family); }, collator,
            order);
        return;
    }
    if (const std::optional<Field> field = fieldForColumn(m_list, column)) {
        sortByCollation(
            sorted, size_t(table.size()),
            [&](std::uint32_t contact) { return shown(table.text(qsizetype(contact), *field)); }, collator,
            order);
        return;
    }
    // An added column: its texts made once, where the table does not hold them as shown.
    std::vector<QString> made(size_t(table.size()));
    std::vector<QStringView> texts(size_t(table.size()));
    QString scratch;
    for (const std::uint32_t contact : sorted) {
        const QStringView text = addedColumnText(table, contact, column, scratch);
        if (text.data() == scratch.data() && !text.isEmpty()) {
            made[contact] = scratch;
            texts[contact] = shown(made[contact]);
        } else {
            texts[contact] = shown(text);
        }
    }
    sortByCollation(sorted, texts, collator, order);
}

} // namespace tovanel
