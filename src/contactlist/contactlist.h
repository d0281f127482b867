#pragma once

#include "contacts/contacttable.h"

#include <cstdint>
#include <span>

namespace tovanel {

// A list of contacts as it is shown: row r shows contact `contacts[r]` (file order) of `table`. The list
// may be sorted, leave contacts out, or hold the contacts of several files in one table; the search, the
// export and the print take it as it is.
struct ContactList {
    const ContactTable& table;
    std::span<const std::uint32_t> contacts;

    int rows() const { return int(contacts.size()); }
    qsizetype contactAt(int row) const { return contacts[size_t(row)]; }
};

} // namespace tovanel
