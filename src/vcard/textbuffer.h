#pragma once

#include <QStringView>
#include <algorithm>
#include <cstddef>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tovanel {

// The cells of the card being read are built in buffers that live as long as the reader, so a card
// costs no allocation unless a value needs one of the rarer decoders.
//
// A growable UTF-16 buffer that, unlike std::u16string, does not clear what it grows into: every caller
// writes the characters it makes room for.
class Text final {
public:
    size_t size() const { return m_size; }
    char16_t* data() { return m_data.get(); }
    const char16_t* data() const { return m_data.get(); }
    void clear() { m_size = 0; }
    // Sets the size; characters past the old size are undefined until written.
    void resize(size_t size) {
        if (size > m_capacity) {
            const size_t capacity = std::max(size, 2 * m_capacity);
            auto grown = std::make_unique_for_overwrite<char16_t[]>(capacity);
            std::copy_n(m_data.get(), m_size, grown.get());
            m_data = std::move(grown);
            m_capacity = capacity;
        }
        m_size = size;
    }
    void append(const char16_t* text, size_t count) {
        const size_t at = m_size;
        resize(at + count);
        std::copy_n(text, count, m_data.get() + at);
    }
    void push_back(char16_t c) { append(&c, 1); }
    void eraseFront(size_t count) {
        std::copy(m_data.get() + count, m_data.get() + m_size, m_data.get());
        m_size -= count;
    }
    // Asked of most values read: eight characters at a time, the last eight overlapping those before.
    bool hasLineBreak() const {
        const char16_t* const data = m_data.get();
#ifdef __SSE2__
        if (m_size >= 8) {
            const auto breaks = [](const char16_t* p) {
                const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                return _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(chunk, _mm_set1_epi16('\r')),
                                                      _mm_cmpeq_epi16(chunk, _mm_set1_epi16('\n')))) != 0;
            };
            for (size_t i = 0; i + 8 < m_size; i += 8) {
                if (breaks(data + i)) {
                    return true;
                }
            }
            return breaks(data + m_size - 8);
        }
#endif
        return std::any_of(data, data + m_size, [](char16_t c) { return c == u'\r' || c == u'\n'; });
    }
    void swap(Text& other) {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }
    QStringView view() const {
        return QStringView(m_data.get(), qsizetype(m_size));
    }

private:
    std::unique_ptr<char16_t[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace tovanel
