#include "contactlist/contactfilter.h"

#include "contactlist/listcolumns.h"
#include "contactlist/searchindex.h"
#include "contactlist/searchtext.h"
#include "contacts/contacttable.h"
#include "contacts/telephone.h"

#include <QVarLengthArray>
#include <algorithm>
#include <bit>
#include <optional>
#include <system_error>
#include <thread>

namespace tovanel {

namespace {

SearchKind filterKind(QStringView text) {
    return searchKind(text, FilterMinDigits);
}

// Only a text with a blank or a comma can hold a name turned round. A blank at either end counts too:
// "Müller " is the start of "Müller Jürgen", and the filter typed on from it looks only at its rows.
bool mayHoldTurnedName(QStringView text) {
    return text.contains(u' ') || text.contains(u',');
}

} // namespace

bool ContactFilter::isEmpty() const {
    return text.isEmpty() && quick == Quick::All && group == AllGroups;
}

bool ContactFilter::narrows(const ContactFilter& wider) const {
    if (quick != wider.quick || file != wider.file || addedColumns != wider.addedColumns ||
        (wider.group != AllGroups && group != wider.group)) {
        return false;
    }
    if (wider.text.isEmpty()) {
        return true;
    }
    const SearchKind kind = filterKind(text);
    if (kind != filterKind(wider.text)) {
        return false;
    }
    // Folding goes unit by unit, so a cell holding the folded longer text holds every piece of it; the
    // digits of a number likewise.
    if (kind == SearchKind::Number) {
        return NumberNeedle(text).digits().find(NumberNeedle(wider.text).digits()) != std::string_view::npos;
    }
    return FoldedNeedle(text).folded().contains(FoldedNeedle(wider.text).folded());
}

namespace {

// Decides for one contact; made once per thread, since the needles keep scratch space.
class Matcher {
public:
    // `setShown`: for each set of groups, whether the group filter shows its contacts; empty for all.
    // `found`: the contacts the search index found the text in, where the list has an index.
    Matcher(const ContactTable& table, const ContactFilter& filter, const std::vector<std::uint8_t>& setShown,
            const ContactBits* found)
        : m_table(table), m_groups(table.groups()), m_filter(filter), m_setShown(setShown), m_found(found),
          m_needle(filter.text, filterKind(filter.text)) {
        m_nameTurned = mayHoldTurnedName(filter.text);
        const AddedColumnKind kind = m_needle.kind() == SearchKind::Number  ? AddedColumnKind::Number
                                     : m_needle.kind() == SearchKind::Email ? AddedColumnKind::Email
                                                                            : AddedColumnKind::Text;
        for (int column = ContactColumn::FirstAdded; column < ContactColumn::Count; ++column) {
            if ((filter.addedColumns & ContactFilter::columnBit(column)) != 0 &&
                addedColumnKind(column) == kind) {
                m_addedColumns.push_back(column);
            }
        }
        if (filter.quick == ContactFilter::Quick::File && filter.file >= 0 &&
            filter.file < table.fileCount()) {
            m_fileBegin = table.fileStart(filter.file);
            m_fileEnd = filter.file + 1 < table.fileCount() ? table.fileStart(filter.file + 1) : table.size();
        }
    }

    bool shows(qsizetype contact) { return groupShows(contact) && quickShows(contact) && textShows(contact); }

private:
    bool groupShows(qsizetype contact) const {
        return m_setShown.empty() || m_setShown[m_table.groupSet(contact)] != 0;
    }

    bool quickShows(qsizetype contact) const {
        switch (m_filter.quick) {
        case ContactFilter::Quick::All:
            return true;
        case ContactFilter::Quick::Favourites:
            return std::any_of(TelephoneFields.begin(), TelephoneFields.end(),
                               [&](Field field) { return m_table.isBold(contact, field); });
        case ContactFilter::Quick::WithoutPhone:
            return std::all_of(TelephoneFields.begin(), TelephoneFields.end(),
                               [&](Field field) { return m_table.text(contact, field).trimmed().isEmpty(); });
        case ContactFilter::Quick::WithoutEmail:
            return m_table.text(contact, Field::Email).trimmed().isEmpty();
        case ContactFilter::Quick::Duplicates:
            return m_table.isDuplicate(contact);
        case ContactFilter::Quick::File:
            return contact >= m_fileBegin && contact < m_fileEnd;
        }
        return false;
    }

