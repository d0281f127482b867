#pragma once

#include "card/cardrows.h"
#include "contacts/contactref.h"

#include <QList>
#include <QString>
#include <optional>

namespace tovanel {

// A contact's card read back from its source file, and the detail rows built from the table and the
// card. Every reading of a listed contact's card goes through readContactCard.

// What a card is read for; each has its own size limit.
enum class CardUse { FurtherRows, SourceView };

struct ContactCard {
    bool ok = false;
    QString text;     // SourceView: as readCardSource gives it
    QByteArray bytes; // FurtherRows: as readCardBytes gives them
    bool unicode = false;
    QString message; // why there is no card (German), when not ok
};

// The card of a valid `contact` from its source file. It is not read when it is larger than `use`
// allows, nor when the file changed since the contact was read from it: its bytes at the old positions
// would be another card's.
ContactCard readContactCard(const ContactRef& contact, CardUse use);

// The 13 fixed rows of a contact, one per field in field order, straight from the table; none for a
// reference to no contact.
QList<CardRow> fixedContactRows(const ContactRef& contact);

// The contacts a duplicate's row names; more are counted.
inline constexpr int MaxSameContactsNamed = 20;

// The row "Auch in" of a contact that has duplicates (ContactTable::sameContacts), none for one without:
// the others in list order, each by its name (else its first number), with its file's name in brackets
// while the list holds several files, joined by "; " on one line as the list shows a cell; past
// MaxSameContactsNamed of them "und N weitere".
std::optional<CardRow> sameContactsRow(const ContactRef& contact);

// All rows of a contact's detail list: the fixed rows, the row "Auch in" of a duplicate, then the further
// rows its card holds. A contact from no file has no further rows; a card that cannot be read (too large,
// its file changed or gone) adds a row with the German reason.
QList<CardRow> contactRows(const ContactRef& contact, bool decodePhotos = true);

} // namespace tovanel
