#include "contacttable.h"

#include <algorithm>
#include <cstring>

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
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(size_t(size)));
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

qsizetype ContactTable::bytesUsed() const {
    qsizetype bytes = qsizetype(m_chunks.size()) * ChunkSize * qsizetype(sizeof(Contact));
    for (qsizetype size : m_blockSizes) {
        bytes += size * qsizetype(sizeof(char16_t));
    }
    return bytes;
}
