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

QString ContactGroups::text(qsizetype contact) const {
    QString joined;
    for (const std::uint32_t group : sets[setOfContact(contact)]) {
        if (!joined.isEmpty()) {
            joined += u", ";
        }
        joined += names[qsizetype(group)];
    }
    return joined;
}

ContactGroups findContactGroups(const ContactTable& table) {
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

    // Every name once, then in German order.
    QHash<QStringView, std::uint32_t> index;
    const auto note = [&index](QStringView name) {
        if (!name.isEmpty()) {
            index.insert(name, 0);
        }
    };
    for (qsizetype contact = 0; contact < size; ++contact) {
        forEachLine(table.text(contact, Field::Categories), [&](QStringView name) { note(name.trimmed()); });
    }
    for (const qsizetype card : groupCards) {
        note(groupCardName(card));
    }
    if (index.isEmpty()) {
        groups.ungrouped = size;
        return groups;
    }
    std::vector<QStringView> names;
    names.reserve(size_t(index.size()));
    for (auto it = index.cbegin(); it != index.cend(); ++it) {
        names.push_back(it.key());
    }
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), [&collator](QStringView a, QStringView b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    for (size_t i = 0; i < names.size(); ++i) {
        index[names[i]] = std::uint32_t(i);
        groups.names << names[i].toString();
    }
    groups.sizes.assign(names.size(), 0);

    std::map<std::vector<std::uint32_t>, std::uint32_t> setIds;
    groups.setOf.assign(size_t(size), 0);
    std::vector<std::uint32_t> set;
    auto membership = memberships.begin();
    for (qsizetype contact = 0; contact < size; ++contact) {
        set.clear();
        forEachLine(table.text(contact, Field::Categories), [&](QStringView name) {
            if (const auto it = index.constFind(name.trimmed()); it != index.constEnd()) {
                set.push_back(*it);
            }
        });
        for (; membership != memberships.end() && membership->first == contact; ++membership) {
            if (const QStringView name = groupCardName(membership->second); !name.isEmpty()) {
                set.push_back(index.value(name));
            }
        }
        if (set.empty()) {
            ++groups.ungrouped;
            continue;
        }
        std::sort(set.begin(), set.end());
        set.erase(std::unique(set.begin(), set.end()), set.end());
        for (const std::uint32_t group : set) {
            ++groups.sizes[group];
        }
        const auto [it, added] = setIds.try_emplace(set, std::uint32_t(groups.sets.size()));
        if (added) {
            groups.sets.push_back(set);
        }
        groups.setOf[size_t(contact)] = it->second;
    }
    return groups;
}

} // namespace tovanel
