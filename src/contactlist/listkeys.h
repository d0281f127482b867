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
// one alone. Each is null when memory ran out making it: the list is then searched and sorted without.
class ListKeys final {
public:
    explicit ListKeys(std::shared_ptr<const ContactTable> table);
    ~ListKeys();
    Q_DISABLE_COPY_MOVE(ListKeys)

    const ContactTable& table() const { return *m_table; }
    const SearchIndex* searchIndex() const;
    // Each contact's rank among the names as the list shows them in `order` (collationRanks).
    const std::vector<std::uint32_t>* nameRanks(NameOrder order) const;

private:
    void make();

    std::shared_ptr<const ContactTable> m_table;
    std::atomic_bool m_cancel{false};
    std::promise<std::unique_ptr<const SearchIndex>> m_indexMade;
    std::promise<std::unique_ptr<const std::vector<std::uint32_t>>> m_givenFirstMade;
    std::promise<std::unique_ptr<const std::vector<std::uint32_t>>> m_familyFirstMade;
    std::shared_future<std::unique_ptr<const SearchIndex>> m_index;
    std::shared_future<std::unique_ptr<const std::vector<std::uint32_t>>> m_givenFirst;
    std::shared_future<std::unique_ptr<const std::vector<std::uint32_t>>> m_familyFirst;
    std::thread m_thread;
};

} // namespace tovanel
