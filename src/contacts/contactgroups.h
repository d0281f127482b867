#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace tovanel {

class ContactTable;

// The groups of a list: every value of a card's CATEGORIES, and the group cards (KIND:group, Apple's
// X-ADDRESSBOOKSERVER-KIND:group) named by their name, holding the contacts their MEMBER lines name by
// UID.
struct ContactGroups {
    // In German alphabetical order.
    QStringList names;
    // The contacts in each group.
    std::vector<qsizetype> sizes;
    // Each set's groups, ascending; set 0 is no group. A contact's set is ContactTable::groupSet.
    std::vector<std::vector<std::uint32_t>> sets{{}};
    qsizetype ungrouped = 0;

    bool isEmpty() const { return names.isEmpty(); }
};

// Finds the groups and gives each contact of `table` its set (ContactTable::setGroupSets).
ContactGroups findContactGroups(ContactTable& table);

} // namespace tovanel
