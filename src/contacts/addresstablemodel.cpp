#include "addresstablemodel.h"

#include "collationsort.h"
#include "displaytext.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <numeric>
#include <optional>

std::optional<Field> fieldForColumn(AddressTableModel::List list, int column) {
    if (list == AddressTableModel::List::Adressen) {
        if (column >= 1 && column <= 6) {
            return Field(column - 1);
        }
        return std::nullopt;
    }
    if (column >= 1 && column <= 7) {
        return Field(int(Field::Adresse) + column - 1);
    }
    return std::nullopt;
}

AddressTableModel::AddressTableModel(List list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_table(std::make_shared<ContactTable>()) {
    m_boldFont.setBold(true);
}

QStringList AddressTableModel::headings(List list) {
    if (list == List::Adressen) {
        return {QStringLiteral("ID"),         QStringLiteral("Name"),       QStringLiteral("Firma"),
                QStringLiteral("Tel-Mobil"),  QStringLiteral("Tel-Privat"), QStringLiteral("Tel-Arbeit"),
                QStringLiteral("e-mail"),     QStringLiteral("Pos")};
    }
    return {QStringLiteral("ID"),         QStringLiteral("Adresse"), QStringLiteral("PLZ"),
            QStringLiteral("Ort"),        QStringLiteral("Adr.Arbeit"), QStringLiteral("PLZ"),
            QStringLiteral("Ort"),        QStringLiteral("Notizen")};
}

void AddressTableModel::setTable(std::shared_ptr<const ContactTable> table) {
    beginResetModel();
    m_table = table ? std::move(table) : std::make_shared<ContactTable>();
    m_order.clear();
    if (m_list == List::Adressen) {
        m_order.resize(size_t(m_table->size()));
        std::iota(m_order.begin(), m_order.end(), 0u);
    }
    endResetModel();
}

qsizetype AddressTableModel::contactAt(int row) const {
    return m_list == List::Adressen ? qsizetype(m_order[size_t(row)]) : row;
}

QString AddressTableModel::numberCell(qsizetype contact, int column) const {
    if (column == 0) {
        return QString::number(contact + 1);
    }
    const qint64 end = m_table->endPosition(contact);
    return end < 0 ? QString() : QString::number(end);
}

QString AddressTableModel::cell(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= ColumnCount) {
        return {};
    }
    const qsizetype contact = contactAt(row);
    if (const std::optional<Field> field = fieldForColumn(m_list, column)) {
        return m_table->text(contact, *field).toString();
    }
    return numberCell(contact, column);
}

bool AddressTableModel::isBold(int row, int column) const {
    if (m_list != List::Adressen || row < 0 || row >= rowCount()) {
        return false;
    }
    const std::optional<Field> field = fieldForColumn(m_list, column);
    return field && m_table->isBold(contactAt(row), *field);
}

int AddressTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_table->size());
}

int AddressTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant AddressTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return displayText(cell(index.row(), index.column()));
    case Qt::FontRole:
        return isBold(index.row(), index.column()) ? QVariant(m_boldFont) : QVariant();
    default:
        return {};
    }
}

QVariant AddressTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) {
        return {};
    }
    return headings(m_list).at(section);
}

Qt::ItemFlags AddressTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_list == List::Adressen) {
        f |= Qt::ItemIsDragEnabled;
    }
    return f;
}

void AddressTableModel::sort(int column, Qt::SortOrder order) {
    if (m_list != List::Adressen || column < 0 || column >= ColumnCount) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> oldOrder = m_order;

    const std::optional<Field> field = fieldForColumn(m_list, column);
    if (!field) {
        // The number columns: contact number, or the end position (a card without "END" sorts first).
        if (column == 0) {
            // Contact numbers are unique: the sorted order is simply file order, or its reverse.
            std::iota(m_order.begin(), m_order.end(), 0u);
            if (order == Qt::DescendingOrder) {
                std::reverse(m_order.begin(), m_order.end());
            }
        } else {
            const auto key = [&](std::uint32_t contact) -> qint64 { return m_table->endPosition(contact); };
            std::stable_sort(m_order.begin(), m_order.end(), [&](std::uint32_t a, std::uint32_t b) {
                return order == Qt::AscendingOrder ? key(a) < key(b) : key(b) < key(a);
            });
        }
    } else {
        QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QStringView> texts(size_t(m_table->size()));
        for (size_t c = 0; c < texts.size(); ++c) {
            texts[c] = m_table->text(qsizetype(c), *field);
        }
        sortByCollation(m_order, texts, collator, order);
    }

    // Keep every persistent index (selection, current row) on its contact.
    std::vector<int> rowOf(m_order.size());
    for (size_t row = 0; row < m_order.size(); ++row) {
        rowOf[m_order[row]] = int(row);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.append(this->index(rowOf[oldOrder[size_t(index.row())]], index.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
