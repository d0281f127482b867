// Duplicates are found in two sweeps over the table, one for the three numbers and one for the e-mail
// address and the UID: every key becomes one 64-bit word, the hash of its kind and text above and its place
// (contact and cell) below, the words are sorted, and the contacts of a run of equal hashes are joined
// once their keys prove equal. A union–find over the result vector carries the joins across the sweeps and
// makes every group's root its first contact.
#include "contacts/duplicates.h"

#include "contacts/contacttable.h"
#include "contacts/telephone.h"

#include <QChar>
#include <QHashFunctions>
#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <span>

namespace tovanel {

namespace {

// A key normalised into a buffer of its own: no cell costs an allocation. Case folding never makes a text
// longer than twice its UTF-16 units, the "00" of a "+" adds two.
// Keys of different kinds are never equal, whatever their text.
struct Key {
    std::array<char16_t, 2 * Duplicates::MaxKeyCharacters + 2> units;
    qsizetype size = 0;
    int kind = 0;

    bool operator==(const Key& other) const {
        return kind == other.kind && size == other.size &&
               std::memcmp(units.data(), other.units.data(), size_t(size) * 2) == 0;
    }
    // Any strict order will do: it only sorts keys that share a hash.
    bool operator<(const Key& other) const {
        if (kind != other.kind) {
            return kind < other.kind;
        }
        if (size != other.size) {
            return size < other.size;
        }
        return std::memcmp(units.data(), other.units.data(), size_t(size) * 2) < 0;
    }
};

// Each writes the key of a cell into `key` and returns whether the cell gives one.
using Normalise = bool (*)(QStringView cell, Key& key);

// The keys are made in local pointers and counts: these loops run over every cell of a million contacts.

bool telephoneCellKey(QStringView cell, Key& key) {
    key.size = 0;
    if (cell.size() > Duplicates::MaxKeyCharacters) {
        return false;
    }
    qsizetype digits = 0;
    const qsizetype size = telephoneKey(cell, key.units.data(), &digits);
    if (digits < Duplicates::MinTelephoneDigits) {
        return false;
    }
    key.size = size;
    return true;
}

// The text without the white space around it, as QStringView::trimmed gives it.
QStringView trimmedCell(QStringView cell) {
    const char16_t* text = cell.utf16();
    qsizetype begin = 0;
    qsizetype end = cell.size();
    while (begin < end && QChar::isSpace(char32_t(text[begin]))) {
        ++begin;
    }
    while (end > begin && QChar::isSpace(char32_t(text[end - 1]))) {
        --end;
    }
    return cell.sliced(begin, end - begin);
}

bool emailKey(QStringView cell, Key& key) {
    key.size = 0;
    cell = trimmedCell(cell);
    if (cell.isEmpty() || cell.size() > Duplicates::MaxKeyCharacters) {
        return false;
    }
    const char16_t* in = cell.utf16();
    char16_t* out = key.units.data();
    qsizetype n = 0;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        const char16_t unit = in[i];
        if (unit < 0x80) {
            out[n++] = unsigned(unit - u'A') < 26u ? char16_t(unit + (u'a' - u'A')) : unit;
            continue;
        }
        char32_t c = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < cell.size() && QChar::isLowSurrogate(in[i + 1])) {
            c = QChar::surrogateToUcs4(unit, in[++i]);
        }
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            out[n++] = QChar::highSurrogate(c);
            out[n++] = QChar::lowSurrogate(c);
        } else {
            out[n++] = char16_t(c);
        }
    }
    key.size = n;
    return true;
}

bool uidKey(QStringView cell, Key& key) {
    key.size = 0;
    cell = trimmedCell(cell);
    if (cell.isEmpty() || cell.size() > Duplicates::MaxKeyCharacters) {
        return false;
    }
    std::memcpy(key.units.data(), cell.utf16(), size_t(cell.size()) * 2);
    key.size = cell.size();
    return true;
}

