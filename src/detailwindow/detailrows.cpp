#include "detailrows.h"

#include "displaytext.h"
#include "sourcedisplay.h"

#include <QFont>
#include <QMimeData>

namespace {
// Wider than any cell can be at the window's largest size.
constexpr qsizetype MaxCellChars = 1000;
} // namespace

DetailRows::DetailRows(QObject* parent) : QAbstractTableModel(parent) {}

void DetailRows::setRows(QList<Row> rows, int pictureWidth) {
    beginResetModel();
    m_rows = std::move(rows);
    m_pictures.clear();
    for (const Row& row : std::as_const(m_rows)) {
        QPixmap picture;
        if (!row.image.isNull()) {
            // Scaled once here rather than at every paint; the row keeps the picture itself for copying.
            const QSize fit =
                row.image.size().scaled(std::max(pictureWidth, 16), MaxPictureHeight, Qt::KeepAspectRatio);
            picture =
                QPixmap::fromImage(row.image.size().height() > fit.height()
                                       ? row.image.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                       : row.image);
        }
        m_pictures.append(picture);
    }
    endResetModel();
}

int DetailRows::pictureHeight(int index) const {
    return index >= 0 && index < m_pictures.size() ? m_pictures.at(index).height() : 0;
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
    const Row& r = m_rows.at(index.row());
    if (role == Qt::ToolTipRole) {
        // A tip, like the double-click box, has to fit on the screen.
        return index.column() == 0 ? r.label
                                   : boxText(QStringView(r.value).first(
                                         std::min(r.value.size(), SourceLimits::MaxBoxChars + 1)));
    }
    if (index.column() == 1 && !m_pictures.at(index.row()).isNull()) {
        // The picture stands for itself; its size is in the value for copying and the double-click box.
        return role == Qt::DecorationRole ? QVariant(m_pictures.at(index.row())) : QVariant();
    }
    if (role == Qt::FontRole && index.column() == 1 && r.bold) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (index.column() == 0) {
        return r.label;
    }
    // A cell shows one elided line; laying out megabytes only to elide them would stall painting.
    if (r.value.size() > MaxCellChars) {
        return displayText(r.value.first(MaxCellChars) + u'…');
    }
    return displayText(r.value);
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
            const Row& row = m_rows.at(index.row());
            mime->setText(row.value);
            if (!row.image.isNull()) {
                mime->setImageData(row.image);
            }
            return mime;
        }
    }
    return nullptr;
}
