#include "contacts/contacttable.h"

#include "contacts/telephone.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tovanel {

void ContactTable::FreeBlock::operator()(char16_t* block) const {
#ifdef __linux__
    if (mappedBytes != 0) {
        munmap(block, mappedBytes);
        return;
    }
#endif
    std::free(block);
}

// A full-size block is placed on a 2 MB boundary and offered to the kernel as one huge page: a table of
// a million contacts then takes a few hundred page faults instead of a hundred thousand. It is mapped on
// its own, not taken from the C library's heap: a freed huge page inside the heap stays resident, so a
// large list replaced by a small one would keep its memory until the program ends. (The address
// sanitizer only watches the heap, so its builds take the blocks from there.)
ContactTable::Block ContactTable::allocateBlock(qsizetype characters) {
    const size_t bytes = size_t(characters) * sizeof(char16_t);
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
    constexpr size_t HugePage = size_t(2) << 20;
    if (bytes % HugePage == 0) {
        void* mapped =
            mmap(nullptr, bytes + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped != MAP_FAILED) {
            // The mapping is cut down to the aligned part.
            const auto start = reinterpret_cast<std::uintptr_t>(mapped);
            const std::uintptr_t aligned = (start + HugePage - 1) & ~std::uintptr_t(HugePage - 1);
            if (aligned > start) {
                munmap(mapped, aligned - start);
            }
            if (const std::uintptr_t tail = start + bytes + HugePage - (aligned + bytes); tail > 0) {
                munmap(reinterpret_cast<void*>(aligned + bytes), tail);
            }
            auto* block = reinterpret_cast<char16_t*>(aligned);
#ifdef MADV_HUGEPAGE
            madvise(block, bytes, MADV_HUGEPAGE); // only a hint: without it, ordinary pages
#endif
            return Block(block, FreeBlock{bytes});
        }
    }
#endif
    void* block = std::malloc(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return Block(static_cast<char16_t*>(block), FreeBlock());
}

namespace {

// The header stays in the block's own element type: one code unit per end offset where they fit, else two.
std::uint32_t readEnd(const char16_t* header, int index, bool shortEnds) {
    if (shortEnds) {
        return header[index];
    }
    std::uint32_t end;
    std::memcpy(&end, header + 2 * index, sizeof end);
    return end;
}

// Below this many characters of texts a contact's end offsets take one code unit each.
constexpr qsizetype ShortEndsBelow = 0x10000;

// Empty fields are not stored; they still read as an empty, not a null, text.
constexpr char16_t NoText[1] = {0};

} // namespace

QStringView ContactTable::text(qsizetype contact, Field field) const {
    const Contact& c = at(contact);
    const unsigned bit = 1u << int(field);
    if ((c.present & bit) == 0) {
        if (field == Field::HomeCountry || field == Field::WorkCountry) {
            const std::vector<std::uint32_t>& ids = m_countries[field == Field::HomeCountry ? 0 : 1];
            if (const std::uint32_t id = ids.empty() ? 0 : ids[size_t(contact)]; id != 0) {
                return m_countryNames[id];
            }
        }
        return QStringView(NoText, 0);
    }
    const auto present = unsigned(c.present);
    const int index = std::popcount(present & (bit - 1));
    const int count = std::popcount(present);
    const char16_t* header = m_blocks[c.block].get() + c.offset;
    const bool shortEnds = c.shortEnds != 0;
    const std::uint32_t from = index == 0 ? 0 : readEnd(header, index - 1, shortEnds);
    return QStringView(header + (shortEnds ? 1 : 2) * count + from,
                       qsizetype(readEnd(header, index, shortEnds) - from));
}

bool ContactTable::isBold(qsizetype contact, Field field) const {
    if (!isTelephone(field)) {
        return false;
    }
    return (at(contact).bold & boldBit(field)) != 0;
}

std::uint32_t ContactTable::endDeltaOf(qint64 begin, qint64 end, bool* far) {
    *far = false;
    if (end == -1) {
        return NoEnd;
    }
    if (end >= begin && end - begin < qint64(FarEnd)) {
        return std::uint32_t(end - begin);
    }
    *far = true;
    return FarEnd;
}

// Only ever called for the contact added last, so `m_farEnds` stays in contact order.
void ContactTable::setEnd(qsizetype contact, qint64 end) {
    Contact& c = at(contact);
    bool far = false;
    c.endDelta = endDeltaOf(c.begin, end, &far);
    const bool listed = !m_farEnds.empty() && m_farEnds.back().first == contact;
    if (far && listed) {
        m_farEnds.back().second = end;
    } else if (far) {
        m_farEnds.emplace_back(contact, end);
    } else if (listed) {
        m_farEnds.pop_back();
    }
}

qint64 ContactTable::endPosition(qsizetype contact) const {
    const Contact& c = at(contact);
    if (c.endDelta == NoEnd) {
        return -1;
    }
    if (c.endDelta != FarEnd) {
        return c.begin + qint64(c.endDelta);
    }
    const auto it = std::lower_bound(m_farEnds.begin(), m_farEnds.end(), contact,
                                     [](const auto& entry, qsizetype key) { return entry.first < key; });
    return it->second;
}

void ContactTable::setLastEndPosition(qint64 end) {
    setEnd(m_size - 1, end);
}

void ContactTable::append(const std::array<QStringView, StoredFieldCount>& texts, std::uint8_t boldMask,
                          qint64 begin, qint64 end, int familyLength, std::uint32_t birthday) {
    // The end offsets are 32 bits: what lies beyond 4 G characters of one contact is cut.
    constexpr qsizetype MaxTotal = 0xFFFFFFFF;
    // Countries repeat from card to card: each is kept once, a contact holds its number.
    std::uint32_t interned = 0;
    for (size_t side = 0; side < 2; ++side) {
        const Field field = side == 0 ? Field::HomeCountry : Field::WorkCountry;
        const std::uint32_t id = countryId(texts[size_t(field)]);
        pushDense(m_countries[side], id);
        interned |= id != 0 ? 1u << int(field) : 0u;
    }
    std::uint32_t present = 0;
    qsizetype total = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        present |= texts[i].isEmpty() ? 0u : 1u << i;
        total += texts[i].size();
    }
    present &= ~interned;
    if (total > MaxTotal) {
        // Only a contact of gigantic texts: which of them still have a character of their own.
        total = 0;
        for (size_t i = 0; i < texts.size(); ++i) {
            const std::uint32_t bit = 1u << i;
            if ((present & bit) != 0 && std::min(texts[i].size(), MaxTotal - total) == 0) {
                present &= ~bit;
            } else if ((present & bit) != 0) {
                total += std::min(texts[i].size(), MaxTotal - total);
            }
        }
    } else {
        for (std::uint32_t rest = interned; rest != 0; rest &= rest - 1) {
            total -= texts[size_t(std::countr_zero(rest))].size();
        }
    }
    const int count = std::popcount(present);
    if ((m_size & (ChunkSize - 1)) == 0) {
        m_chunks.push_back(std::make_unique_for_overwrite<Contact[]>(size_t(ChunkSize)));
    }
    Contact contact{};
    contact.begin = begin;
    contact.present = present;
    contact.bold = boldMask & 7u;
    contact.familyLength = std::uint32_t(std::clamp(familyLength, 0, MaxFamilyLength));
    pushDense(m_birthdays, birthday);
    pushDense(m_groupSets, 0);
    contact.shortEnds = total < ShortEndsBelow ? 1 : 0;
    if (count > 0) {
        const int endUnits = contact.shortEnds != 0 ? 1 : 2;
        const qsizetype needed = endUnits * count + total;
        if (m_blocks.empty() || m_blockUsed + needed > m_blockSizes.back()) {
            // A small first block: a list of a thousand one-card files does not hold a thousand
            // blocks of two megabytes.
            const qsizetype size = std::max(m_blocks.empty() ? FirstBlockSize : BlockSize, needed);
            m_blocks.push_back(allocateBlock(size));
            m_blockSizes.push_back(size);
            m_blockUsed = 0;
        }
        contact.block = std::uint32_t(m_blocks.size() - 1);
        contact.offset = std::uint32_t(m_blockUsed);
        char16_t* header = m_blocks.back().get() + m_blockUsed;
        char16_t* dst = header + endUnits * count;
        std::uint32_t fieldEnd = 0;
        // Only the fields present, in Field order (an empty view may carry no data pointer at all).
        for (std::uint32_t rest = present; rest != 0; rest &= rest - 1) {
            const QStringView text = texts[size_t(std::countr_zero(rest))];
            const auto n = std::uint32_t(std::min(text.size(), MaxTotal - qsizetype(fieldEnd)));
            std::memcpy(dst + fieldEnd, text.utf16(), size_t(n) * sizeof(char16_t));
            fieldEnd += n;
            if (endUnits == 1) {
                *header = char16_t(fieldEnd);
            } else {
                std::memcpy(header, &fieldEnd, sizeof fieldEnd);
            }
            header += endUnits;
        }
        m_blockUsed += needed;
    }
    at(m_size++) = contact;
    setEnd(m_size - 1, end);
}

