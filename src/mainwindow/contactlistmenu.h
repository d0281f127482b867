#pragma once

#include "contacts/contactref.h"

class QMenu;
class QMimeData;
class QWidget;

namespace tovanel {

class ContactListModel;
class Dialogs;

// The context menu of cell (`row`, `column`) of the contact list: the link its field offers, "Wert
// kopieren" and "QR-Code …" for `contact`, the row's contact; `dialogs` tells a link no program takes. The
// caller owns it; nullptr outside the fields the list shows.
QMenu* contactCellMenu(QWidget* parent, const ContactListModel& model, int row, int column,
                       const ContactRef& contact, Dialogs& dialogs);

// Adds the contact's card as text/vcard to a drag, for programs that take a vCard whole; nothing when the
// card cannot be read now.
void addCardToDrag(QMimeData& data, const ContactRef& contact);

} // namespace tovanel
