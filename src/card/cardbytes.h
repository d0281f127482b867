#pragma once

#include "contacts/contactref.h"

#include <QByteArray>

namespace tovanel {

// The card of a contact as the file holds it, for programs that take a vCard (a drag, a mail
// attachment): from its "BEGIN" line to its "END" line and line break. Empty when the card cannot be read
// now (no file, a file changed since the import, a card over CardLimits::CardBytes).
QByteArray contactCardBytes(const ContactRef& contact);

} // namespace tovanel