template <typename From>
void ContactTable::appendRecords(From& other, std::uint32_t blockShift, std::uint32_t offsetShift) {
    for (qsizetype i = 0; i < other.m_size; ++i) {
        if ((m_size & (ChunkSize - 1)) == 0) {
            m_chunks.push_back(std::make_unique_for_overwrite<Contact[]>(size_t(ChunkSize)));
        }
        Contact& contact = at(m_size++);
        contact = other.at(i);
        contact.block += blockShift;
        contact.offset += offsetShift;
        if constexpr (!std::is_const_v<From>) {
            if ((i & (ChunkSize - 1)) == ChunkSize - 1) {
                other.m_chunks[size_t(i >> ChunkShift)].reset(); // keeps one copy of the contacts at a time
            }
        }
    }
}

void ContactTable::appendTable(ContactTable& other) {
    if (m_size == 0 && m_blocks.empty() && m_files.empty()) {
        // Nothing to shift: the other table's storage becomes this one's as it is.
        std::swap(m_chunks, other.m_chunks);
        std::swap(m_size, other.m_size);
        std::swap(m_blocks, other.m_blocks);
        std::swap(m_blockSizes, other.m_blockSizes);
        std::swap(m_blockUsed, other.m_blockUsed);
        std::swap(m_farEnds, other.m_farEnds);
        std::swap(m_birthdays, other.m_birthdays);
        std::swap(m_anniversaries, other.m_anniversaries);
        std::swap(m_groupSets, other.m_groupSets);
        std::swap(m_countries, other.m_countries);
        std::swap(m_lastCountry, other.m_lastCountry);
        std::swap(m_countryNames, other.m_countryNames);
        std::swap(m_countryIndex, other.m_countryIndex);
        std::swap(m_groupSetNames, other.m_groupSetNames);
        std::swap(m_groupSetIndex, other.m_groupSetIndex);
        return;
    }
    auto blockShift = std::uint32_t(m_blocks.size());
    std::uint32_t offsetShift = 0;
    // A small file fills little of its first block: its texts are copied behind those before it rather
    // than the block kept, or a folder of a hundred thousand one-card files would hold a block each.
    if (other.m_blocks.size() == 1 && other.m_blockUsed * 2 <= other.m_blockSizes.front()) {
        const qsizetype needed = other.m_blockUsed;
        if (m_blocks.empty() || m_blockUsed + needed > m_blockSizes.back()) {
            // Each new block as large as all before it, up to the full size: a few files take little
            // room, many files few blocks.
            qsizetype held = 0;
            for (qsizetype size : m_blockSizes) {
                held += size;
            }
            const qsizetype size = std::max(std::clamp(held, FirstBlockSize, BlockSize), needed);
            m_blocks.push_back(allocateBlock(size));
            m_blockSizes.push_back(size);
            m_blockUsed = 0;
        }
        std::memcpy(m_blocks.back().get() + m_blockUsed, other.m_blocks.front().get(),
                    size_t(needed) * sizeof(char16_t));
        blockShift = std::uint32_t(m_blocks.size() - 1);
        offsetShift = std::uint32_t(m_blockUsed);
        m_blockUsed += needed;
    } else {
        for (auto& block : other.m_blocks) {
            m_blocks.push_back(std::move(block));
        }
        m_blockSizes.insert(m_blockSizes.end(), other.m_blockSizes.begin(), other.m_blockSizes.end());
        if (!other.m_blocks.empty()) {
            m_blockUsed = other.m_blockUsed;
        }
    }
    for (const auto& [contact, end] : other.m_farEnds) {
        m_farEnds.emplace_back(contact + m_size, end);
    }
    appendDates(other, m_size);
    appendRecords(other, blockShift, offsetShift);
    other.m_chunks.clear();
    other.m_blocks.clear();
    other.m_blockSizes.clear();
    other.m_farEnds.clear();
    other.m_birthdays.clear();
    other.m_anniversaries.clear();
    other.m_groupSets.clear();
    other.m_countries = {};
    other.m_blockUsed = 0;
    other.m_size = 0;
}

