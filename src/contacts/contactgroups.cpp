#include "contacts/contactgroups.h"

#include "contacts/contacttable.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <map>
#include <numeric>

namespace tovanel {

namespace {

// A member or a UID as the same text whether or not it is written as a URN.
QStringView bareUid(QStringView uid) {
    uid = uid.trimmed();
    return uid.startsWith(u"urn:uuid:", Qt::CaseInsensitive) ? uid.sliced(9) : uid;
}

template <typename Each> void forEachLine(QStringView text, Each&& each) {
    for (const QStringView line : text.tokenize(u'\n', Qt::SkipEmptyParts)) {
        each(line);
    }
}

} // namespace

ContactGroups findContactGroups(ContactTable& table) {
    ContactGroups groups;
    const qsizetype size = table.size();
    // Group cards first: who their members are, found by UID.
    std::vector<qsizetype> groupCards;
    for (qsizetype contact = 0; contact < size; ++contact) {
        if (!table.text(contact, Field::Members).isEmpty()) {
            groupCards.push_back(contact);
        }
    }
    std::vector<std::pair<qsizetype, qsizetype>> memberships; // (member, group card)
    if (!groupCards.empty()) {
        QMultiHash<QStringView, qsizetype> byUid;
        for (qsizetype contact = 0; contact < size; ++contact) {
            if (const QStringView uid = bareUid(table.text(contact, Field::Uid)); !uid.isEmpty()) {
                byUid.insert(uid, contact);
            }
        }
        for (const qsizetype card : groupCards) {
            forEachLine(table.text(card, Field::Members), [&](QStringView member) {
                for (auto it = byUid.constFind(bareUid(member));
                     it != byUid.constEnd() && it.key() == bareUid(member); ++it) {
                    // A group card that lists itself is no member of its own group.
                    if (*it != card) {
                        memberships.emplace_back(*it, card);
                    }
                }
            });
        }
        std::sort(memberships.begin(), memberships.end());
        memberships.erase(std::unique(memberships.begin(), memberships.end()), memberships.end());
    }
    const auto groupCardName = [&table](qsizetype card) { return table.text(card, Field::Name).trimmed(); };

    // Every name once, then in German order. The names a contact already has include the group cards'
    // of an earlier finding, so finding again (a file added to the list) gives the same groups.
    QHash<QString, std::uint32_t> index;
    for (std::uint32_t entry = 1; entry < table.groupSetCount(); ++entry) {
        for (const QString& name : table.groupSetNames(entry)) {
            index.insert(name, 0);
        }
    }
    for (const qsizetype card : groupCards) {
        if (const QStringView name = groupCardName(card); !name.isEmpty()) {
            index.insert(name.toString(), 0);
        }
    }
    if (index.isEmpty()) {
        groups.ungrouped = size;
        return groups;
    }
    QStringList names = index.keys();
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), [&collator](const QString& a, const QString& b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    for (qsizetype i = 0; i < names.size(); ++i) {
        index[names[i]] = std::uint32_t(i);
    }
    groups.names = names;
    groups.sizes.assign(size_t(names.size()), 0);

    // The groups of each entry the reader made, then of each contact with its group cards'.
    std::vector<std::vector<std::uint32_t>> entryGroups(table.groupSetCount());
    for (std::uint32_t entry = 1; entry < table.groupSetCount(); ++entry) {
        for (const QString& name : table.groupSetNames(entry)) {
            entryGroups[entry].push_back(index.value(name));
        }
    }
    std::map<std::vector<std::uint32_t>, std::uint32_t> setIds;
    std::vector<QStringList> setNames{QStringList()};
    const auto setId = [&](std::vector<std::uint32_t>& set) -> std::uint32_t {
        std::sort(set.begin(), set.end());
        set.erase(std::unique(set.begin(), set.end()), set.end());
        if (set.empty()) {
            return 0;
        }
        const auto [it, added] = setIds.try_emplace(set, std::uint32_t(groups.sets.size()));
        if (added) {
            groups.sets.push_back(set);
            QStringList named;
            for (const std::uint32_t group : set) {
                named << names[qsizetype(group)];
            }
            setNames.push_back(named);
        }
        return it->second;
    };
    // Most contacts are in no group card: their set follows from their entry alone.
    std::vector<std::int64_t> entrySet(entryGroups.size(), -1);
    std::vector<std::uint32_t> setOf(size_t(size), 0);
    std::vector<std::uint32_t> set;
    auto membership = memberships.begin();
    for (qsizetype contact = 0; contact < size; ++contact) {
        const std::uint32_t entry = table.groupSet(contact);
        std::uint32_t id = 0;
        if (membership == memberships.end() || membership->first != contact) {
            if (entrySet[entry] < 0) {
                set = entryGroups[entry];
                entrySet[entry] = setId(set);
            }
            id = std::uint32_t(entrySet[entry]);
        } else {
            set = entryGroups[entry];
            for (; membership != memberships.end() && membership->first == contact; ++membership) {
                if (const QStringView name = groupCardName(membership->second); !name.isEmpty()) {
                    set.push_back(index.value(name.toString()));
                }
            }
            id = setId(set);
        }
        setOf[size_t(contact)] = id;
        if (id == 0) {
            ++groups.ungrouped;
            continue;
        }
        for (const std::uint32_t group : groups.sets[id]) {
            ++groups.sizes[group];
        }
    }
    table.setGroupSets(std::move(setOf), std::move(setNames));
    return groups;
}

} // namespace tovanel
