#pragma once

#include "card/cardrows.h"

#include <QAbstractTableModel>
#include <QFuture>
#include <QList>
#include <QPixmap>
#include <QString>

namespace tovanel {

// The rows of the detail list: a label and a value each, the value bold for a favourite number, a picture
// for a photo. A dragged row carries its value alone, as text, and a photo's row its picture too.
class DetailRows final : public QAbstractTableModel {
    Q_OBJECT
public:
    using Row = CardRow;
    enum Column : int { Label, Value, ColumnCount };
    // Photos are shown at most this high.
    static constexpr int MaxPictureHeight = 120;

    explicit DetailRows(QObject* parent = nullptr);
    ~DetailRows() override;

    // Photos are scaled to fit `pictureWidth`, the width of the value column. A photo row that holds only
    // its photo's bytes is decoded on another thread, so the list shows at once; its picture follows.
    void setRows(QList<Row> rows, int pictureWidth = 240);
    // Row `index`'s photo at its full size, decoded on another thread; cancelling the future stops it.
    QFuture<QImage> fullPicture(int index) const;
    // The height row `index`'s picture takes, 0 for a row without one.
    int pictureHeight(int index) const;
    void clear() { setRows({}); }
    const Row& row(int index) const { return m_rows.at(index); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    void setPicture(int index, const QImage& image);
    void cancelDecoding();

    QList<Row> m_rows;
    int m_pictureWidth = 240;
    // Counts setRows calls: a picture decoded for an earlier list is dropped.
    quint64 m_generation = 0;
    QList<QPixmap> m_pictures; // per row; null for a row without a picture
    // The pictures still being decoded for the list shown: a list that is replaced stops them, as a photo
    // may take long and much memory.
    QList<QFuture<QImage>> m_decodes;
};

} // namespace tovanel