qsizetype ContactTable::bytesUsed() const {
    qsizetype bytes = qsizetype(m_chunks.size()) * ChunkSize * qsizetype(sizeof(Contact));
    for (qsizetype size : m_blockSizes) {
        bytes += size * qsizetype(sizeof(char16_t));
    }
    bytes += qsizetype(m_farEnds.capacity() * sizeof(m_farEnds[0]));
    bytes += qsizetype(m_duplicateGroups.capacity() * sizeof(std::uint32_t));
    bytes += qsizetype(m_birthdays.capacity() * sizeof(std::uint32_t));
    bytes += qsizetype(m_anniversaries.capacity() * sizeof(m_anniversaries[0]));
    bytes += qsizetype(m_groupSets.capacity() * sizeof(std::uint32_t));
    bytes += qsizetype((m_countries[0].capacity() + m_countries[1].capacity()) * sizeof(std::uint32_t));
    return bytes;
}

void ContactTable::setSource(std::shared_ptr<const ContactSource> source) {
    m_files.assign(1, FileEntry{0, std::move(source)});
}

void ContactTable::appendFile(ContactTable& other) {
    const qsizetype first = m_size;
    // Reserved first: running out of memory then leaves both tables whole. Grown by half at a time, as
    // push_back would: a list read file by file must not move every entry for each file.
    if (const size_t wanted = m_files.size() + other.m_files.size(); wanted > m_files.capacity()) {
        m_files.reserve(std::max(wanted, m_files.capacity() + m_files.capacity() / 2));
    }
    appendTable(other);
    for (FileEntry& file : other.m_files) {
        m_files.push_back({first + file.first, std::move(file.source)});
    }
    other.m_files.clear();
}

