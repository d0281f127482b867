#pragma once

#include "contacts/fields.h"

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace tovanel {

class ContactTable;
class SearchIndex;

// What the contact list is narrowed to: a typed text, looked for as the name search looks for it (a
// number in the telephone cells, an e-mail address in the e-mail cell, any other text in the name or
// the company), one of the quick filters, and a group. All must hold for a contact to be shown.
struct ContactFilter {
    enum class Quick : std::uint8_t {
        All,
        Favourites,   // a telephone number marked preferred
        WithoutPhone, // no number in any of the three telephone cells
        WithoutEmail,
        Duplicates, // the same person elsewhere in the list; shown group by group
        File,       // the contacts of `file` only
    };
    QString text;
    Quick quick = Quick::All;
    int file = -1;
    // AllGroups, Ungrouped, or the index of one of the list's groups (ContactGroups::names).
    int group = AllGroups;
    static constexpr int AllGroups = -1;
    static constexpr int Ungrouped = -2;
    // The added columns shown (a bit per ContactColumn from FirstAdded on): the text is looked for in
    // them too.
    std::uint32_t addedColumns = 0;
    static std::uint32_t columnBit(int column) { return 1u << (column - ContactColumn::FirstAdded); }

    // Shows every contact.
    bool isEmpty() const;
    // Every contact this filter shows, `wider` shows too: the rows `wider` shows can be narrowed instead
    // of looking at the whole list again.
    bool narrows(const ContactFilter& wider) const;
    friend bool operator==(const ContactFilter&, const ContactFilter&) = default;
};

// Keeps those of `contacts` (in their order) that `filter` shows, looking at them on two threads, the
// text in `index` where the list has one. The duplicates filter keeps each group together, where its
// first contact stands. May throw std::bad_alloc.
std::vector<std::uint32_t> filterContacts(const ContactTable& table, std::span<const std::uint32_t> contacts,
                                          const ContactFilter& filter, const SearchIndex* index = nullptr);

} // namespace tovanel