    bool textShows(qsizetype contact) {
        if (m_filter.text.isEmpty()) {
            return true;
        }
        // A text of blanks alone folds to nothing and holds nothing back.
        if (m_needle.isEmpty()) {
            return true;
        }
        if (m_found != nullptr) {
            return m_found->test(contact) || addedShows(contact);
        }
        if (m_needle.foundIn(m_table, contact, searchFields(m_needle.kind()))) {
            return true;
        }
        return (m_needle.kind() == SearchKind::Text && m_nameTurned && nameTurnedShows(contact)) ||
               addedShows(contact);
    }

    // "Müller, Jürgen" and "Müller Jürgen" find Jürgen Müller, whichever way the list shows names.
    bool nameTurnedShows(qsizetype contact) {
        const FamilyFirstParts parts = familyFirstParts(m_table, contact);
        if (parts.given.isEmpty()) {
            return false;
        }
        for (const QStringView separator : {QStringView(u", "), QStringView(u" ")}) {
            m_turned.clear();
            m_turned += parts.family;
            m_turned += separator;
            m_turned += parts.given;
            if (m_needle.foundIn(m_turned)) {
                return true;
            }
        }
        return false;
    }

    bool addedShows(qsizetype contact) {
        for (const int column : m_addedColumns) {
            if (m_needle.foundIn(addedColumnText(m_table, contact, column, m_scratch))) {
                return true;
            }
        }
        return false;
    }

