#include "contactlist/searchindex.h"

#include "contactlist/listcolumns.h"
#include "contacts/telephone.h"

#include <QVarLengthArray>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tovanel {

namespace {

constexpr char End = char(0xFF);

// Below this many contacts a second thread costs more than it saves.
constexpr qsizetype ParallelFrom = 20000;

// The first place `needle` begins in `size` bytes from `hay`, or null. A short needle is looked for by its
// first and last byte in sixteen places at once, the rest compared only where both match: in the digits
// of a million numbers a needle's first digit is everywhere, its first and last at the right distance
// rarely. A long one goes to memmem, whose time stays linear whatever the texts.
const char* find(const char* hay, size_t size, const std::string& needle) {
    const size_t m = needle.size();
    if (m > size) {
        return nullptr;
    }
    if (m <= 1) {
        return m == 0 ? hay : static_cast<const char*>(std::memchr(hay, needle[0], size));
    }
#if defined(__SSE2__)
    if (m <= 32) {
        const __m128i first = _mm_set1_epi8(needle[0]);
        const __m128i last = _mm_set1_epi8(needle[m - 1]);
        size_t i = 0;
        for (; i + m - 1 + 16 <= size; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i + m - 1));
            auto mask =
                unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
            while (mask != 0) {
                const size_t at = i + size_t(std::countr_zero(mask));
                if (std::memcmp(hay + at + 1, needle.data() + 1, m - 2) == 0) {
                    return hay + at;
                }
                mask &= mask - 1;
            }
        }
        for (; i + m <= size; ++i) {
            if (hay[i] == needle[0] && std::memcmp(hay + i, needle.data(), m) == 0) {
                return hay + i;
            }
        }
        return nullptr;
    }
#endif
    return static_cast<const char*>(memmem(hay, size, needle.data(), m));
}

} // namespace

void SearchIndex::Pieces::endContact() {
    // Offsets are kept in four bytes: a list whose texts take more has no index, and is searched
    // contact by contact.
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc();
    }
    starts.push_back(std::uint32_t(bytes.size()));
}

SearchIndex::SearchIndex(const ContactTable& table, const std::atomic_bool* cancel) : m_size(table.size()) {
    for (Pieces* pieces : {&m_texts, &m_emails, &m_numbers}) {
        pieces->starts.reserve(size_t(m_size) + 1);
        pieces->starts.push_back(0);
    }
    QVarLengthArray<char, 64> key;
    const auto addNumber = [&](QStringView number) {
        key.resize(number.size() + 1);
        key.resize(telephoneKey(number, key.data()));
        m_numbers.bytes.append(key.data(), size_t(key.size()));
        m_numbers.bytes.push_back(End);
    };
    // Sized from the first contacts, so the strings are not copied as they grow.
    constexpr qsizetype Sample = 4096;
    for (qsizetype c = 0; c < m_size; ++c) {
        if (c % 65536 == 0 && cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            return;
        }
        if (c == Sample && m_size > 2 * Sample) {
            for (Pieces* pieces : {&m_texts, &m_emails, &m_numbers}) {
                pieces->bytes.reserve(size_t(double(pieces->bytes.size()) / Sample * double(m_size) * 1.1));
            }
        }
        std::string& texts = m_texts.bytes;
        appendFoldedBytes(table.text(c, Field::Name), texts);
        texts.push_back(End);
        appendFoldedBytes(table.text(c, Field::Company), texts);
        texts.push_back(End);
        const FamilyFirstParts parts = familyFirstParts(table, c);
        if (!parts.given.isEmpty()) {
            for (const QStringView separator : {QStringView(u", "), QStringView(u" ")}) {
                appendFoldedBytes(parts.family, texts);
                appendFoldedBytes(separator, texts);
                appendFoldedBytes(parts.given, texts);
                texts.push_back(End);
            }
        } else {
            texts.append(2, End);
        }
        m_texts.endContact();
        appendFoldedBytes(table.text(c, Field::Email), m_emails.bytes);
        m_emails.bytes.push_back(End);
        m_emails.endContact();
        for (const Field field : TelephoneFields) {
            addNumber(table.text(c, field));
        }
        m_numbers.endContact();
    }
    m_complete = true;
}

ContactBits SearchIndex::holding(QStringView text, unsigned parts,
                                 std::span<const std::uint32_t> among) const {
    ContactBits bits(m_size);
    const Pieces* pieces = &m_texts;
    unsigned pieceMask = 0;
    std::string needle;
    if ((parts & Numbers) != 0) {
        pieces = &m_numbers;
        pieceMask = 7;
        const NumberNeedle number(text);
        needle = number.digits();
    } else {
        appendFoldedBytes(text, needle);
        if ((parts & Email) != 0) {
            pieces = &m_emails;
            pieceMask = 1;
        } else {
            pieceMask =
                (parts & Name ? 1u : 0u) | (parts & Company ? 2u : 0u) | (parts & TurnedName ? 12u : 0u);
        }
    }
    // A narrowed list looks at its own contacts' pieces alone when a sweep would read far more.
    if (!among.empty() && qsizetype(among.size()) < m_size / 8) {
        for (const std::uint32_t contact : among) {
            holding(*pieces, needle, pieceMask, bits, contact, contact + 1);
        }
        return bits;
    }
    qsizetype half = m_size;
    std::thread other;
    if (m_size >= ParallelFrom && std::thread::hardware_concurrency() > 1) {
        // Parted on a word of the bits, so the threads never write the same one.
        half = m_size / 2 / 64 * 64;
        try {
            other = std::thread([&] { holding(*pieces, needle, pieceMask, bits, half, m_size); });
        } catch (const std::system_error&) {
            half = m_size;
        }
    }
    holding(*pieces, needle, pieceMask, bits, 0, half);
    if (other.joinable()) {
        other.join();
    }
    return bits;
}

void SearchIndex::holding(const Pieces& pieces, const std::string& needle, unsigned pieceMask,
                          ContactBits& bits, qsizetype from, qsizetype to) {
    const char* bytes = pieces.bytes.data();
    const std::uint32_t* starts = pieces.starts.data();
    size_t at = starts[from];
    const size_t end = starts[to];
    qsizetype contact = from;
    // The piece of `contact` that begins at or before `counted`, counted by the ends passed; each byte
    // is counted once, so a long text with many hits outside the pieces asked for costs no more.
    unsigned piece = 0;
    size_t counted = at;
    while (at < end) {
        const char* hit = find(bytes + at, end - at, needle);
        if (hit == nullptr) {
            break;
        }
        const size_t found = size_t(hit - bytes);
        if (starts[contact + 1] <= found) {
            while (starts[contact + 1] <= found) {
                ++contact;
            }
            piece = 0;
            counted = starts[contact];
        }
        // No needle holds the byte that ends a piece, so the hit lies in one piece.
        while (const void* pieceEnd = std::memchr(bytes + counted, End, found - counted)) {
            ++piece;
            counted = size_t(static_cast<const char*>(pieceEnd) - bytes) + 1;
        }
        if ((pieceMask >> piece & 1) != 0) {
            bits.set(contact);
            at = starts[contact + 1];
        } else {
            // On behind this piece: every piece ends before its contact does.
            at =
                size_t(static_cast<const char*>(std::memchr(hit, End, starts[contact + 1] - found)) - bytes) +
                1;
            counted = at;
            ++piece;
        }
    }
}

} // namespace tovanel
