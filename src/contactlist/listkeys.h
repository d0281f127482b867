#pragma once

#include "contactlist/listcolumns.h"
#include "contactlist/searchindex.h"
#include "contacts/contacttable.h"

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace tovanel {

// What a list is searched and sorted by, made once per list: the search index and the names' ranks in
// either order. A large list has them made on a thread of its own, beginning with what the first
// keystroke needs, while the list is already shown; whoever asks before they are done waits for that
// one alone. The ranks with the family name first, which take twice the others' time, are made only once
// that order is asked for. Each is null when memory ran out making it: the list is then searched and
// sorted without.
class ListKeys final {
public:
    explicit ListKeys(std::shared_ptr<const ContactTable> table);
    ~ListKeys();
    Q_DISABLE_COPY_MOVE(ListKeys)

    const ContactTable& table() const { return *m_table; }
    const SearchIndex* searchIndex() const;
    // Each contact's rank among the names as the list shows them in `order` (collationRanks).
    const std::vector<std::uint32_t>* nameRanks(NameOrder order) const;
    // Starts making the ranks of names in `order`, where they are not yet being made.
    void prepare(NameOrder order) const;

private:
    // What is made stays as it was made: these keep their results in the promises, whoever asked.
    void make() const;
    void makeFamilyFirst() const;
    void run(std::thread& thread, void (ListKeys::*work)() const) const;

    std::shared_ptr<const ContactTable> m_table;
    std::atomic_bool m_cancel{false};
    mutable std::promise<std::unique_ptr<const SearchIndex>> m_indexMade;
    mutable std::promise<std::unique_ptr<const std::vector<std::uint32_t>>> m_givenFirstMade;
    mutable std::promise<std::unique_ptr<const std::vector<std::uint32_t>>> m_familyFirstMade;
    std::shared_future<std::unique_ptr<const SearchIndex>> m_index;
    std::shared_future<std::unique_ptr<const std::vector<std::uint32_t>>> m_givenFirst;
    std::shared_future<std::unique_ptr<const std::vector<std::uint32_t>>> m_familyFirst;
    mutable std::thread m_thread;
    // Started by the first to ask, whoever holds the keys.
    mutable bool m_familyFirstStarted = false;
    mutable std::thread m_familyFirstThread;
};

} // namespace tovanel
