#include "contactlist/birthdaylist.h"

#include "contactlist/collationsort.h"
#include "platform/displaytext.h"

#include <QCollator>
#include <algorithm>
#include <array>

namespace tovanel {

namespace {

constexpr int DaysAhead = 366; // daysUntil is below this

// Where each day of the year next comes round from `today`: one lookup per event instead of date
// arithmetic, so a million birthdays are placed in a few milliseconds. Days that exist in no year
// (31 April, 30 February) stay invalid.
class NextDays final {
public:
    explicit NextDays(QDate today) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 31; ++day) {
                // 2000, a leap year, lets 29 February through; nextOccurrence moves it where needed.
                if (!QDate(2000, month, day).isValid()) {
                    continue;
                }
                const QDate next = nextOccurrence({0, month, day}, today);
                m_days[size_t(month)][size_t(day)] = {std::int16_t(today.daysTo(next)), next.year()};
            }
        }
    }

    struct Next {
        std::int16_t days = -1; // -1: no day of the calendar
        int year = 0;
    };
    // Any month and day a packed date can hold, 0 to 31, is looked up safely.
    const Next& of(const CardDate& date) const {
        return m_days[size_t(date.month) & 15][size_t(date.day) & 31];
    }

private:
    std::array<std::array<Next, 32>, 16> m_days{};
};

} // namespace

std::vector<BirthdayEvent> birthdayEvents(const ContactList& list, QDate today) {
    const ContactTable& table = list.table;
    const auto& anniversaries = table.anniversaries();
    if (!today.isValid() || (!table.hasBirthdays() && anniversaries.empty())) {
        return {};
    }
    const NextDays nextDays(today);

    // Only contacts of the list count, and each once however often the list names it; a contact's
    // anniversaries are found by a mark here and looked up only for the contacts that have one.
    constexpr std::uint8_t HasAnniversary = 1, Taken = 2;
    std::vector<std::uint8_t> marks(size_t(table.size()), 0);
    for (const auto& entry : anniversaries) {
        marks[entry.first] |= HasAnniversary;
    }
    std::vector<BirthdayEvent> inListOrder;
    const auto add = [&](std::uint32_t contact, std::uint32_t packed, Occasion occasion) {
        const CardDate date = CardDate::unpacked(packed);
        const NextDays::Next& next = nextDays.of(date);
        if (next.days < 0) {
            return;
        }
        const int years = date.year > 0 ? next.year - date.year : 0;
        inListOrder.push_back({.contact = contact,
                               .date = packed,
                               .daysUntil = std::uint16_t(next.days),
                               .years = std::uint16_t(years > 0 && years <= 0xFFFF ? years : 0),
                               .occasion = occasion});
    };
    for (const std::uint32_t contact : list.contacts) {
        if ((marks[contact] & Taken) != 0) {
            continue;
        }
        marks[contact] |= Taken;
        if (const std::uint32_t birthday = table.birthday(contact); birthday != 0) {
            add(contact, birthday, Occasion::Birthday);
        }
        if ((marks[contact] & HasAnniversary) != 0) {
            auto it = std::lower_bound(anniversaries.begin(), anniversaries.end(), contact,
                                       [](const auto& entry, std::uint32_t c) { return entry.first < c; });
            for (; it != anniversaries.end() && it->first == contact; ++it) {
                add(contact, it->second, Occasion::Anniversary);
            }
        }
    }

    // Into their days by a counting sort, which keeps the list's order within a day; then each day by
    // name. A day holds a few thousand of a million events, so the names are collated in small groups
    // and never all against each other.
    std::array<std::uint32_t, DaysAhead + 1> start{};
    for (const BirthdayEvent& event : inListOrder) {
        ++start[event.daysUntil + 1u];
    }
    for (int day = 1; day <= DaysAhead; ++day) {
        start[size_t(day)] += start[size_t(day - 1)];
    }
    const std::array<std::uint32_t, DaysAhead + 1> dayStart = start;
    std::vector<BirthdayEvent> events(inListOrder.size());
    for (const BirthdayEvent& event : inListOrder) {
        events[start[event.daysUntil]++] = event;
    }
    inListOrder = {};

    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QStringView> names;
    std::vector<std::uint32_t> order;
    std::vector<BirthdayEvent> sorted;
    for (int day = 0; day < DaysAhead; ++day) {
        const size_t first = dayStart[size_t(day)];
        const size_t count = dayStart[size_t(day + 1)] - first;
        if (count < 2) {
            continue;
        }
        names.resize(count);
        order.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const QStringView name = table.text(events[first + i].contact, Field::Name);
            names[i] = name.size() <= MaxListCellChars ? name : name.first(MaxListCellChars);
            order[i] = std::uint32_t(i);
        }
        // Stable: the same name keeps the list's order, and a contact's birthday stays before its
        // anniversary.
        sortByCollation(order, names, collator, Qt::AscendingOrder);
        sorted.resize(count);
        for (size_t i = 0; i < count; ++i) {
            sorted[i] = events[first + order[i]];
        }
        std::copy(sorted.begin(), sorted.end(), events.begin() + qsizetype(first));
    }
    return events;
}

