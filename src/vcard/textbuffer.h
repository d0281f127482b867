#pragma once

#include <QStringView>
#include <algorithm>
#include <cstddef>
#include <memory>

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
    bool hasLineBreak() const {
        return std::any_of(m_data.get(), m_data.get() + m_size,
                           [](char16_t c) { return c == u'\r' || c == u'\n'; });
    }
    void swap(Text& other) {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }
    QStringView view() const { return QStringView(m_data.get(), qsizetype(m_size)); }

private:
    std::unique_ptr<char16_t[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace tovanel
