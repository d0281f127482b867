#pragma once

#include "contactlist/searchtext.h"
#include "contacts/contacttable.h"

#include <QStringView>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tovanel {

// One bit per contact of a table.
class ContactBits {
public:
    explicit ContactBits(qsizetype contacts = 0) : m_words(size_t(contacts + 63) / 64) {}
    bool test(qsizetype contact) const { return (m_words[size_t(contact) >> 6] >> (contact & 63) & 1) != 0; }
    void set(qsizetype contact) { m_words[size_t(contact) >> 6] |= std::uint64_t(1) << (contact & 63); }

private:
    std::vector<std::uint64_t> m_words;
};

// What the filter and the search look through, made once per list: the name, company, e-mail address and
// telephone numbers of every contact, folded as the search folds them, one contact after the other in
// three byte strings. A keystroke then reads some tens of megabytes in one sweep where it would
// otherwise visit every contact's texts wherever they lie and fold each as it goes.
class SearchIndex final {
public:
    // The parts of a contact a text is looked for in.
    enum Part : unsigned {
        Name = 1,
        Company = 2,
        // The name "Müller, Jürgen" and "Müller Jürgen", for a card with a given and a family name.
        TurnedName = 4,
        Email = 8,
        Numbers = 16,
    };

    // Reads `table`; gives up with an empty index as soon as `cancel` is set. May throw std::bad_alloc.
    explicit SearchIndex(const ContactTable& table, const std::atomic_bool* cancel = nullptr);
    bool isComplete() const { return m_complete; }

    // The contacts holding `text` in one of `parts`, as SearchNeedle looks for it: the folded text in
    // names, companies and e-mail addresses, the digits of a number in the telephone numbers. `parts`
    // are all of one kind: text, e-mail, or numbers. Looks on two threads in a large list. Given
    // `among`, only those contacts are looked at (others may or may not be found): few of them are
    // looked at one by one instead of sweeping through all.
    ContactBits holding(QStringView text, unsigned parts, std::span<const std::uint32_t> among = {}) const;

private:
    // Contact c's pieces lie from starts[c] to starts[c + 1], each ended by 0xFF.
    struct Pieces {
        std::string bytes;
        std::vector<std::uint32_t> starts;
        void endContact();
    };
    static void holding(const Pieces& pieces, const std::string& needle, unsigned pieceMask,
                        ContactBits& bits, qsizetype from, qsizetype to);

    qsizetype m_size = 0;
    bool m_complete = false;
    Pieces m_texts;   // name, company, "family, given", "family given"
    Pieces m_emails;  // the e-mail address
    Pieces m_numbers; // the three telephone numbers' keys
};

} // namespace tovanel
