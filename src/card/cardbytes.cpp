#include "card/cardbytes.h"

#include "card/contactrows.h"

#include <QLatin1StringView>

namespace tovanel {

QByteArray contactCardBytes(const ContactRef& contact) {
    if (!contact.isValid() || contact.path().isEmpty()) {
        return {};
    }
    ContactCard card = readContactCard(contact, CardUse::FurtherRows);
    if (!card.ok) {
        return {};
    }
    QByteArray bytes = std::move(card.bytes);
    // The first card's range also holds whatever stands before it in the file; a receiver wants the card.
    const qsizetype begin =
        QLatin1StringView(bytes).indexOf(QLatin1StringView("BEGIN:VCARD"), 0, Qt::CaseInsensitive);
    if (begin < 0) {
        return {};
    }
    bytes.remove(0, begin);
    // A last card without a line break after "END:VCARD" still ends its line for the receiver.
    if (!bytes.endsWith('\n')) {
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace tovanel
