#include "contactlist/collationsort.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <array>
#include <functional>
#include <numeric>

namespace tovanel {

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

constexpr std::uint32_t NoRow = 0xFFFFFFFF;

struct Item {
    quint64 high;
    quint64 low;
    quint64 tag; // the text's hash, then its rank among the distinct texts of its run
    std::uint32_t contact;
    std::uint32_t row; // position before sorting: ties keep it
};

using Items = std::vector<Item>;

// The order asked for, on texts and on items.
class Collation final {
public:
    Collation(const TextOf& textOf, const QCollator& collator, bool ascending)
        : m_textOf(textOf), m_collator(collator), m_ascending(ascending) {}

    bool ascending() const { return m_ascending; }
    const QCollator& collator() const { return m_collator; }
    QStringView text(std::uint32_t contact) const { return m_textOf(contact); }

    // The order of collator sort keys. QCollator::compare differs from it only in putting an empty text
    // before texts that collate as empty.
    int collate(QStringView a, QStringView b) const {
        if (a == b) {
            return 0;
        }
        if (a.isEmpty() || b.isEmpty()) {
            return m_collator.sortKey(a.toString()).compare(m_collator.sortKey(b.toString()));
        }
        return m_collator.compare(a, b);
    }
    bool inOrder(int comparison) const { return m_ascending ? comparison < 0 : comparison > 0; }
    // The complete order: the collator's, then the position before sorting.
    bool before(const Item& a, const Item& b) const {
        const int c = collate(text(a.contact), text(b.contact));
        return c != 0 ? inOrder(c) : a.row < b.row;
    }

private:
    const TextOf& m_textOf;
    const QCollator& m_collator;
    bool m_ascending;
};

// Each contact's position in `order`, or NoRow for one not in it.
std::vector<std::uint32_t> rowsOf(const std::vector<std::uint32_t>& order, std::size_t contactCount) {
    std::vector<std::uint32_t> rowOf(contactCount, NoRow);
    for (size_t row = 0; row < order.size(); ++row) {
        rowOf[order[row]] = std::uint32_t(row);
    }
    return rowOf;
}

// The contacts of `order` in three groups: empty texts (all alike: kept aside, in row order, and never
// collated), texts with a prefix, and the others.
struct Groups {
    std::vector<std::uint32_t> empties;
    Items valid;
    Items others;
};

Groups groupByPrefix(const std::vector<std::uint32_t>& order, const std::vector<std::uint32_t>& rowOf,
                     const Collation& collation) {
    const std::size_t contactCount = rowOf.size();
    const PrimaryPrefix prefixes(collation.collator());
    size_t emptyCount = 0;
    for (std::uint32_t c = 0; c < contactCount; ++c) {
        emptyCount += rowOf[c] != NoRow && collation.text(c).isEmpty() ? 1 : 0;
    }
    Groups groups;
    groups.empties.reserve(emptyCount);
    for (const std::uint32_t c : order) {
        if (collation.text(c).isEmpty()) {
            groups.empties.push_back(c);
        }
    }
    groups.valid.reserve(order.size() - emptyCount);
    // Keys are made in the texts' own order, which is the order they lie in memory; each item carries
    // its row, so the order they are made in does not matter.
    for (std::uint32_t c = 0; c < contactCount; ++c) {
        const QStringView text = rowOf[c] != NoRow ? collation.text(c) : QStringView();
        if (text.isEmpty()) {
            continue;
        }
        const PrimaryPrefix::Key key = prefixes.key(text);
        const Item item{key.high, key.low, key.valid ? hashOf(text) : 0, c, rowOf[c]};
        (key.valid ? groups.valid : groups.others).push_back(item);
    }
    return groups;
}

// Tags each item of a run with the index of its text in `distinct`, which collects one contact per
// distinct text: equal texts are grouped by hash, then told apart by the text itself.
void tagDistinctTexts(Items::iterator first, Items::iterator last, std::vector<std::uint32_t>& distinct,
                      const Collation& collation) {
    std::sort(first, last, [](const Item& a, const Item& b) { return a.tag < b.tag; });
    distinct.clear();
    size_t sameHash = 0; // first entry of `distinct` with the current hash
    quint64 previousHash = 0;
    for (auto item = first; item != last; ++item) {
        const quint64 hash = item->tag;
        if (item == first || hash != previousHash) {
            sameHash = distinct.size();
        }
        previousHash = hash;
        const QStringView text = collation.text(item->contact);
        size_t d = sameHash;
        while (d < distinct.size() && collation.text(distinct[d]) != text) {
            ++d;
        }
        if (d == distinct.size()) {
            distinct.push_back(item->contact);
        }
        item->tag = d;
    }
}

// The rank of each distinct text in the collator's order; texts that collate alike share one.
std::vector<std::uint32_t> collationRanks(const std::vector<std::uint32_t>& distinct,
                                          const Collation& collation) {
    std::vector<std::uint32_t> byCollation(distinct.size());
    for (size_t d = 0; d < distinct.size(); ++d) {
        byCollation[d] = std::uint32_t(d);
    }
    // Many distinct texts (long names that share their first 18 characters) are compared through sort
    // keys, a few directly: either way the collator's order.
    std::vector<QCollatorSortKey> sortKeys;
    std::function<int(std::uint32_t, std::uint32_t)> compare;
    if (distinct.size() > ManyDistinct) {
        sortKeys.reserve(distinct.size());
        for (const std::uint32_t contact : distinct) {
            sortKeys.push_back(collation.collator().sortKey(collation.text(contact).toString()));
        }
        compare = [&](std::uint32_t a, std::uint32_t b) { return sortKeys[a].compare(sortKeys[b]); };
    } else {
        compare = [&](std::uint32_t a, std::uint32_t b) {
            return collation.collate(collation.text(distinct[a]), collation.text(distinct[b]));
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
    return rankOf;
}

// Texts with a prefix: by prefix, then each run of equal prefixes by the collator. A run mostly holds the
// same name many times, so the collator ranks its distinct texts only. Every sort here ends in the row,
// so none needs to be stable, and none takes memory of its own.
void sortByPrefix(Items& valid, const Collation& collation) {
    const bool ascending = collation.ascending();
    std::sort(valid.begin(), valid.end(), [&](const Item& a, const Item& b) {
        if (a.high != b.high) {
            return ascending ? a.high < b.high : a.high > b.high;
        }
        if (a.low != b.low) {
            return ascending ? a.low < b.low : a.low > b.low;
        }
        return a.row < b.row;
    });
    std::vector<std::uint32_t> distinct; // contacts
    for (size_t begin = 0; begin < valid.size();) {
        size_t end = begin + 1;
        while (end < valid.size() && valid[end].high == valid[begin].high &&
               valid[end].low == valid[begin].low) {
            ++end;
        }
        if (end - begin > 1) {
            const auto first = valid.begin() + qsizetype(begin);
            const auto last = valid.begin() + qsizetype(end);
            tagDistinctTexts(first, last, distinct, collation);
            if (distinct.size() > 1) {
                const std::vector<std::uint32_t> rankOf = collationRanks(distinct, collation);
                for (size_t k = begin; k < end; ++k) {
                    valid[k].tag = rankOf[valid[k].tag];
                }
            } else {
                for (size_t k = begin; k < end; ++k) {
                    valid[k].tag = 0;
                }
            }
            std::sort(first, last, [&](const Item& a, const Item& b) {
                if (a.tag != b.tag) {
                    return ascending ? a.tag < b.tag : a.tag > b.tag;
                }
                return a.row < b.row;
            });
        }
        begin = end;
    }
}

// Where the texts without a prefix go, once sorted by the collator alone.
struct Placement {
    // The texts that collate like an empty one, which go with the empty texts.
    Items::const_iterator emptyLikeBegin;
    Items::const_iterator emptyLikeEnd;
    // The rest, and for each of them the index in `valid` of the text with a prefix it goes before.
    Items::const_iterator restBegin;
    Items::const_iterator restEnd;
    std::vector<std::uint32_t> places;
};

Placement placeOthers(Items& others, const Items& valid, bool anyEmpty, const Collation& collation) {
    const bool ascending = collation.ascending();
    const auto before = [&](const Item& a, const Item& b) { return collation.before(a, b); };
    std::stable_sort(others.begin(), others.end(), before);

    // An empty text's sort key is the least of all, so the texts that collate like it (ignorable
    // characters only, which never have a prefix) are the first of `others`, or the last when
    // descending; with the empty texts they form one group ordered by row.
    const auto likeEmpty = [&](const Item& item) {
        return collation.collate(collation.text(item.contact), {}) == 0;
    };
    Placement placement;
    auto emptyLikeBegin = ascending ? others.cbegin() : others.cend();
    auto emptyLikeEnd = emptyLikeBegin;
    if (anyEmpty) {
        if (ascending) {
            emptyLikeBegin = others.cbegin();
            emptyLikeEnd = std::partition_point(others.cbegin(), others.cend(), likeEmpty);
        } else {
            emptyLikeBegin = std::partition_point(others.cbegin(), others.cend(),
                                                  [&](const Item& item) { return !likeEmpty(item); });
        }
    }
    placement.emptyLikeBegin = emptyLikeBegin;
    placement.emptyLikeEnd = emptyLikeEnd;
    placement.restBegin = ascending ? emptyLikeEnd : others.cbegin();
    placement.restEnd = ascending ? others.cend() : emptyLikeBegin;
    std::vector<std::uint32_t>& places = placement.places;
    places.reserve(size_t(placement.restEnd - placement.restBegin));
    for (auto item = placement.restBegin; item != placement.restEnd; ++item) {
        const auto from = valid.begin() + qsizetype(places.empty() ? 0 : places.back());
        places.push_back(std::uint32_t(std::lower_bound(from, valid.end(), *item, before) - valid.begin()));
    }
    return placement;
}

// Writes the groups into `order`; nothing is allocated or collated here, so `order` is either left as
// it was or sorted.
void writeOrder(std::vector<std::uint32_t>& order, const std::vector<std::uint32_t>& rowOf,
                const Groups& groups, const Placement& placement, bool ascending) noexcept {
    size_t row = 0;
    const auto putEmptyGroup = [&] {
        auto like = placement.emptyLikeBegin;
        for (const std::uint32_t contact : groups.empties) {
            for (; like != placement.emptyLikeEnd && like->row < rowOf[contact]; ++like) {
                order[row++] = like->contact;
            }
            order[row++] = contact;
        }
        for (; like != placement.emptyLikeEnd; ++like) {
            order[row++] = like->contact;
        }
    };
    const auto putTexts = [&] {
        const Items& valid = groups.valid;
        const std::vector<std::uint32_t>& places = placement.places;
        size_t next = 0;
        for (size_t k = 0; k < places.size(); ++k) {
            for (; next < places[k]; ++next) {
                order[row++] = valid[next].contact;
            }
            order[row++] = placement.restBegin[qsizetype(k)].contact;
        }
        for (; next < valid.size(); ++next) {
            order[row++] = valid[next].contact;
        }
    };
    if (ascending) {
        putEmptyGroup();
        putTexts();
    } else {
        putTexts();
        putEmptyGroup();
    }
}

} // namespace

QCollator listCollator() {
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

void sortByCollation(std::vector<std::uint32_t>& order, std::size_t contactCount, const TextOf& textOf,
                     const QCollator& collator, Qt::SortOrder sortOrder) {
    const Collation collation(textOf, collator, sortOrder == Qt::AscendingOrder);
    const std::vector<std::uint32_t> rowOf = rowsOf(order, contactCount);
    Groups groups = groupByPrefix(order, rowOf, collation);
    sortByPrefix(groups.valid, collation);
    const Placement placement = placeOthers(groups.others, groups.valid, !groups.empties.empty(), collation);
    writeOrder(order, rowOf, groups, placement, collation.ascending());
}

void sortByCollation(std::vector<std::uint32_t>& order, const std::vector<QStringView>& texts,
                     const QCollator& collator, Qt::SortOrder sortOrder) {
    sortByCollation(
        order, texts.size(), [&](std::uint32_t contact) { return texts[contact]; }, collator, sortOrder);
}

std::vector<std::uint32_t> collationRanks(std::size_t contactCount, const TextOf& textOf,
                                          const QCollator& collator) {
    std::vector<std::uint32_t> order(contactCount);
    std::iota(order.begin(), order.end(), 0u);
    sortByCollation(order, contactCount, textOf, collator, Qt::AscendingOrder);
    const Collation collation(textOf, collator, true);
    const PrimaryPrefix prefixes(collator);
    std::vector<std::uint32_t> rank(contactCount);
    std::uint32_t current = 0;
    QStringView previous;
    PrimaryPrefix::Key previousKey;
    for (size_t i = 0; i < order.size(); ++i) {
        const QStringView text = textOf(order[i]);
        const PrimaryPrefix::Key key = prefixes.key(text);
        if (i > 0 && text != previous) {
            // Prefixes that differ differ at the primary level; only the rest is asked of the collator.
            const bool apart = key.valid && previousKey.valid &&
                               (key.high != previousKey.high || key.low != previousKey.low);
            if (apart || collation.collate(previous, text) != 0) {
                ++current;
            }
        }
        rank[order[i]] = current;
        previous = text;
        previousKey = key;
    }
    return rank;
}

void sortByRank(std::vector<std::uint32_t>& order, const std::vector<std::uint32_t>& rank,
                Qt::SortOrder sortOrder) {
    // Counted into place: two passes over the order, stable by construction.
    std::vector<std::uint32_t> place(rank.size() + 1, 0);
    const auto slot = [&](std::uint32_t contact) {
        return sortOrder == Qt::AscendingOrder ? rank[contact]
                                               : std::uint32_t(rank.size() - 1 - rank[contact]);
    };
    for (const std::uint32_t contact : order) {
        ++place[slot(contact) + 1];
    }
    std::partial_sum(place.begin(), place.end(), place.begin());
    std::vector<std::uint32_t> sorted(order.size());
    for (const std::uint32_t contact : order) {
        sorted[place[slot(contact)]++] = contact;
    }
    order.swap(sorted);
}

} // namespace tovanel
