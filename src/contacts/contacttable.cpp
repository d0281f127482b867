#include "contacttable.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

void ContactTable::FreeBlock::operator()(char16_t* block) const {
    std::free(block);
}

// A full-size block is placed on a 2 MB boundary and offered to the kernel as one huge page: a table of
// a million contacts then takes a few hundred page faults instead of a hundred thousand.
ContactTable::Block ContactTable::allocateBlock(qsizetype characters) {
    const size_t bytes = size_t(characters) * sizeof(char16_t);
    constexpr size_t HugePage = size_t(2) << 20;
    void* block = nullptr;
    if (bytes % HugePage == 0) {
        block = std::aligned_alloc(HugePage, bytes);
#ifdef MADV_HUGEPAGE
        if (block != nullptr) {
            madvise(block, bytes, MADV_HUGEPAGE); // only a hint: without it, ordinary pages
        }
#endif
    }
    if (block == nullptr) {
        block = std::malloc(bytes);
    }
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return Block(static_cast<char16_t*>(block));
}

QStringView ContactTable::text(qsizetype contact, Field field) const {
    const Contact& c = at(contact);
    const int f = int(field);
    qsizetype offset = c.offset;
    for (int i = 0; i < f; ++i) {
        offset += c.length[size_t(i)];
    }
    return QStringView(m_blocks[c.block].get() + offset, qsizetype(c.length[size_t(f)]));
}

bool ContactTable::isBold(qsizetype contact, Field field) const {
    if (field < Field::TelMobil || field > Field::TelArbeit) {
        return false;
    }
    return (at(contact).bold & boldBit(field)) != 0;
}

void ContactTable::append(const std::array<QStringView, FieldCount>& texts, std::uint8_t boldMask,
                          qint64 begin, qint64 end) {
    qsizetype total = 0;
    for (const QStringView& t : texts) {
        total += t.size();
    }
    // A field longer than 4 G characters cannot be described by the lengths; such a value is cut.
    constexpr qsizetype MaxField = 0xFFFFFFFF;
    if (m_blocks.empty() || m_blockUsed + total > m_blockSizes.back()) {
        const qsizetype size = std::max(BlockSize, total);
        m_blocks.push_back(allocateBlock(size));
        m_blockSizes.push_back(size);
        m_blockUsed = 0;
    }
    Contact contact{};
    contact.block = std::uint32_t(m_blocks.size() - 1);
    contact.offset = std::uint32_t(m_blockUsed);
    contact.bold = boldMask;
    contact.begin = begin;
    contact.end = end;
    char16_t* dst = m_blocks.back().get() + m_blockUsed;
    for (size_t i = 0; i < texts.size(); ++i) {
        const qsizetype n = std::min(texts[i].size(), MaxField);
        if (n > 0) { // an empty view may carry no data pointer at all
            std::memcpy(dst, texts[i].utf16(), size_t(n) * sizeof(char16_t));
        }
        dst += n;
        contact.length[i] = std::uint32_t(n);
        m_blockUsed += n;
    }
    if ((m_size & (ChunkSize - 1)) == 0) {
        m_chunks.push_back(std::make_unique_for_overwrite<Contact[]>(size_t(ChunkSize)));
    }
    at(m_size++) = contact;
}

void ContactTable::appendTable(ContactTable& other) {
    const auto blockShift = std::uint32_t(m_blocks.size());
    for (auto& block : other.m_blocks) {
        m_blocks.push_back(std::move(block));
    }
    m_blockSizes.insert(m_blockSizes.end(), other.m_blockSizes.begin(), other.m_blockSizes.end());
    if (!other.m_blocks.empty()) {
        m_blockUsed = other.m_blockUsed;
    }
    for (qsizetype i = 0; i < other.m_size; ++i) {
        if ((m_size & (ChunkSize - 1)) == 0) {
            m_chunks.push_back(std::make_unique_for_overwrite<Contact[]>(size_t(ChunkSize)));
        }
        Contact& contact = at(m_size++);
        contact = other.at(i);
        contact.block += blockShift;
        if ((i & (ChunkSize - 1)) == ChunkSize - 1) {
            other.m_chunks[size_t(i >> ChunkShift)].reset(); // keeps only one copy of the contacts at a time
        }
    }
    other.m_chunks.clear();
    other.m_blocks.clear();
    other.m_blockSizes.clear();
    other.m_blockUsed = 0;
    other.m_size = 0;
}

qsizetype ContactTable::bytesUsed() const {
    qsizetype bytes = qsizetype(m_chunks.size()) * ChunkSize * qsizetype(sizeof(Contact));
    for (qsizetype size : m_blockSizes) {
        bytes += size * qsizetype(sizeof(char16_t));
    }
    return bytes;
}