void ContactTable::appendShared(const ContactTable& other) {
    const auto blockShift = std::uint32_t(m_blocks.size());
    const qsizetype shift = m_size;
    m_blocks.insert(m_blocks.end(), other.m_blocks.begin(), other.m_blocks.end());
    m_blockSizes.insert(m_blockSizes.end(), other.m_blockSizes.begin(), other.m_blockSizes.end());
    // The other table still shows these blocks, and another list may be built from it as well: whatever
    // comes after goes into blocks of this table's own, never into the free end of a shared one.
    m_blockUsed = m_blockSizes.empty() ? 0 : m_blockSizes.back();
    for (const auto& [contact, end] : other.m_farEnds) {
        m_farEnds.emplace_back(contact + shift, end);
    }
    appendDates(other, shift);
    for (const FileEntry& file : other.m_files) {
        m_files.push_back({file.first + shift, file.source});
    }
    appendRecords(other, blockShift, 0);
}

void ContactTable::appendDates(const ContactTable& other, qsizetype shift) {
    if (!other.m_birthdays.empty()) {
        m_birthdays.resize(size_t(shift));
        m_birthdays.insert(m_birthdays.end(), other.m_birthdays.begin(), other.m_birthdays.end());
    } else if (!m_birthdays.empty()) {
        m_birthdays.resize(size_t(shift + other.m_size));
    }
    for (const auto& [contact, date] : other.m_anniversaries) {
        m_anniversaries.emplace_back(std::uint32_t(contact + shift), date);
    }
    std::vector<std::uint32_t> mapped(other.m_countryNames.size());
    for (size_t id = 1; id < mapped.size(); ++id) {
        mapped[id] = countryId(other.m_countryNames[id]);
    }
    for (size_t side = 0; side < 2; ++side) {
        std::vector<std::uint32_t>& ids = m_countries[side];
        if (!other.m_countries[side].empty()) {
            ids.resize(size_t(shift));
            for (const std::uint32_t id : other.m_countries[side]) {
                ids.push_back(mapped[id]);
            }
        } else if (!ids.empty()) {
            ids.resize(size_t(shift + other.m_size));
        }
    }
    if (!other.m_groupSets.empty()) {
        std::vector<std::uint32_t> mapped(other.m_groupSetNames.size());
        for (size_t set = 1; set < mapped.size(); ++set) {
            mapped[set] = groupSetOf(other.m_groupSetNames[set]);
        }
        m_groupSets.resize(size_t(shift));
        for (const std::uint32_t set : other.m_groupSets) {
            m_groupSets.push_back(mapped[set]);
        }
    } else if (!m_groupSets.empty()) {
        m_groupSets.resize(size_t(shift + other.m_size));
    }
}

