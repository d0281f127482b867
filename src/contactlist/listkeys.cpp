#include "contactlist/listkeys.h"

#include "contactlist/collationsort.h"
#include "platform/displaytext.h"

#include <QCollator>
#include <algorithm>
#include <new>
#include <numeric>
#include <system_error>

namespace tovanel {

namespace {

// Below this many contacts the keys are made at once: quicker than starting a thread.
constexpr qsizetype BackgroundFrom = 20000;

// Thrown from a text look-up when the keys are no longer wanted: the sorts then end at once.
struct Cancelled {};

void goOn(const std::atomic_bool& cancel) {
    if (cancel.load(std::memory_order_relaxed)) {
        throw Cancelled();
    }
}

using Ranks = std::vector<std::uint32_t>;

// The ranks `makeRanks` gives, or null when memory ran out or they are no longer wanted.
template <typename MakeRanks>
std::unique_ptr<const Ranks> made(const std::atomic_bool& cancel, MakeRanks makeRanks) {
    try {
        goOn(cancel);
        return std::make_unique<const Ranks>(makeRanks());
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const Cancelled&) {
        return nullptr;
    }
}

// The family names' ranks, then the given names' among the same family names.
Ranks familyFirstRanks(const ContactTable& table, const QCollator& collator, const std::atomic_bool& cancel) {
    const size_t count = size_t(table.size());
    const auto ranksOf = [&](QStringView FamilyFirstParts::*part) {
        return collationRanks(
            count,
            [&](std::uint32_t contact) {
                goOn(cancel);
                return sortedPart(familyFirstParts(table, contact).*part);
            },
            collator);
    };
    const Ranks family = ranksOf(&FamilyFirstParts::family);
    const Ranks given = ranksOf(&FamilyFirstParts::given);
    // Counted into the order of given names, then, keeping it, of family names.
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    sortByRank(order, given, Qt::AscendingOrder);
    sortByRank(order, family, Qt::AscendingOrder);
    const auto key = [&](std::uint32_t contact) {
        return std::uint64_t(family[contact]) << 32 | given[contact];
    };
    Ranks ranks(count);
    std::uint32_t rank = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && key(order[i]) != key(order[i - 1])) {
            ++rank;
        }
        ranks[order[i]] = rank;
    }
    return ranks;
}

} // namespace

ListKeys::ListKeys(std::shared_ptr<const ContactTable> table)
    : m_table(std::move(table)), m_index(m_indexMade.get_future().share()),
      m_givenFirst(m_givenFirstMade.get_future().share()),
      m_familyFirst(m_familyFirstMade.get_future().share()) {
    if (m_table->size() >= BackgroundFrom) {
        try {
            m_thread = std::thread([this] { make(); });
            return;
        } catch (const std::system_error&) {
            // No thread: made here.
        }
    }
    make();
}

ListKeys::~ListKeys() {
    m_cancel = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void ListKeys::make() {
    const ContactTable& table = *m_table;
    try {
        auto index = std::make_unique<const SearchIndex>(table, &m_cancel);
        m_indexMade.set_value(index->isComplete() ? std::move(index) : nullptr);
    } catch (const std::bad_alloc&) {
        m_indexMade.set_value(nullptr);
    }
    const QCollator collator = listCollator();
    m_givenFirstMade.set_value(made(m_cancel, [&] {
        return collationRanks(
            size_t(table.size()),
            [&](std::uint32_t contact) {
                goOn(m_cancel);
                return sortedPart(table.text(qsizetype(contact), Field::Name));
            },
            collator);
    }));
    m_familyFirstMade.set_value(made(m_cancel, [&] { return familyFirstRanks(table, collator, m_cancel); }));
}

const SearchIndex* ListKeys::searchIndex() const {
    return m_index.get().get();
}

const std::vector<std::uint32_t>* ListKeys::nameRanks(NameOrder order) const {
    return (order == NameOrder::FamilyFirst ? m_familyFirst : m_givenFirst).get().get();
}

} // namespace tovanel
