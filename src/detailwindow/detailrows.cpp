#include "detailrows.h"

#include <QMimeData>

DetailRows::DetailRows(QObject* parent) : QAbstractTableModel(parent) {}

void DetailRows::setRows(QList<Row> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int DetailRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DetailRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant DetailRows::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const Row& r = m_rows.at(index.row());
    return index.column() == 0 ? r.label : r.value;
}

Qt::ItemFlags DetailRows::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList DetailRows::mimeTypes() const {
    return {QStringLiteral("text/plain")};
}

QMimeData* DetailRows::mimeData(const QModelIndexList& indexes) const {
    // A row is dragged as both of its cells; what leaves the window is the value alone.
    for (const QModelIndex& index : indexes) {
        if (checkIndex(index, CheckIndexOption::IndexIsValid)) {
            auto* mime = new QMimeData;
            mime->setText(m_rows.at(index.row()).value);
            return mime;
        }
    }
    return nullptr;
}
