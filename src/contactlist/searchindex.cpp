#include "contactlist/searchindex.h"

#include "contactlist/listcolumns.h"
#include "contacts/telephone.h"

#include <QVarLengthArray>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

namespace tovanel {

namespace {

constexpr char End = char(0xFF);

// Below this many contacts a second thread costs more than it saves.
constexpr qsizetype ParallelFrom = 20000;

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
        appendFoldedBytes(FoldedNeedle(text).folded(), needle);
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
    while (at < end) {
        const void* hit = memmem(bytes + at, end - at, needle.data(), needle.size());
        if (hit == nullptr) {
            break;
        }
        const size_t found = size_t(static_cast<const char*>(hit) - bytes);
        while (starts[contact + 1] <= found) {
            ++contact;
        }
        // No needle holds the byte that ends a piece, so the hit lies in one piece: the one after as
        // many ends as lie before it.
        unsigned piece = 0;
        for (size_t k = starts[contact]; k < found; ++k) {
            piece += bytes[k] == End ? 1 : 0;
        }
        if ((pieceMask >> piece & 1) != 0) {
            bits.set(contact);
            at = starts[contact + 1];
        } else {
            at = found + 1;
        }
    }
}

} // namespace tovanel