// Of the kind and the text; the top bits of the result are the ones the sort uses. Qt's seeded hash of a
// memory block is made to withstand keys chosen to collide (a simple multiply-and-shift hash, even with a
// secret start, lets a file's author make a million different addresses share one hash and leave the
// finder comparing them all); `seed` is new for every run.
std::uint64_t hashOf(const Key& key, std::uint64_t seed) {
    return qHashBits(key.units.data(), size_t(key.size) * sizeof(char16_t),
                     size_t(seed + 0x9E3779B97F4A7C15ull * std::uint64_t(key.kind + 1)));
}

// Sorts by the top bits first, 256 buckets at a time in place (American flag sort), and small buckets by
// comparison. The hashes are spread evenly, so two or three rounds leave buckets of a few dozen words.
void radixSort(std::uint64_t* first, std::uint64_t* last, int shift) {
    const auto count = size_t(last - first);
    if (count <= 64 || shift < 0) {
        std::sort(first, last);
        return;
    }
    std::array<size_t, 256> sizes{};
    for (const std::uint64_t* p = first; p != last; ++p) {
        ++sizes[(*p >> shift) & 0xFF];
    }
    std::array<std::uint64_t*, 256> heads;
    std::array<std::uint64_t*, 256> ends;
    std::uint64_t* next = first;
    for (size_t b = 0; b < 256; ++b) {
        heads[b] = next;
        next += sizes[b];
        ends[b] = next;
    }
    for (size_t b = 0; b < 256; ++b) {
        while (heads[b] != ends[b]) {
            std::uint64_t value = *heads[b];
            size_t bucket = (value >> shift) & 0xFF;
            while (bucket != b) {
                std::swap(value, *heads[bucket]++);
                bucket = (value >> shift) & 0xFF;
            }
            *heads[b]++ = value;
        }
    }
    std::uint64_t* begin = first;
    for (size_t b = 0; b < 256; ++b) {
        radixSort(begin, begin + sizes[b], shift - 8);
        begin += sizes[b];
    }
}

// Union–find whose parent links are the result vector itself, made only once two contacts are joined. A
// root is always the smallest contact of its set, so every link points to a smaller or equal contact.
class Groups {
public:
    explicit Groups(qsizetype contacts) : m_contacts(contacts) {}

    // Asks for the memory line of a contact's link, which unite will read.
    void prefetch(std::uint32_t contact) const {
        if (!m_parent.empty()) {
            __builtin_prefetch(m_parent.data() + contact);
        }
    }

    void unite(std::uint32_t a, std::uint32_t b) {
        // A contact that gives one key twice is no duplicate of itself.
        if (a == b) {
            return;
        }
        if (m_parent.empty()) {
            m_parent.resize(size_t(m_contacts));
            std::iota(m_parent.begin(), m_parent.end(), std::uint32_t(0));
        }
        a = find(a);
        b = find(b);
        if (a < b) {
            m_parent[b] = a;
        } else if (b < a) {
            m_parent[a] = b;
        }
    }

    // The groups as the table keeps them, the parent links turned into them in place; none when no two
    // contacts were joined.
    std::vector<std::uint32_t> take() {
        std::vector<std::uint32_t>& p = m_parent;
        // In ascending order every link's target already points to its root.
        for (size_t i = 0; i < p.size(); ++i) {
            p[i] = p[p[i]];
        }
        // A root is visited before its members, which mark it; each slot is read before it is written.
        for (size_t i = 0; i < p.size(); ++i) {
            const std::uint32_t root = p[i];
            if (root == i) {
                p[i] = 0;
            } else {
                p[i] = root + 1;
                p[root] = root + 1;
            }
        }
        return std::move(m_parent);
    }

private:
    std::uint32_t find(std::uint32_t x) {
        while (m_parent[x] != x) {
            m_parent[x] = m_parent[m_parent[x]];
            x = m_parent[x];
        }
        return x;
    }

    qsizetype m_contacts;
    std::vector<std::uint32_t> m_parent;
};

// A cell that gives keys, and the kind of its keys.
struct KeyCell {
    Field field;
    Normalise normalise;
    int kind;
};

enum KeyKind { Telephone, Email, Uid };

// The two sweeps: no more than three keys per contact in either.
constexpr std::array<KeyCell, 3> TelephoneCells{KeyCell{TelephoneFields[0], telephoneCellKey, Telephone},
                                                KeyCell{TelephoneFields[1], telephoneCellKey, Telephone},
                                                KeyCell{TelephoneFields[2], telephoneCellKey, Telephone}};
