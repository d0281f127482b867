#include "collationsort.h"

#include <QCollator>
#include <QString>
#include <algorithm>
#include <array>
#include <functional>

namespace {

// Most names begin with characters that each carry one primary collation weight of their own (ASCII,
// and Latin letters whose accents only weigh at the secondary level), or "ß", which weighs as "ss".
// For such a name a packed prefix of primary ranks orders it against another such name exactly
// whenever the two prefixes differ, because a primary difference decides a comparison whatever
// follows. The ranks are learnt from the collator itself; names the prefixes cannot tell apart go to
// the collator.
class PrimaryPrefix final {
public:
    struct Key {
        quint64 high = 0;
        quint64 low = 0;
        bool valid = false;
    };

    explicit PrimaryPrefix(const QCollator& collator) {
        QString alphabet;
        for (char16_t c = 0x20; c < 0x7F; ++c) {
            alphabet.append(QChar(c));
        }
        alphabet.append(QStringLiteral("ÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÚÛÜÝàáâãäåçèéêëìíîïñòóôõöùúûüýÿ"));
        std::vector<char16_t> chars(alphabet.utf16(), alphabet.utf16() + alphabet.size());
        const auto single = [](const char16_t& c) { return QStringView(&c, 1); };
        std::stable_sort(chars.begin(), chars.end(), [&](const char16_t& a, const char16_t& b) {
            return collator.compare(single(a), single(b)) < 0;
        });
        int rank = 1;
        m_rank[chars.front()] = quint8(rank);
        for (size_t i = 1; i < chars.size(); ++i) {
            // With x before y: y+"a" sorts before x+"b" exactly when x and y weigh the same at the
            // primary level.
            const QString later = QString(QChar(chars[i])) + QLatin1Char('a');
            const QString earlier = QString(QChar(chars[i - 1])) + QLatin1Char('b');
            if (collator.compare(later, earlier) >= 0) {
                ++rank;
            }
            if (rank >= (1 << BitsPerRank)) {
                return;
            }
            m_rank[chars[i]] = quint8(rank);
        }
        // What the prefixes rely on, checked on a few characters: a collator without these properties
        // (another backend, another locale) is only ever asked directly.
        const auto r = [&](char16_t c) { return m_rank[c]; };
        m_usable = r(u'a') == r(u'A') && r(u'a') == r(u'ä') && r(u'o') == r(u'Ö') && r(u'u') == r(u'ü') &&
                   r(u'0') < r(u'9') && r(u'9') < r(u'a') && r(u'a') < r(u'b') && r(u'y') < r(u'z') &&
                   r(u' ') < r(u'a');
        m_sharpS = collator.compare(QStringView(u"ßa"), QStringView(u"ssb")) < 0 &&
                   collator.compare(QStringView(u"ssa"), QStringView(u"ßb")) < 0;
    }

    Key key(QStringView text) const {
        Key key;
        if (!m_usable) {
            return key;
        }
        int filled = 0;
        const auto push = [&](quint64 rank) {
            if (filled < 2 * RanksPerWord) {
                quint64& word = filled < RanksPerWord ? key.high : key.low;
                word |= rank << ((RanksPerWord - 1 - filled % RanksPerWord) * BitsPerRank);
                ++filled;
            }
        };
        qsizetype i = 0;
        for (; i < text.size() && filled < 2 * RanksPerWord; ++i) {
            const char16_t c = text[i].unicode();
            if (c == SharpS && m_sharpS) {
                push(m_rank[u's']);
                push(m_rank[u's']);
                continue;
            }
            const quint64 rank = c < m_rank.size() ? m_rank[c] : 0;
            if (rank == 0) {
                return key;
            }
            push(rank);
        }
        // The character after the prefix must not be one that could merge with the last one in it.
        if (i < text.size() && !covered(text[i].unicode())) {
            return key;
        }
        key.valid = true;
        return key;
    }

private:
    static constexpr int BitsPerRank = 7;
    static constexpr int RanksPerWord = 9;
    static constexpr char16_t SharpS = 0xDF;

    bool covered(char16_t c) const {
        return (c < m_rank.size() && m_rank[c] != 0) || (c == SharpS && m_sharpS);
    }

    std::array<quint8, 256> m_rank{}; // 0: not covered
    bool m_usable = false;
    bool m_sharpS = false;
};

quint64 hashOf(QStringView text) {
    quint64 hash = 1469598103934665603ull;
    for (QChar c : text) {
        hash = (hash ^ c.unicode()) * 1099511628211ull;
    }
    return hash;
}

// From this many distinct texts in a run on, one sort key each is cheaper than comparing texts.
constexpr size_t ManyDistinct = 32;

struct Item {
    quint64 high;
    quint64 low;
    quint64 hash;
    std::uint32_t contact;
    std::uint32_t row;  // position before sorting: ties keep it
    std::uint32_t rank; // among the distinct texts of a run of equal prefixes
    bool valid;
};

} // namespace

