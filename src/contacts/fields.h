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
};
// The fields shown and exported: all but the UID.
inline constexpr int FieldCount = 13;
inline constexpr int StoredFieldCount = 14;

// The columns of the contact list: the contact number, the six fields it shows, the byte offset just past
// the card's "END" line, and (only while the list holds several files) the name of the contact's file.
// Plain constants, since Qt's models count columns in int.
namespace ContactColumn {
enum : int { Number, Name, Company, MobilePhone, HomePhone, WorkPhone, Email, EndPosition, File, Count };
}

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
