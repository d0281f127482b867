#include "contactlist/searchtext.h"

#include "contacts/telephone.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <vector>

namespace tovanel {

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u00A0';
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The border table of Knuth–Morris–Pratt for `needle`.
template <typename Unit> std::vector<qsizetype> bordersOf(const Unit* needle, qsizetype size) {
    std::vector<qsizetype> borders(size_t(size), 0);
    qsizetype border = 0;
    for (qsizetype j = 1; j < size; ++j) {
        while (border > 0 && needle[j] != needle[border]) {
            border = borders[size_t(border - 1)];
        }
        if (needle[j] == needle[border]) {
            ++border;
        }
        borders[size_t(j)] = border;
    }
    return borders;
}

// Takes `unit` after `matched` units of `needle`; returns how many match now.
template <typename Unit>
qsizetype matchOn(const Unit* needle, const std::vector<qsizetype>& borders, qsizetype matched, Unit unit) {
    while (matched > 0 && needle[matched] != unit) {
        matched = borders[size_t(matched - 1)];
    }
    return needle[matched] == unit ? matched + 1 : 0;
}

// The folded form of every code unit of the Basic Multilingual Plane. Most fold to one unit, kept in
// `single`; the few that fold to more ("ß" to "ss", ligatures, some Greek) point into `multi`, marked
// by a surrogate value that no other letter folds to. Surrogates stand for themselves.
class FoldTable {
public:
    FoldTable() : m_single(0x10000) {
        for (char32_t c = 0; c < 0x10000; ++c) {
            const auto unit = char16_t(c);
            if (QChar::isSurrogate(c)) {
                m_single[c] = unit;
                continue;
            }
            if (c < 0x80) {
                m_single[c] = c >= u'A' && c <= u'Z' ? char16_t(c + 0x20) : unit;
                continue;
            }
            // Upper case first brings in the special casings ("ß" becomes "SS"); the simple folding
            // after it gives lower case. Repeated, so "ẞ" goes by "ß" to "ss" as well.
            QString s{QChar(unit)};
            for (int round = 0; round < 3; ++round) {
                QString next = s.toUpper().toCaseFolded();
                if (next == s) {
                    break;
                }
                s = std::move(next);
            }
            // German readers without umlaut keys write "ae", "oe" and "ue" ("ss" for "ß" the folding
            // gives already): the search takes each spelling for the other.
            switch (c) {
            case u'\u00C4':
            case u'\u00E4':
                s = QStringLiteral("ae");
                break;
            case u'\u00D6':
            case u'\u00F6':
                s = QStringLiteral("oe");
                break;
            case u'\u00DC':
            case u'\u00FC':
                s = QStringLiteral("ue");
                break;
            default:
                break;
            }
            if (s.size() == 1) {
                m_single[c] = s.at(0).unicode();
            } else {
                m_single[c] = char16_t(0xD800 + m_multi.size());
                Multi m{};
                m.size = std::uint8_t(std::min<qsizetype>(s.size(), qsizetype(m.units.size())));
                std::copy_n(s.utf16(), m.size, m.units.begin());
                m_multi.push_back(m);
            }
        }
    }

    // The folded units of `c`: a pointer to them and their count.
    const char16_t* fold(const char16_t& c, int* size) const {
        const char16_t& f = m_single[c];
        if (QChar::isSurrogate(f) && f != c) {
            const Multi& m = m_multi[f - 0xD800];
            *size = m.size;
            return m.units.data();
        }
        *size = 1;
        return &f;
    }

    // The most units a code unit folds to.
    static constexpr int MaxUnits = 3;

private:
    struct Multi {
        std::array<char16_t, MaxUnits> units;
        std::uint8_t size;
    };
    std::vector<char16_t> m_single;
    std::vector<Multi> m_multi;
};

const FoldTable& foldTable() {
    static const FoldTable table;
    return table;
}

} // namespace

SearchKind searchKind(QStringView text, int minDigits) {
    if (text.contains(u'@')) {
        return SearchKind::Email;
    }
    int digits = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (isDigit(u)) {
            ++digits;
        } else if (!isBlank(u) && std::u16string_view(u"+-/().").find(u) == std::u16string_view::npos) {
            return SearchKind::Text;
        }
    }
    return digits >= minDigits && digits > 0 ? SearchKind::Number : SearchKind::Text;
}

