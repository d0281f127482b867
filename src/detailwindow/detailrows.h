#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

// The rows of the detail list: a label and a value each. A dragged row carries its value alone, as text.
class DetailRows final : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Row {
        QString label;
        QString value;
    };

    explicit DetailRows(QObject* parent = nullptr);

    void setRows(QList<Row> rows);
    void clear() { setRows({}); }
    const Row& row(int index) const { return m_rows.at(index); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    QList<Row> m_rows;
};
