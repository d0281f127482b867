#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <cstring>

namespace tovanel {

// Case-insensitive comparison of bytes with ASCII literals, for the names and parameters of vCard lines.
namespace AsciiCase {

inline char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// Lower-cases the ASCII capitals among the bytes of a word at once, leaving every other byte as it is.
template <typename Word> [[gnu::always_inline]] inline Word lowerWord(Word x) {
    constexpr Word Ones = Word(~Word(0)) / 0xFF;
    constexpr Word Highs = Ones * 0x80;
    const Word low = x & ~Highs; // no carry between bytes below
    const Word atLeastA = low + Ones * (0x80 - 'A');
    const Word pastZ = low + Ones * (0x80 - 'Z' - 1);
    const Word capital = atLeastA & ~pastZ & ~x & Highs;
    return x | (capital >> 2);
}

template <typename Word> [[gnu::always_inline]] inline Word loadWord(const char* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Whether `a` and the literal `b`, both `Length` >= sizeof(Word) bytes, are equal ignoring ASCII case:
// compared a word at a time, the last word overlapping the one before.
template <typename Word, qsizetype Length>
[[gnu::always_inline]] inline bool equalWords(const char* a, const char* b) {
    constexpr qsizetype Size = qsizetype(sizeof(Word));
    for (qsizetype i = 0; i + Size <= Length; i += Size) {
        if (lowerWord(loadWord<Word>(a + i)) != lowerWord(loadWord<Word>(b + i))) {
            return false;
        }
    }
    if constexpr (Length % Size != 0) {
        return lowerWord(loadWord<Word>(a + Length - Size)) == lowerWord(loadWord<Word>(b + Length - Size));
    }
    return true;
}

// Case-insensitive equality with a literal. A million cards compare tens of millions of names and
// parameters, so this stays inline instead of calling the library's comparison.
template <std::size_t N> [[gnu::always_inline]] inline bool is(QByteArrayView a, const char (&b)[N]) {
    constexpr qsizetype Length = qsizetype(N) - 1;
    if (a.size() != Length) {
        return false;
    }
    if constexpr (Length >= 8) {
        return equalWords<std::uint64_t, Length>(a.data(), b);
    } else if constexpr (Length >= 4) {
        return equalWords<std::uint32_t, Length>(a.data(), b);
    } else {
        for (qsizetype i = 0; i < Length; ++i) {
            if (lower(a[i]) != lower(b[i])) {
                return false;
            }
        }
        return true;
    }
}

// Case-insensitive equality of two byte strings of the same size, eight bytes at a time.
inline bool equalSized(QByteArrayView a, QByteArrayView b) {
    qsizetype i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        if (lowerWord(loadWord<std::uint64_t>(a.data() + i)) !=
            lowerWord(loadWord<std::uint64_t>(b.data() + i))) {
            return false;
        }
    }
    for (; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace AsciiCase

} // namespace tovanel
