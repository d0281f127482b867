#pragma once

#include "card/valuelinks.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace tovanel {

// One row of a contact's detail list: label, value, whether the value is shown bold, and the picture of a
// photo row, whose value is then "[Bild WIDTHxHEIGHT]".
struct CardRow {
    QString label;
    QString value;
    bool bold = false;
    // What the value is, for the links it offers.
    ValueKind kind = ValueKind::Text;
    // What the link is made of where the value shown is not it: a place's "geo:" address behind its
    // degrees, the whole address behind one of its cells. Empty: the value.
    QString linkText;
    // A photo row's picture, decoded at most PhotoPreviewWidth x PhotoPreviewHeight; null for every other
    // row, and for a photo that did not decode.
    QImage image;
    QByteArray photo; // the photo's encoded bytes, for fullPhoto
    QSize photoSize;  // the size the photo's header gives
};

inline constexpr int PhotoPreviewWidth = 2048;
inline constexpr int PhotoPreviewHeight = 120;

// The link a row offers, if any.
inline std::optional<ValueLink> rowLink(const CardRow& row) {
    return valueLink(row.kind, row.linkText.isEmpty() ? row.value : row.linkText);
}

// A photo row: one whose picture is there, or still to be decoded from its bytes.
inline bool isPicture(const CardRow& row) {
    return !row.image.isNull() || !row.photo.isEmpty();
}

} // namespace tovanel