    const ContactTable& m_table;
    const ContactGroups& m_groups;
    const ContactFilter& m_filter;
    const std::vector<std::uint8_t>& m_setShown;
    const ContactBits* m_found;
    SearchNeedle m_needle;
    bool m_nameTurned = false;
    // The added columns a text of the needle's kind is looked for in.
    std::vector<int> m_addedColumns;
    QString m_turned;
    QString m_scratch;
    qsizetype m_fileBegin = 0;
    qsizetype m_fileEnd = 0;
};

// For each set of groups, whether `group` (or Ungrouped) shows its contacts: sets are far fewer than
// contacts, so each contact costs one look-up. Empty when the filter shows every group.
std::vector<std::uint8_t> shownSets(const ContactGroups& groups, int group) {
    std::vector<std::uint8_t> shown;
    if (group == ContactFilter::AllGroups) {
        return shown;
    }
    shown.reserve(groups.sets.size());
    for (const std::vector<std::uint32_t>& set : groups.sets) {
        // A group the list does not have (any more) shows nobody.
        shown.push_back(group == ContactFilter::Ungrouped
                            ? set.empty()
                            : group >= 0 && std::binary_search(set.begin(), set.end(), std::uint32_t(group)));
    }
    return shown;
}

// Below this many contacts a second thread costs more than it saves.
constexpr size_t ParallelFrom = 20000;

// The groups' first contacts (in file order) numbered 0, 1, … in file order: a bit per contact and a
// count per 64 of them, a fifth of a byte per contact.
class GroupNumbers {
public:
    explicit GroupNumbers(const ContactTable& table) {
        const size_t n = size_t(table.size());
        m_bits.assign((n + 63) / 64, 0);
        m_before.resize(m_bits.size());
        for (size_t c = 0; c < n; ++c) {
            if (table.duplicateGroup(qsizetype(c)) == c + 1) {
                m_bits[c >> 6] |= std::uint64_t(1) << (c & 63);
            }
        }
        std::uint32_t total = 0;
        for (size_t w = 0; w < m_bits.size(); ++w) {
            m_before[w] = total;
            total += std::uint32_t(std::popcount(m_bits[w]));
        }
        m_count = total;
    }
    std::uint32_t count() const { return m_count; }
    // The number of the group whose first contact is `first`.
    std::uint32_t of(std::uint32_t first) const {
        const std::uint64_t below = (std::uint64_t(1) << (first & 63)) - 1;
        return m_before[first >> 6] + std::uint32_t(std::popcount(m_bits[first >> 6] & below));
    }

private:
    std::vector<std::uint64_t> m_bits;
    std::vector<std::uint32_t> m_before;
    std::uint32_t m_count = 0;
};

// The kept contacts, each group where its first kept member stands and its members in the list's order:
// the groups are counted, then each contact is put straight into its place. Besides the result it takes
// 4 bytes per group and a fifth of a byte per contact.
std::vector<std::uint32_t> groupedDuplicates(const ContactTable& table,
                                             std::span<const std::uint32_t> contacts,
                                             const std::vector<std::uint8_t>& keep, size_t kept) {
    const GroupNumbers groups(table);
    const auto groupOf = [&](std::uint32_t contact) { return groups.of(table.duplicateGroup(contact) - 1); };
    std::vector<std::uint32_t> place(groups.count()); // a group's members, then where its next one goes
    for (size_t i = 0; i < contacts.size(); ++i) {
        if (keep[i] != 0) {
            ++place[groupOf(contacts[i])];
        }
    }
    std::vector<std::uint64_t> started((groups.count() + 63) / 64);
    std::vector<std::uint32_t> shown(kept);
    std::uint32_t next = 0;
    for (size_t i = 0; i < contacts.size(); ++i) {
        if (keep[i] == 0) {
            continue;
        }
        const std::uint32_t group = groupOf(contacts[i]);
        std::uint64_t& word = started[group >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (group & 63);
        if ((word & bit) == 0) {
            word |= bit;
            const std::uint32_t members = place[group];
            place[group] = next;
            next += members;
        }
        shown[place[group]++] = contacts[i];
    }
    return shown;
}

} // namespace

std::vector<std::uint32_t> filterContacts(const ContactTable& table, std::span<const std::uint32_t> contacts,
                                          const ContactFilter& filter, const SearchIndex* index) {
    std::vector<std::uint8_t> keep(contacts.size());
    const std::vector<std::uint8_t> setShown = shownSets(table.groups(), filter.group);
    std::optional<ContactBits> found;
    if (index != nullptr && !filter.text.isEmpty()) {
        const SearchKind kind = filterKind(filter.text);
        if (!SearchNeedle(filter.text, kind).isEmpty()) {
            found = index->holding(filter.text,
                                   kind == SearchKind::Number  ? SearchIndex::Numbers
                                   : kind == SearchKind::Email ? SearchIndex::Email
                                   : mayHoldTurnedName(filter.text)
                                       ? SearchIndex::Name | SearchIndex::Company | SearchIndex::TurnedName
                                       : SearchIndex::Name | SearchIndex::Company,
                                   contacts);
        }
    }
    if (found && filter.quick == ContactFilter::Quick::All && setShown.empty() && filter.addedColumns == 0) {
        // The text alone decides, and the index has decided it: a bit per contact is all to look at.
        // Counted first: the rows take 4 bytes each and no more.
        const auto kept = std::count_if(contacts.begin(), contacts.end(),
                                        [&](std::uint32_t contact) { return found->test(contact); });
        std::vector<std::uint32_t> shown;
        shown.reserve(size_t(kept));
        for (const std::uint32_t contact : contacts) {
            if (found->test(contact)) {
                shown.push_back(contact);
            }
        }
        return shown;
    }
    const auto decide = [&](size_t from, size_t to) {
        Matcher matcher(table, filter, setShown, found ? &*found : nullptr);
        for (size_t i = from; i < to; ++i) {
            keep[i] = matcher.shows(contacts[i]) ? 1 : 0;
        }
    };
    size_t half = contacts.size();
    std::thread other;
    if (contacts.size() >= ParallelFrom && std::thread::hardware_concurrency() > 1) {
        try {
            other = std::thread(decide, contacts.size() / 2, contacts.size());
            half = contacts.size() / 2;
        } catch (const std::system_error&) {
            // No second thread: this one does it all.
        }
    }
    decide(0, half);
    if (other.joinable()) {
        other.join();
    }
    const size_t kept = size_t(std::count(keep.begin(), keep.end(), std::uint8_t(1)));
    if (filter.quick == ContactFilter::Quick::Duplicates) {
        return groupedDuplicates(table, contacts, keep, kept);
    }
    std::vector<std::uint32_t> shown;
    shown.reserve(kept);
    for (size_t i = 0; i < contacts.size(); ++i) {
        if (keep[i] != 0) {
            shown.push_back(contacts[i]);
        }
    }
    return shown;
}

} // namespace tovanel
