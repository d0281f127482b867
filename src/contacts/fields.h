#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace tovanel {

// The text fields kept per contact: the six the contact list shows, then the addresses and the note.
enum class Field : std::uint8_t {
    Name,
    Company,
    MobilePhone,
    HomePhone,
    WorkPhone,
    Email,
    HomeStreet,
    HomePostalCode,
    HomeCity,
    WorkStreet,
    WorkPostalCode,
    WorkCity,
    Note,
    // Kept to tell the same contact in two files apart from a namesake; never shown as a cell.
    Uid,
    // Further fields, shown in columns the user may add; most cards leave most of them empty, which costs
    // nothing.
    Title,      // TITLE
    Department, // ORG's second part
    HomeCountry,
    WorkCountry,
    OtherPhones, // the numbers no telephone cell shows, in the card's order, one per line
    OtherEmails, // the e-mail addresses besides the one the cell shows, in the card's order, one per line
    // A group card's members as its MEMBER lines give them, each behind a line break: "\n" alone is a group
    // card without members.
    Members,
    // "Family, Given Additional" where the name cell does not end in the family name (ContactTable::
    // familyFirstName).
    FamilyFirst,
    BirthdayText, // a BDAY that is no date, as the card writes it
};
// The fields shown and exported: the first thirteen.
inline constexpr int FieldCount = 13;
inline constexpr int StoredFieldCount = 23;

// The columns of the contact list: the contact number, the six fields it shows, the byte offset just past
// the card's "END" line, the name of the contact's file (shown only while the list holds several files),
// and the columns the user may add ("Ansicht › Spalten"). Plain constants, since Qt's models count
// columns in int.
namespace ContactColumn {
enum : int {
    Number,
    Name,
    Company,
    MobilePhone,
    HomePhone,
    WorkPhone,
    Email,
    EndPosition,
    File,
    Birthday,
    Groups,
    Title,
    Department,
    Street,
    PostalCode,
    City,
    Country,
    AllPhones,
    AllEmails,
    Note,
    Count
};
inline constexpr int FirstAdded = Birthday;
} // namespace ContactColumn

// The columns of the hidden address list, always in file order: the contact number, then the seven
// address and note fields.
namespace AddressColumn {
enum : int {
    Number,
    HomeStreet,
    HomePostalCode,
    HomeCity,
    WorkStreet,
    WorkPostalCode,
    WorkCity,
    Note,
    Count
};
}

// The heading of a field wherever it is shown: list columns, the sort menu, the detail rows.
QString fieldCaption(Field field);

} // namespace tovanel
