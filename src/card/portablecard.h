#pragma once

#include "card/cardrow.h"
#include "contacts/contactref.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

namespace tovanel {

// A contact as a short vCard 3.0 for phones and other programs: name, company and title, numbers, e-mail
// addresses, postal addresses, web pages, birthday and notes; never a photo.
struct PortableCard {
    // Empty when not even the name and the fixed fields fit.
    QByteArray text;
    // What was left out to make it fit, in German ("Notizen", "weitere Adressen", ...).
    QStringList omitted;
};

// Whether a card's text fits where it goes (fitsQrCode).
using FitsPortableCard = std::function<bool(const QByteArray&)>;

// The card of a listed contact, from its card as its file holds it: the name's parts, each number with its
// types in the form the card writes it, all seven parts of each address. A contact from no file, or whose
// card cannot be read now, gets one from its fixed fields. When `fits` refuses the whole card, the notes are
// left out, then the addresses besides the two the fixed fields show, then the numbers and e-mail addresses
// besides theirs.
PortableCard portableCard(const ContactRef& contact, const FitsPortableCard& fits);

// The same from a contact's fixed rows (fixedContactRows: they give the shown name) and its card's bytes as
// readContactCard gives them for CardUse::FurtherRows; without bytes from the fixed rows alone.
PortableCard portableCard(const QList<CardRow>& fixedRows, const QByteArray& card, bool unicodeSource,
                          const FitsPortableCard& fits);

} // namespace tovanel
