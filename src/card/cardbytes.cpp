#include "card/cardbytes.h"

#include "vcard/cardsource.h"

namespace tovanel {

QByteArray contactCardBytes(const ContactRef& contact) {
    if (!contact.isValid()) {
        return {};
    }
    CardBytesReader reader;
    CardSourceText card = reader.card(*contact.table, contact.contact);
    if (!card.ok || card.bytes.isEmpty()) {
        return {};
    }
    QByteArray bytes = std::move(card.bytes);
    // A last card without a line break after "END:VCARD" still ends its line for the receiver.
    if (!bytes.endsWith('\n')) {
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace tovanel