std::uint32_t ContactTable::countryId(QStringView country) {
    if (country.isEmpty() || country.size() > MaxCountryLength) {
        return 0;
    }
    // Cards in a row mostly name the same country.
    if (m_lastCountry != 0 && m_countryNames[m_lastCountry] == country) {
        return m_lastCountry;
    }
    if (const auto it = m_countryIndex.constFind(country); it != m_countryIndex.constEnd()) {
        return m_lastCountry = *it;
    }
    const auto id = std::uint32_t(m_countryNames.size());
    m_countryNames.push_back(country.toString());
    // The view's characters stay where they are when the vector moves the text.
    m_countryIndex.insert(QStringView(m_countryNames.back()), id);
    return m_lastCountry = id;
}

std::uint32_t ContactTable::groupSetOf(const QStringList& names) {
    if (names.isEmpty()) {
        return 0;
    }
    if (const auto it = m_groupSetIndex.constFind(names); it != m_groupSetIndex.constEnd()) {
        return *it;
    }
    const auto set = std::uint32_t(m_groupSetNames.size());
    m_groupSetIndex.insert(names, set);
    m_groupSetNames.push_back(names);
    return set;
}

void ContactTable::setLastGroupNames(const QStringList& names) {
    const std::uint32_t set = groupSetOf(names);
    if (set == 0 && m_groupSets.empty()) {
        return;
    }
    m_groupSets.resize(size_t(m_size));
    m_groupSets.back() = set;
}

void ContactTable::setGroupSets(std::vector<std::uint32_t> sets, std::vector<QStringList> names) {
    m_groupSets = std::move(sets);
    m_groupSetNames = std::move(names);
    m_groupSetIndex.clear();
    for (size_t set = 1; set < m_groupSetNames.size(); ++set) {
        m_groupSetIndex.insert(m_groupSetNames[set], std::uint32_t(set));
    }
}

const ContactGroups& ContactTable::groups() const {
    static const ContactGroups none;
    return m_groups ? *m_groups : none;
}

void ContactTable::addAnniversary(std::uint32_t date) {
    m_anniversaries.emplace_back(std::uint32_t(m_size - 1), date);
}

QStringView ContactTable::familyName(qsizetype contact) const {
    const QStringView name = text(contact, Field::Name);
    const auto length = qsizetype(at(contact).familyLength);
    return length == 0 || length > name.size() ? QStringView() : name.last(length);
}

QString ContactTable::familyFirstName(qsizetype contact) const {
    if (const QStringView stored = text(contact, Field::FamilyFirst); !stored.isEmpty()) {
        return stored.toString();
    }
    const QStringView name = text(contact, Field::Name);
    const QStringView family = familyName(contact);
    if (family.isEmpty() || family.size() + 1 >= name.size()) {
        return name.toString();
    }
    return family.toString() + QStringLiteral(", ") + name.first(name.size() - family.size() - 1).toString();
}

QStringList ContactTable::filePaths() const {
    QStringList paths;
    paths.reserve(qsizetype(m_files.size()));
    for (const FileEntry& file : m_files) {
        paths << file.source->path;
    }
    return paths;
}

int ContactTable::fileOf(qsizetype contact) const {
    if (m_files.empty()) {
        return -1;
    }
    const auto after =
        std::upper_bound(m_files.begin(), m_files.end(), contact,
                         [](qsizetype key, const FileEntry& file) { return key < file.first; });
    return int(after - m_files.begin()) - 1;
}

std::shared_ptr<const ContactSource> ContactTable::sourceOf(qsizetype contact) const {
    const int file = fileOf(contact);
    return file < 0 ? nullptr : m_files[size_t(file)].source;
}

std::vector<qsizetype> ContactTable::sameContacts(qsizetype contact) const {
    std::vector<qsizetype> same;
    const std::uint32_t group = duplicateGroup(contact);
    if (group == 0) {
        return same;
    }
    // A group starts at its first contact, so the search need not look before it.
    for (qsizetype other = qsizetype(group) - 1; other < m_size; ++other) {
        if (other != contact && m_duplicateGroups[size_t(other)] == group) {
            same.push_back(other);
        }
    }
    return same;
}

} // namespace tovanel