QString daysUntilText(int days) {
    if (days == 0) {
        return QStringLiteral("heute");
    }
    if (days == 1) {
        return QStringLiteral("morgen");
    }
    return QStringLiteral("in %1 Tagen").arg(days);
}

QString occasionText(Occasion occasion) {
    return occasion == Occasion::Birthday ? QStringLiteral("Geburtstag") : QStringLiteral("Jahrestag");
}

QString yearsText(const BirthdayEvent& event) {
    if (event.years == 0) {
        return {};
    }
    return event.occasion == Occasion::Birthday ? QStringLiteral("wird %1").arg(event.years)
                                                : QStringLiteral("%1. Jahrestag").arg(event.years);
}

BirthdayListModel::BirthdayListModel(QObject* parent) : QAbstractTableModel(parent) {}

void BirthdayListModel::setList(std::shared_ptr<const ContactTable> table,
                                std::span<const std::uint32_t> contacts, QDate today) {
    beginResetModel();
    m_events = table ? birthdayEvents({*table, contacts}, today) : std::vector<BirthdayEvent>();
    m_table = std::move(table);
    m_today = today;
    endResetModel();
}

QStringList BirthdayListModel::headings() {
    return {QStringLiteral("Wann"), QStringLiteral("Datum"), QStringLiteral("Name"), QStringLiteral("Anlass"),
            QStringLiteral("Alter")};
}

int BirthdayListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_events.size());
}

int BirthdayListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : BirthdayColumn::Count;
}

QString BirthdayListModel::cell(const BirthdayEvent& event, int column) const {
    switch (column) {
    case BirthdayColumn::When:
        return daysUntilText(event.daysUntil);
    case BirthdayColumn::Date:
        return germanDate(event.cardDate());
    case BirthdayColumn::Name:
        return cellText(m_table->text(event.contact, Field::Name));
    case BirthdayColumn::Occasion:
        return occasionText(event.occasion);
    case BirthdayColumn::Years:
        return yearsText(event);
    default:
        return {};
    }
}

QVariant BirthdayListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const BirthdayEvent& event = m_events[size_t(index.row())];
    if (role == Qt::DisplayRole) {
        return cell(event, index.column());
    }
    if (role == Qt::ToolTipRole && index.column() == BirthdayColumn::When) {
        // The day itself, with its year, behind "in 40 Tagen".
        const QDate next = m_today.addDays(event.daysUntil);
        return germanDate({next.year(), next.month(), next.day()});
    }
    return {};
}

QVariant BirthdayListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= BirthdayColumn::Count) {
        return {};
    }
    return headings().at(section);
}

} // namespace tovanel
