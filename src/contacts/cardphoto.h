#pragma once

#include "cardrow.h"

struct CardLine;
class CardLines;

// A photo's picture at preview size; null when its bytes do not decode.
QImage previewPhoto(const QByteArray& photo);
// A photo row's picture at its full size, decoded anew (the preview when that fails).
QImage fullPhoto(const CardRow& row);

// A photo row from a PHOTO line: the picture at preview size (only when `decode`, else just its claimed size
// and bytes), "(kein lesbares Bild)" for bytes that are no picture, or the address of a photo given by one.
CardRow photoRow(CardLines& card, const CardLine& line, bool decode);
