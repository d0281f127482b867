#pragma once

#include "card/cardrow.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

namespace tovanel {

// A contact as a short vCard 3.0 for phones and other programs: name, company, numbers, e-mail addresses,
// postal addresses, web pages and note; never a photo.
struct PortableCard {
    // Empty when not even the name and the fixed fields fit.
    QByteArray text;
    // What was left out to make it fit, in German ("Notizen", "weitere Adressen", ...).
    QStringList omitted;
};

// Builds the card from a contact's detail rows (contactRows: the 13 fixed rows, then the further rows).
// When `fits` refuses the whole card, the note is left out, then the further addresses, then the further
// numbers and e-mail addresses.
PortableCard portableCard(const QList<CardRow>& rows, const std::function<bool(const QByteArray&)>& fits);

} // namespace tovanel
