#pragma once

#include "contactlist/listcolumns.h"
#include "contacts/contacttable.h"

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace tovanel {

class ListKeys;

// A list of contacts as it is shown: row r shows contact `contacts[r]` (file order) of `table`. The list
// may be sorted, leave contacts out, or hold the contacts of several files in one table; the search, the
// export and the print take it as it is.
struct ContactList {
    const ContactTable& table;
    std::span<const std::uint32_t> contacts;
    // How the list shows names, and the columns the user added, in their order.
    NameOrder nameOrder = NameOrder::GivenFirst;
    std::vector<int> addedColumns = {};
    // What the list is searched by, where it has been made.
    const ListKeys* keys = nullptr;

    int rows() const { return int(contacts.size()); }
    qsizetype contactAt(int row) const { return contacts[size_t(row)]; }
};

// The name of a list read from files, for titles and headings: the first file's name, with "und 2
// weitere" for a list of three files; empty for a list from no file.
QString listName(const ContactTable& table);

} // namespace tovanel
