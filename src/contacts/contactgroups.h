#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace tovanel {

class ContactTable;

// The groups of a list: every value of a card's CATEGORIES, and the group cards (KIND:group, Apple's
// X-ADDRESSBOOKSERVER-KIND:group) named by their name, holding the contacts their MEMBER lines name by
// UID. A contact is in a set of groups, shared by all contacts in the same set, so that a list keeps 4
// bytes a contact for them.
struct ContactGroups {
    // In German alphabetical order.
    QStringList names;
    // The contacts in each group.
    std::vector<qsizetype> sizes;
    // Each set's groups, ascending; set 0 is no group.
    std::vector<std::vector<std::uint32_t>> sets{{}};
    // The set of each contact; empty when no contact is in a group.
    std::vector<std::uint32_t> setOf;
    qsizetype ungrouped = 0;

    std::uint32_t setOfContact(qsizetype contact) const { return setOf.empty() ? 0 : setOf[size_t(contact)]; }
    bool isEmpty() const { return names.isEmpty(); }
    // "Familie, Freunde"
    QString text(qsizetype contact) const;
};

ContactGroups findContactGroups(const ContactTable& table);

} // namespace tovanel
