#pragma once

#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tovanel {

// What a search text is looked for in: a telephone number, an e-mail address, or a name (then company).
enum class SearchKind { Text, Number, Email };

// Digits, blanks and "+ - / ( ) ." with at least three digits make a number; an "@" an e-mail address.
SearchKind searchKind(QStringView text);

// A text looked for ignoring letter case the way readers expect: full case folding, so "STRAUSS",
// "strauss" and "Strauß" find each other. The texts searched are folded as they are read, a code unit
// at a time from a table, so a search through a million names copies none of them. Each folded unit of
// a text is looked at once (Knuth–Morris–Pratt), so a long pasted text costs no more per cell than its
// own length and the cell's.
class FoldedNeedle {
public:
    explicit FoldedNeedle(QStringView text);
    bool isEmpty() const { return m_folded.isEmpty(); }
    bool foundIn(QStringView text) const;
    // The text as it is looked for: a cell that holds a longer needle holds every part of it too.
    QStringView folded() const { return m_folded; }

private:
    QString m_folded;
    // Entry j: the length of the longest proper prefix of the first j + 1 folded units that also ends
    // them, where a partial match goes on after a mismatch.
    std::vector<qsizetype> m_borders;
    // Bit c: code unit c folds to something holding the needle's first unit. Small enough to stay in
    // the first-level cache, so most characters of a text are passed over with one bit test.
    std::array<std::uint64_t, 0x10000 / 64> m_starts{};
};

// The digits of a telephone number, a leading "+49" or "0049" (and a "(0)" after it) read as "0".
class NumberNeedle {
public:
    explicit NumberNeedle(QStringView text);
    bool isEmpty() const { return m_digits.isEmpty(); }
    std::string_view digits() const { return {m_digits.data(), size_t(m_digits.size())}; }
    // Whether the digits of `number` contain the needle's. `scratch` is reused from row to row.
    bool foundIn(QStringView number, QVarLengthArray<char, 64>& scratch) const;

private:
    QVarLengthArray<char, 64> m_digits;
    std::vector<qsizetype> m_borders; // as in FoldedNeedle
};

} // namespace tovanel
