#pragma once

#include "contacts/contacttable.h"
#include "contacts/fields.h"

#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tovanel {

// What a search text is looked for in: a telephone number, an e-mail address, or a name or company.
enum class SearchKind { Text, Number, Email };

// The digits a number needs for the name search: fewer are as likely part of a name ("Pfarrer 2").
inline constexpr int SearchMinDigits = 3;
// The filter narrows from the first digit on: while "0171" is typed, "0" and "01" narrow the list
// towards it instead of emptying it.
inline constexpr int FilterMinDigits = 1;

// Digits, blanks and "+ - / ( ) ." with at least `minDigits` digits make a number; an "@" an e-mail
// address; anything else is a name or company.
SearchKind searchKind(QStringView text, int minDigits = SearchMinDigits);
// The cells a text of `kind` is looked for in: the telephone cells, the e-mail cell, or the name and
// the company.
std::span<const Field> searchFields(SearchKind kind);

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

// Appends `text` folded as FoldedNeedle folds it, each folded code unit written as UTF-8 writes a
// character (a surrogate as if it were one). A byte string of that kind holds another exactly where the
// folded texts hold each other, since no unit's bytes begin inside another's; the byte 0xFF never
// occurs, so it can part texts.
void appendFoldedBytes(QStringView text, std::string& out);

// A number looked for by its telephoneKey (contacts/telephone.h) in the keys of the cells.
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

// A text as the search and the filter look for it: as a number, an e-mail address or a name, whichever
// its kind says. Holds scratch space, so each thread makes its own.
class SearchNeedle {
public:
    SearchNeedle(QStringView text, SearchKind kind);
    SearchKind kind() const { return m_kind; }
    // Nothing to look for (a text of blanks alone): found nowhere by the search, holding nothing back in
    // the filter.
    bool isEmpty() const { return m_number ? m_number->isEmpty() : m_text->isEmpty(); }
    bool foundIn(QStringView cell) {
        return m_number ? m_number->foundIn(cell, m_scratch) : m_text->foundIn(cell);
    }
    // Whether one of `fields` of `contact` holds the text.
    bool foundIn(const ContactTable& table, qsizetype contact, std::span<const Field> fields) {
        for (const Field field : fields) {
            if (foundIn(table.text(contact, field))) {
                return true;
            }
        }
        return false;
    }

private:
    SearchKind m_kind;
    std::optional<FoldedNeedle> m_text;
    std::optional<NumberNeedle> m_number;
    QVarLengthArray<char, 64> m_scratch;
};

} // namespace tovanel
