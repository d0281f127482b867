#pragma once

#include "cardrows.h"

#include <QList>
#include <QString>

class AddressTableModel;

// All rows of a contact's detail list: the 13 fixed cells of list row `row` (Adressen order), then the
// further rows read from the card in `vcfFile`. A card that cannot be read (its file changed or gone)
// gives the fixed rows and a row with the German reason.
QList<CardRow> contactRows(const AddressTableModel& adressen, const AddressTableModel* adrData, int row,
                           const QString& vcfFile, bool decodePhotos = true);