constexpr std::array<KeyCell, 2> EmailAndUidCells{KeyCell{Field::Email, emailKey, Email},
                                                  KeyCell{Field::Uid, uidKey, Uid}};
constexpr size_t MostCells = 3;

// The cells a finder reads are spread over the table's memory, and reading one waits for memory most of
// the time. They are read in batches: first the cells of a batch are looked up, which the processor does
// side by side, then their keys are made.
constexpr size_t Batch = 512;

// Asks for the first and the last memory line of a short text.
void prefetch(QStringView text) {
    __builtin_prefetch(text.data());
    __builtin_prefetch(text.data() + text.size());
}

class Finder {
public:
    Finder(const ContactTable& table, Groups& groups, std::uint64_t hashMask)
        : m_table(table), m_groups(groups), m_hashMask(hashMask),
          m_seed(QRandomGenerator::system()->generate64()) {}

    // Joins the contacts that share a key of `cells`. `entries` is reused from sweep to sweep.
    void join(std::span<const KeyCell> cells, std::vector<std::uint64_t>& entries) {
        m_cells = cells;
        m_width = cells.size();
        const std::uint64_t places = std::uint64_t(m_table.size()) * m_width;
        const int indexBits = std::bit_width(places - 1);
        m_indexMask = indexBits == 0 ? 0 : ~std::uint64_t(0) >> (64 - indexBits);
        entries.clear();
        collect(entries);
        radixSort(entries.data(), entries.data() + entries.size(), 56);
        verify(entries);
    }

private:
    using Entry = std::vector<std::uint64_t>::iterator;

    std::uint64_t hashOfEntry(std::uint64_t entry) const { return entry & ~m_indexMask; }
    std::uint64_t placeOf(std::uint64_t entry) const { return entry & m_indexMask; }
    std::uint32_t contactOf(std::uint64_t entry) const { return std::uint32_t(placeOf(entry) / m_width); }
    const KeyCell& cellOf(std::uint64_t entry) const { return m_cells[placeOf(entry) % m_width]; }
    QStringView textOf(std::uint64_t entry) const {
        return m_table.text(contactOf(entry), cellOf(entry).field);
    }
    bool keyOf(const KeyCell& cell, QStringView text, Key& key) const {
        key.kind = cell.kind;
        return cell.normalise(text, key);
    }
    void keyOf(std::uint64_t entry, Key& key) const { keyOf(cellOf(entry), textOf(entry), key); }

    // Every key of the cells as its hash above its place. Room for three keys per contact is taken, by
    // address only, at the first key: memory is used only as keys are written.
    void collect(std::vector<std::uint64_t>& entries) {
        const std::uint64_t hashMask = m_hashMask & ~m_indexMask;
        const qsizetype step = qsizetype(Batch / m_width);
        for (qsizetype base = 0; base < m_table.size(); base += step) {
            const qsizetype end = std::min(m_table.size(), base + step);
            size_t n = 0;
            for (qsizetype contact = base; contact < end; ++contact) {
                for (const KeyCell& cell : m_cells) {
                    m_texts[n] = m_table.text(contact, cell.field);
                    prefetch(m_texts[n]);
                    ++n;
                }
            }
            n = 0;
            for (qsizetype contact = base; contact < end; ++contact) {
                for (size_t c = 0; c < m_width; ++c) {
                    if (!keyOf(m_cells[c], m_texts[n++], m_a)) {
                        continue;
                    }
                    if (entries.capacity() == 0) {
                        entries.reserve(size_t(m_table.size()) * MostCells);
                    }
                    entries.push_back((hashOf(m_a, m_seed) & hashMask) |
                                      (std::uint64_t(contact) * m_width + c));
                }
            }
        }
    }

