#pragma once

#include "cardphoto.h"
#include "cardrow.h"

#include <QByteArray>
#include <QList>

// The rows a card's text holds besides the 13 fixed cells, in the order the detail list shows them:
// telephone numbers, e-mail addresses and addresses the cells leave out, the region and country of the
// two addresses they show, dates, work and person, photos. `card` holds the card's bytes as
// readCardBytes returns them; `unicodeSource` says they are a UTF-16 file's, converted to UTF-8. Everything
// else (UID, REV, unknown X- properties) stays in the source view. Without `decodePhotos` a photo row holds
// its bytes, size and text but no picture yet: the caller decodes it with previewPhoto where that may take
// its time.
QList<CardRow> furtherCardRows(const QByteArray& card, bool unicodeSource, bool decodePhotos = true);
