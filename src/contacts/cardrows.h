#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// One row of a contact's detail list: label, value, whether the value is shown bold, and the picture of a
// photo row, whose value is then "[Bild WIDTHxHEIGHT]".
struct CardRow {
    QString label;
    QString value;
    bool bold = false;
    // A photo row's picture, decoded at most PhotoPreviewWidth x PhotoPreviewHeight; null for every other
    // row, and for a photo that did not decode.
    QImage image;
    QByteArray photo; // the photo's encoded bytes, for fullPhoto
    QSize photoSize;  // the size the photo's header gives
};

inline constexpr int PhotoPreviewWidth = 2048;
inline constexpr int PhotoPreviewHeight = 120;

// A photo row: one whose picture is there, or still to be decoded from its bytes.
inline bool isPicture(const CardRow& row) {
    return !row.image.isNull() || !row.photo.isEmpty();
}

// A photo's picture at preview size; null when its bytes do not decode.
QImage previewPhoto(const QByteArray& photo);
// A photo row's picture at its full size, decoded anew (the preview when that fails).
QImage fullPhoto(const CardRow& row);

// The rows a card's text holds besides the 13 fixed cells, in the order the detail list shows them:
// telephone numbers, e-mail addresses and addresses the cells leave out, the region and country of the
// two addresses they show, dates, work and person, photos. `cardText` is the card as readCardSource
// returns it. Everything else (UID, REV, unknown X- properties) stays in the source view. Without
// `decodePhotos` a photo row holds its bytes, size and text but no picture yet: the caller decodes it
// with previewPhoto where that may take its time.
QList<CardRow> furtherCardRows(const QString& cardText, bool decodePhotos = true);