    // Joins the contacts of each run of equal hashes whose keys are equal: as a rule a run holds one key,
    // which each of its entries is checked against, in order.
    void verify(std::vector<std::uint64_t>& entries) {
        const size_t count = entries.size();
        const auto inRun = [&](size_t i) {
            const std::uint64_t hash = hashOfEntry(entries[i]);
            return (i > 0 && hashOfEntry(entries[i - 1]) == hash) ||
                   (i + 1 < count && hashOfEntry(entries[i + 1]) == hash);
        };
        // Runs that hold more than one key, as (begin, end).
        std::vector<std::pair<size_t, size_t>> mixed;
        size_t runStart = 0;
        bool runMixed = false;
        std::array<bool, Batch> checked;
        for (size_t base = 0; base < count; base += Batch) {
            const size_t end = std::min(count, base + Batch);
            // The contacts' records first (reading where a card begins reads its record), then their texts
            // and links: each step waits for many of them at once.
            for (size_t i = base; i < end; ++i) {
                checked[i - base] = inRun(i);
                if (checked[i - base]) {
                    m_table.prefetch(contactOf(entries[i]));
                    m_groups.prefetch(contactOf(entries[i]));
                }
            }
            for (size_t i = base; i < end; ++i) {
                if (checked[i - base]) {
                    m_texts[i - base] = textOf(entries[i]);
                    prefetch(m_texts[i - base]);
                }
            }
            for (size_t i = base; i < end; ++i) {
                if (!checked[i - base]) {
                    continue;
                }
                const bool first = i == 0 || hashOfEntry(entries[i - 1]) != hashOfEntry(entries[i]);
                if (first) {
                    if (runMixed) {
                        mixed.emplace_back(runStart, i);
                    }
                    runStart = i;
                    runMixed = false;
                    keyOf(cellOf(entries[i]), m_texts[i - base], m_a);
                    continue;
                }
                keyOf(cellOf(entries[i]), m_texts[i - base], m_b);
                if (m_b == m_a) {
                    m_groups.unite(contactOf(entries[runStart]), contactOf(entries[i]));
                } else {
                    runMixed = true;
                }
            }
        }
        if (runMixed) {
            size_t end = runStart + 1;
            while (end < count && hashOfEntry(entries[end]) == hashOfEntry(entries[runStart])) {
                ++end;
            }
            mixed.emplace_back(runStart, end);
        }
        for (const auto& [begin, end] : mixed) {
            joinMixedRun(entries.begin() + qsizetype(begin), entries.begin() + qsizetype(end));
        }
    }

    // Different keys behind one hash: sorted by the keys themselves, equal neighbours are joined.
    void joinMixedRun(Entry first, Entry last) {
        std::sort(first, last, [this](std::uint64_t x, std::uint64_t y) {
            keyOf(x, m_a);
            keyOf(y, m_b);
            return m_a < m_b;
        });
        for (Entry e = first + 1; e != last; ++e) {
            keyOf(*(e - 1), m_a);
            keyOf(*e, m_b);
            if (m_a == m_b) {
                m_groups.unite(contactOf(*(e - 1)), contactOf(*e));
            }
        }
    }

    const ContactTable& m_table;
    Groups& m_groups;
    const std::uint64_t m_hashMask;
    const std::uint64_t m_seed;
    std::span<const KeyCell> m_cells;
    size_t m_width = 1;
    std::uint64_t m_indexMask = 0;
    std::array<QStringView, Batch> m_texts;
    Key m_a;
    Key m_b;
};

} // namespace

std::vector<std::uint32_t> findDuplicateGroups(const ContactTable& table) {
    return findDuplicateGroups(table, 64);
}

std::vector<std::uint32_t> findDuplicateGroups(const ContactTable& table, int hashBits) {
    const qsizetype contacts = table.size();
    // A group is told by its first contact's number plus one, which has to fit.
    if (contacts < 2 || contacts >= qsizetype(std::numeric_limits<std::uint32_t>::max())) {
        return {};
    }
    const std::uint64_t hashMask = hashBits <= 0 ? 0 : ~std::uint64_t(0) << (64 - std::min(hashBits, 64));
    Groups groups(contacts);
    const auto finder = std::make_unique<Finder>(table, groups, hashMask);
    std::vector<std::uint64_t> entries;
    finder->join(TelephoneCells, entries);
    finder->join(EmailAndUidCells, entries);
    entries = {};
    return groups.take();
}

} // namespace tovanel