std::span<const Field> searchFields(SearchKind kind) {
    static constexpr Field Email[] = {Field::Email};
    static constexpr Field NameAndCompany[] = {Field::Name, Field::Company};
    switch (kind) {
    case SearchKind::Number:
        return TelephoneFields;
    case SearchKind::Email:
        return Email;
    case SearchKind::Text:
        break;
    }
    return NameAndCompany;
}

SearchNeedle::SearchNeedle(QStringView text, SearchKind kind) : m_kind(kind) {
    if (kind == SearchKind::Number) {
        m_number.emplace(text);
    } else {
        m_text.emplace(text);
    }
}

void appendFoldedBytes(QStringView text, std::string& out) {
    const FoldTable& table = foldTable();
    for (const char16_t& c : std::u16string_view(text.utf16(), size_t(text.size()))) {
        if (c < 0x80 && !(c >= u'A' && c <= u'Z')) {
            out.push_back(char(c));
            continue;
        }
        int size = 0;
        const char16_t* units = table.fold(c, &size);
        for (int k = 0; k < size; ++k) {
            const char16_t u = units[k];
            if (u < 0x80) {
                out.push_back(char(u));
            } else if (u < 0x800) {
                out.push_back(char(0xC0 | (u >> 6)));
                out.push_back(char(0x80 | (u & 0x3F)));
            } else {
                out.push_back(char(0xE0 | (u >> 12)));
                out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
                out.push_back(char(0x80 | (u & 0x3F)));
            }
        }
    }
}

FoldedNeedle::FoldedNeedle(QStringView text) {
    const FoldTable& table = foldTable();
    m_folded.reserve(text.size());
    for (const char16_t& c : std::u16string_view(text.utf16(), size_t(text.size()))) {
        int size = 0;
        const char16_t* units = table.fold(c, &size);
        m_folded.append(reinterpret_cast<const QChar*>(units), size);
    }
    if (m_folded.isEmpty()) {
        return;
    }
    m_borders = bordersOf(reinterpret_cast<const char16_t*>(m_folded.constData()), m_folded.size());
    const char16_t first = m_folded.at(0).unicode();
    for (char32_t c = 0; c < 0x10000; ++c) {
        int size = 0;
        const char16_t* units = table.fold(char16_t(c), &size);
        if (std::find(units, units + size, first) != units + size) {
            m_starts[c >> 6] |= std::uint64_t(1) << (c & 63);
        }
    }
}

bool FoldedNeedle::foundIn(QStringView text) const {
    const qsizetype m = m_folded.size();
    // No code unit folds to more units than that: a shorter text cannot hold the needle.
    if (m == 0 || text.size() < (m + FoldTable::MaxUnits - 1) / FoldTable::MaxUnits) {
        return false;
    }
    const FoldTable& table = foldTable();
    const auto* needle = reinterpret_cast<const char16_t*>(m_folded.constData());
    const char16_t* hay = text.utf16();
    const qsizetype n = text.size();
    qsizetype matched = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = hay[i];
        if (matched == 0 && (m_starts[c >> 6] & (std::uint64_t(1) << (c & 63))) == 0) {
            continue;
        }
        int size = 0;
        const char16_t* units = table.fold(c, &size);
        // A match may begin inside a character's folding: "s" is in "ß".
        for (int k = 0; k < size; ++k) {
            matched = matchOn(needle, m_borders, matched, units[k]);
            if (matched == m) {
                return true;
            }
        }
    }
    return false;
}

NumberNeedle::NumberNeedle(QStringView text) {
    m_digits.resize(text.size() + 1);
    m_digits.resize(telephoneKey(text, m_digits.data()));
    m_borders = bordersOf(m_digits.data(), m_digits.size());
}

bool NumberNeedle::foundIn(QStringView number, QVarLengthArray<char, 64>& scratch) const {
    // A key is at most one unit longer than its text (a "+" counts as "00").
    if (number.size() + 1 < m_digits.size()) {
        return false;
    }
    scratch.resize(number.size() + 1);
    scratch.resize(telephoneKey(number, scratch.data()));
    const qsizetype m = m_digits.size();
    if (m == 0) {
        return true;
    }
    qsizetype matched = 0;
    for (const char digit : scratch) {
        matched = matchOn(m_digits.data(), m_borders, matched, digit);
        if (matched == m) {
            return true;
        }
    }
    return false;
}

} // namespace tovanel
