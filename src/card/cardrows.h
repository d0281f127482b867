#pragma once

#include "card/cardphoto.h"
#include "card/cardrow.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace tovanel {

// A card can hold millions of short lines in the bytes the detail window reads; a list of more rows than
// this is read by nobody, and each would cost the window time and memory.
inline constexpr int MaxFurtherRows = 10'000;

// The rows a card's text holds besides the 13 fixed cells, in the order the detail list shows them:
// telephone numbers the cells leave out (and the extensions of those they show), e-mail addresses, the
// region and country of the two addresses the cells show, each labelled with its cell, every further
// address as one block, places (GEO) in degrees, dates, work and person (every company but the cell's
// with its departments, the people the card names, by vCard 4, Apple, Outlook, Evolution and KDE), the
// notes the cell leaves out, photos. A value that two properties give alike is one row. `card` holds
// the card's bytes as readCardBytes returns them; `unicodeSource` says they are a UTF-16 file's, converted
// to UTF-8. Everything else (UID, REV, unknown X- properties) stays in the source view. Without
// `decodePhotos` a photo row holds its bytes, size and text but no picture yet: the caller decodes it with
// previewPhoto where that may take its time. Past MaxFurtherRows rows the reading stops, and a last row
// says that the rest is in the source view.
// `nameOfUid` gives the name of the contact a relation names by its UID ("urn:uuid:…"), where the caller
// knows one; a UID is no name to show while a better one is known.
using NameOfUid = std::function<std::optional<QString>(QStringView uid)>;
QList<CardRow> furtherCardRows(const QByteArray& card, bool unicodeSource, bool decodePhotos = true,
                               const NameOfUid& nameOfUid = {});

} // namespace tovanel
