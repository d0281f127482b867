#pragma once

#include "contacts/contacttable.h"

#include <QString>
#include <QStringView>
#include <cstdint>

namespace tovanel {

// How names are shown and sorted: "Jürgen Müller" as the card writes it, or "Müller, Jürgen" from its N.
enum class NameOrder : std::uint8_t { GivenFirst, FamilyFirst };

// A name cut for sorting by family name: the family name (the whole name where there is none) and the
// given names.
struct FamilyFirstParts {
    QStringView family;
    QStringView given;
};
FamilyFirstParts familyFirstParts(const ContactTable& table, qsizetype contact);

// The name as the list shows it.
QString shownName(const ContactTable& table, qsizetype contact, NameOrder order);

// The heading of a column the user may add.
QString addedColumnCaption(int column);
bool isAddedColumn(int column);
// Whether a text of that kind is looked for in an added column: numbers in "Alle Telefonnummern" and
// "Geburtstag", e-mail addresses in "Alle E-Mail-Adressen", other text in the rest.
enum class AddedColumnKind { Text, Number, Email };
AddedColumnKind addedColumnKind(int column);

// What an added column shows for a contact: the view of the table's own text where it holds it as shown,
// else a text made in `scratch`. Street, postal code, city and country are the private address's, or the
// work address's for a contact without a private one; several numbers and addresses are joined by ", ".
QStringView addedColumnText(const ContactTable& table, qsizetype contact, int column, QString& scratch);

} // namespace tovanel