void sortByCollation(std::vector<std::uint32_t>& order, const std::vector<QStringView>& texts,
                     const QCollator& collator, Qt::SortOrder sortOrder) {
    const bool ascending = sortOrder == Qt::AscendingOrder;
    // The order of collator sort keys. QCollator::compare differs from it only in putting an empty text
    // before texts that collate as empty.
    const auto collate = [&](QStringView a, QStringView b) {
        if (a == b) {
            return 0;
        }
        if (a.isEmpty() || b.isEmpty()) {
            return collator.sortKey(a.toString()).compare(collator.sortKey(b.toString()));
        }
        return collator.compare(a, b);
    };
    const auto inOrder = [&](int comparison) { return ascending ? comparison < 0 : comparison > 0; };
    // The complete order: the collator's, then the position before sorting.
    const auto before = [&](const Item& a, const Item& b) {
        const int c = collate(texts[a.contact], texts[b.contact]);
        return c != 0 ? inOrder(c) : a.row < b.row;
    };

    // Keys in the texts' own order, which is the order they lie in memory.
    const PrimaryPrefix prefixes(collator);
    std::vector<PrimaryPrefix::Key> keys(texts.size());
    std::vector<quint64> hashes(texts.size());
    for (size_t c = 0; c < texts.size(); ++c) {
        keys[c] = prefixes.key(texts[c]);
        hashes[c] = keys[c].valid ? hashOf(texts[c]) : 0;
    }
    std::vector<Item> valid;
    std::vector<Item> others;
    valid.reserve(order.size());
    for (size_t row = 0; row < order.size(); ++row) {
        const std::uint32_t c = order[row];
        const Item item{keys[c].high, keys[c].low, hashes[c], c, std::uint32_t(row), 0, keys[c].valid};
        (item.valid ? valid : others).push_back(item);
    }
    keys = {};
    hashes = {};

    // Texts with a prefix: by prefix, then each run of equal prefixes by the collator. A run mostly
    // holds the same name many times, so the collator ranks its distinct texts only.
    std::stable_sort(valid.begin(), valid.end(), [&](const Item& a, const Item& b) {
        if (a.high != b.high) {
            return ascending ? a.high < b.high : a.high > b.high;
        }
        return ascending ? a.low < b.low : a.low > b.low;
    });
    std::vector<Item*> run;
    std::vector<Item*> distinct;
    for (size_t begin = 0; begin < valid.size();) {
        size_t end = begin + 1;
        while (end < valid.size() && valid[end].high == valid[begin].high &&
               valid[end].low == valid[begin].low) {
            ++end;
        }
        if (end - begin > 1) {
            run.clear();
            for (size_t k = begin; k < end; ++k) {
                run.push_back(&valid[k]);
            }
            // Group equal texts: by hash, then by the text itself.
            std::sort(run.begin(), run.end(), [](const Item* a, const Item* b) { return a->hash < b->hash; });
            distinct.clear();
            size_t sameHash = 0; // first entry of `distinct` with the current hash
            for (size_t k = 0; k < run.size(); ++k) {
                if (k == 0 || run[k]->hash != run[k - 1]->hash) {
                    sameHash = distinct.size();
                }
                const QStringView text = texts[run[k]->contact];
                size_t d = sameHash;
                while (d < distinct.size() && texts[distinct[d]->contact] != text) {
                    ++d;
                }
                if (d == distinct.size()) {
                    distinct.push_back(run[k]);
                }
                run[k]->rank = std::uint32_t(d);
            }
            if (distinct.size() > 1) {
                std::vector<std::uint32_t> byCollation(distinct.size());
                for (size_t d = 0; d < distinct.size(); ++d) {
                    byCollation[d] = std::uint32_t(d);
                }
                // Many distinct texts (long names that share their first 18 characters) are compared
                // through sort keys, a few directly: either way the collator's order.
                std::vector<QCollatorSortKey> sortKeys;
                std::function<int(std::uint32_t, std::uint32_t)> compare;
                if (distinct.size() > ManyDistinct) {
                    sortKeys.reserve(distinct.size());
                    for (const Item* item : distinct) {
                        sortKeys.push_back(collator.sortKey(texts[item->contact].toString()));
                    }
                    compare = [&](std::uint32_t a, std::uint32_t b) {
                        return sortKeys[a].compare(sortKeys[b]);
                    };
                } else {
                    compare = [&](std::uint32_t a, std::uint32_t b) {
                        return collate(texts[distinct[a]->contact], texts[distinct[b]->contact]);
                    };
                }
                std::sort(byCollation.begin(), byCollation.end(),
                          [&](std::uint32_t a, std::uint32_t b) { return compare(a, b) < 0; });
                std::vector<std::uint32_t> rankOf(distinct.size());
                std::uint32_t rank = 0;
                for (size_t k = 0; k < byCollation.size(); ++k) {
                    if (k > 0 && compare(byCollation[k - 1], byCollation[k]) != 0) {
                        ++rank;
                    }
                    rankOf[byCollation[k]] = rank;
                }
                for (size_t k = begin; k < end; ++k) {
                    valid[k].rank = rankOf[valid[k].rank];
                }
                std::stable_sort(valid.begin() + qsizetype(begin), valid.begin() + qsizetype(end),
                                 [&](const Item& a, const Item& b) {
                                     return ascending ? a.rank < b.rank : a.rank > b.rank;
                                 });
            }
        }
        begin = end;
    }

    // The rest by the collator alone, then each put in its place among the others.
    std::stable_sort(others.begin(), others.end(), before);
    size_t next = 0;
    size_t row = 0;
    for (const Item& item : others) {
        const size_t at = size_t(
            std::lower_bound(valid.begin() + qsizetype(next), valid.end(), item, before) - valid.begin());
        for (; next < at; ++next) {
            order[row++] = valid[next].contact;
        }
        order[row++] = item.contact;
    }
    for (; next < valid.size(); ++next) {
        order[row++] = valid[next].contact;
    }
}
