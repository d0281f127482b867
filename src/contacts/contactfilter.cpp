#include "contactfilter.h"

#include "contacttable.h"
#include "searchtext.h"

#include <QVarLengthArray>
#include <algorithm>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

bool ContactFilter::isEmpty() const {
    return text.isEmpty() && quick == Quick::All;
}

bool ContactFilter::narrows(const ContactFilter& wider) const {
    if (quick != wider.quick || file != wider.file) {
        return false;
    }
    if (wider.text.isEmpty()) {
        return true;
    }
    const SearchKind kind = searchKind(text);
    if (kind != searchKind(wider.text)) {
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

constexpr Field Phones[] = {Field::MobilePhone, Field::HomePhone, Field::WorkPhone};

// Decides for one contact; made once per thread, since the needles keep scratch space.
class Matcher {
public:
    Matcher(const ContactTable& table, const ContactFilter& filter)
        : m_table(table), m_filter(filter), m_kind(searchKind(filter.text)) {
        if (filter.quick == ContactFilter::Quick::File && filter.file >= 0 &&
            filter.file < table.fileCount()) {
            m_fileBegin = table.fileStart(filter.file);
            m_fileEnd = filter.file + 1 < table.fileCount() ? table.fileStart(filter.file + 1) : table.size();
        }
        if (m_kind == SearchKind::Number) {
            m_number.emplace(filter.text);
        } else {
            m_text.emplace(filter.text);
        }
    }

    bool shows(qsizetype contact) { return quickShows(contact) && textShows(contact); }

private:
    bool quickShows(qsizetype contact) const {
        switch (m_filter.quick) {
        case ContactFilter::Quick::All:
            return true;
        case ContactFilter::Quick::Favourites:
            return std::any_of(std::begin(Phones), std::end(Phones),
                               [&](Field field) { return m_table.isBold(contact, field); });
        case ContactFilter::Quick::WithoutPhone:
            return std::all_of(std::begin(Phones), std::end(Phones),
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
        if (m_text && m_text->isEmpty()) {
            return true;
        }
        switch (m_kind) {
        case SearchKind::Number:
            return std::any_of(std::begin(Phones), std::end(Phones), [&](Field field) {
                return m_number->foundIn(m_table.text(contact, field), m_scratch);
            });
        case SearchKind::Email:
            return m_text->foundIn(m_table.text(contact, Field::Email));
        case SearchKind::Text:
            return m_text->foundIn(m_table.text(contact, Field::Name)) ||
                   m_text->foundIn(m_table.text(contact, Field::Company));
        }
        return false;
    }

    const ContactTable& m_table;
    const ContactFilter& m_filter;
    SearchKind m_kind;
    std::optional<FoldedNeedle> m_text;
    std::optional<NumberNeedle> m_number;
    QVarLengthArray<char, 64> m_scratch;
    qsizetype m_fileBegin = 0;
    qsizetype m_fileEnd = 0;
};

// Below this many contacts a second thread costs more than it saves.
constexpr size_t ParallelFrom = 20000;

void groupDuplicates(const ContactTable& table, std::vector<std::uint32_t>& shown) {
    // Each group where its first member stands; stable, so the members keep the list's order.
    std::unordered_map<std::uint32_t, std::uint32_t> firstPlace;
    firstPlace.reserve(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        firstPlace.try_emplace(table.duplicateGroup(shown[i]), std::uint32_t(i));
    }
    std::stable_sort(shown.begin(), shown.end(), [&](std::uint32_t a, std::uint32_t b) {
        return firstPlace[table.duplicateGroup(a)] < firstPlace[table.duplicateGroup(b)];
    });
}

} // namespace

std::vector<std::uint32_t> filterContacts(const ContactTable& table, std::span<const std::uint32_t> contacts,
                                          const ContactFilter& filter) {
    std::vector<std::uint8_t> keep(contacts.size());
    const auto decide = [&](size_t from, size_t to) {
        Matcher matcher(table, filter);
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
    std::vector<std::uint32_t> shown;
    shown.reserve(size_t(std::count(keep.begin(), keep.end(), std::uint8_t(1))));
    for (size_t i = 0; i < contacts.size(); ++i) {
        if (keep[i] != 0) {
            shown.push_back(contacts[i]);
        }
    }
    if (filter.quick == ContactFilter::Quick::Duplicates) {
        groupDuplicates(table, shown);
    }
    return shown;
}
