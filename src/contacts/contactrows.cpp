// A contact's detail rows: its fixed cells from the table, then the further rows its card holds.
#include "contactrows.h"

#include "addresstablemodel.h"
#include "cardsource.h"
#include "importmessages.h"

#include <QFileInfo>

namespace {

// A card larger than this is shown with its fixed rows and a word why: reading it whole would make the
// window slow to open, and no card of a real exporter comes near (a photo that can be shown fits).
constexpr qint64 MaxCardBytes = qint64(24) << 20;

CardRow textRow(QString label, QString value) {
    CardRow row;
    row.label = std::move(label);
    row.value = std::move(value);
    return row;
}

} // namespace

QList<CardRow> contactRows(const AddressTableModel& adressen, const AddressTableModel* adrData, int row,
                           const QString& vcfFile, bool decodePhotos) {
    QList<CardRow> rows;
    if (row < 0 || row >= adressen.rowCount()) {
        return rows;
    }
    const qsizetype contact = adressen.contactAt(row);
    // Every column but the contact number and the end position.
    for (int i = 1; i <= adressen.columnCount() - 2; ++i) {
        rows.append(textRow(adressen.headerData(i, Qt::Horizontal).toString(), adressen.cell(row, i)));
    }
    if (adrData != nullptr) {
        // adrData stays in file order, so the contact's row there is its number less one.
        for (int k = 1; k <= adrData->columnCount() - 1; ++k) {
            rows.append(
                textRow(adrData->headerData(k, Qt::Horizontal).toString(), adrData->cell(int(contact), k)));
        }
    }
    if (vcfFile.isEmpty()) {
        return rows;
    }
    const CardSourceRange range = cardSourceRange(adressen.table(), contact);
    const qint64 end = range.end >= 0 ? range.end : QFileInfo(vcfFile).size();
    if (end - range.start > MaxCardBytes) {
        rows.append(textRow(QStringLiteral("Hinweis"),
                            QStringLiteral("Die Karte ist %1 MB groß; ihre weiteren Angaben zeigt nur die "
                                           "Quelltext-Ansicht.")
                                .arg(((end - range.start) + (1 << 20) - 1) >> 20)));
        return rows;
    }
    const CardSourceText source = readCardBytes(vcfFile, range, adressen.table().sourceStamp());
    if (!source.ok) {
        rows.append(textRow(QStringLiteral("Hinweis"),
                            source.changed ? ImportMessages::changedSinceRead(vcfFile)
                                           : ImportMessages::cannotRead(vcfFile, source.error)));
        return rows;
    }
    for (CardRow& further : furtherCardRows(source.bytes, source.unicode, decodePhotos)) {
        rows.push_back(std::move(further));
    }
    return rows;
}
