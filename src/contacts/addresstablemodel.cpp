#include "addresstablemodel.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <array>
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

namespace {

// Sorting a million names through a collator sort key per contact takes seconds and a hundred bytes or
// more per contact. Most names, though, begin with characters that each carry one primary collation
// weight of their own (ASCII, and Latin letters whose accents only weigh at the secondary level). For
// such a name a packed prefix of primary ranks orders it against another such name exactly whenever the
// two prefixes differ, because a primary difference decides a comparison whatever follows. The ranks
// are learnt from the collator itself; names the prefixes cannot tell apart go to the collator.
class PrimaryPrefix final {
public:
    struct Key {
        quint64 high = 0;
        quint64 low = 0;
        bool valid = false;
    };

    explicit PrimaryPrefix(const QCollator& collator) {
        QString alphabet;
        for (char16_t c = 0x20; c < 0x7F; ++c) {
            alphabet.append(QChar(c));
        }
        alphabet.append(QStringLiteral("ÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÚÛÜÝàáâãäåçèéêëìíîïñòóôõöùúûüýÿ"));
        std::vector<char16_t> chars(alphabet.utf16(), alphabet.utf16() + alphabet.size());
        const auto single = [](const char16_t& c) { return QStringView(&c, 1); };
        std::stable_sort(chars.begin(), chars.end(), [&](const char16_t& a, const char16_t& b) {
            return collator.compare(single(a), single(b)) < 0;
        });
        int rank = 1;
        m_rank[chars.front()] = quint8(rank);
        for (size_t i = 1; i < chars.size(); ++i) {
            // With x before y: y+"a" sorts before x+"b" exactly when x and y weigh the same at the
            // primary level.
            const QString later = QString(QChar(chars[i])) + QLatin1Char('a');
            const QString earlier = QString(QChar(chars[i - 1])) + QLatin1Char('b');
            if (collator.compare(later, earlier) >= 0) {
                ++rank;
            }
            if (rank >= (1 << BitsPerRank)) {
                return;
            }
            m_rank[chars[i]] = quint8(rank);
        }
        // What the prefixes rely on, checked on a few characters: a collator without these properties
        // (another backend, another locale) is only ever asked directly.
        const auto r = [&](char16_t c) { return m_rank[c]; };
        m_usable = r(u'a') == r(u'A') && r(u'a') == r(u'ä') && r(u'o') == r(u'Ö') && r(u'u') == r(u'ü') &&
                   r(u'0') < r(u'9') && r(u'9') < r(u'a') && r(u'a') < r(u'b') && r(u'y') < r(u'z') &&
                   r(u' ') < r(u'a');
    }

    Key key(QStringView text) const {
        Key key;
        if (!m_usable) {
            return key;
        }
        const qsizetype n = std::min<qsizetype>(text.size(), 2 * RanksPerWord);
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = text[i].unicode();
            const quint64 rank = c < m_rank.size() ? m_rank[c] : 0;
            if (rank == 0) {
                return key;
            }
            quint64& word = i < RanksPerWord ? key.high : key.low;
            word |= rank << ((RanksPerWord - 1 - i % RanksPerWord) * BitsPerRank);
        }
        // The character after the prefix must not be one that could merge with the last one in it.
        if (text.size() > n && (text[n].unicode() >= m_rank.size() || m_rank[text[n].unicode()] == 0)) {
            return key;
        }
        key.valid = true;
        return key;
    }

private:
    static constexpr int BitsPerRank = 7;
    static constexpr int RanksPerWord = 9;
    std::array<quint8, 256> m_rank{}; // 0: not covered
    bool m_usable = false;
};

} // namespace

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
        return cell(index.row(), index.column());
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
        const PrimaryPrefix prefixes(collator);
        struct Item {
            quint64 high;
            quint64 low;
            std::uint32_t contact;
            bool valid;
        };
        std::vector<Item> items;
        items.reserve(m_order.size());
        for (std::uint32_t contact : m_order) {
            const PrimaryPrefix::Key k = prefixes.key(m_table->text(contact, *field));
            items.push_back({k.high, k.low, contact, k.valid});
        }
        // The same order as comparing collator sort keys; QCollator::compare differs from that only
        // in putting an empty text before texts that collate as empty.
        const auto collate = [&](QStringView a, QStringView b) {
            if (a == b) {
                return 0;
            }
            if (a.isEmpty() || b.isEmpty()) {
                return collator.sortKey(a.toString()).compare(collator.sortKey(b.toString()));
            }
            return collator.compare(a, b);
        };
        const bool ascending = order == Qt::AscendingOrder;
        std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
            if (a.valid && b.valid && (a.high != b.high || a.low != b.low)) {
                const bool less = a.high != b.high ? a.high < b.high : a.low < b.low;
                return ascending ? less : !less;
            }
            const int c = collate(m_table->text(a.contact, *field), m_table->text(b.contact, *field));
            return ascending ? c < 0 : c > 0;
        });
        for (size_t row = 0; row < items.size(); ++row) {
            m_order[row] = items[row].contact;
        }
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
