#pragma once

#include <QImage>
#include <QList>
#include <QString>

class AddressTableModel;

// One row of a contact's detail list: label, value, whether the value is shown bold, and the picture of a
// photo row, whose value is then "[Bild WIDTHxHEIGHT]".
struct CardRow {
    QString label;
    QString value;
    bool bold = false;
    QImage image; // a photo row's picture; null for every other row, and for a photo that did not decode
};

// The rows a card's text holds besides the 13 fixed cells, in the order the detail list shows them:
// telephone numbers, e-mail addresses and addresses the cells leave out, the region and country of the
// two addresses they show, dates, work and person, photos. `cardText` is the card as readCardSource
// returns it. Everything else (UID, REV, unknown X- properties) stays in the source view.
QList<CardRow> furtherCardRows(const QString& cardText);

// All rows of a contact's detail list: the 13 fixed cells of list row `row` (Adressen order), then the
// further rows read from the card in `vcfFile`. A card that cannot be read (its file changed or gone)
// gives the fixed rows and a row with the German reason.
QList<CardRow> contactRows(const AddressTableModel& adressen, const AddressTableModel* adrData, int row,
                           const QString& vcfFile);
