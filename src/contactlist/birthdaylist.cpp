#include "contactlist/birthdaylist.h"

#include "contactlist/collationsort.h"
#include "platform/displaytext.h"

#include <QCollator>
#include <algorithm>
#include <array>
#include <span>

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

// The events of `list` in their days by a counting sort, which keeps the list's order within a day:
// day d holds events[dayStart[d]] up to events[dayStart[d + 1]]. Integer work only; the names are left
// to sortDayByName.
std::vector<BirthdayEvent> eventsByDay(const ContactList& list, QDate today,
                                       std::vector<std::uint32_t>& dayStart) {
    dayStart.assign(DaysAhead + 1, 0);
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

    for (const BirthdayEvent& event : inListOrder) {
        ++dayStart[event.daysUntil + 1u];
    }
    for (int day = 1; day <= DaysAhead; ++day) {
        dayStart[size_t(day)] += dayStart[size_t(day - 1)];
    }
    std::vector<std::uint32_t> next(dayStart.begin(), dayStart.end() - 1);
    std::vector<BirthdayEvent> events(inListOrder.size());
    for (const BirthdayEvent& event : inListOrder) {
        events[next[event.daysUntil]++] = event;
    }
    return events;
}

// Orders the events of one day, which come in the list's order, by name. A day holds a few thousand of
// a million events, so the names are collated in small groups and never all against each other.
void sortDayByName(std::span<BirthdayEvent> day, const ContactTable& table, const QCollator& collator) {
    const size_t count = day.size();
    if (count < 2) {
        return;
    }
    std::vector<QStringView> names(count);
    std::vector<std::uint32_t> order(count);
    for (size_t i = 0; i < count; ++i) {
        const QStringView name = table.text(day[i].contact, Field::Name);
        names[i] = name.size() <= MaxListCellChars ? name : name.first(MaxListCellChars);
        order[i] = std::uint32_t(i);
    }
    // Stable: the same name keeps the list's order, and a contact's birthday stays before its
    // anniversary.
    sortByCollation(order, names, collator, Qt::AscendingOrder);
    std::vector<BirthdayEvent> sorted(count);
    for (size_t i = 0; i < count; ++i) {
        sorted[i] = day[order[i]];
    }
    std::copy(sorted.begin(), sorted.end(), day.begin());
}

} // namespace

std::vector<BirthdayEvent> birthdayEvents(const ContactList& list, QDate today) {
    std::vector<std::uint32_t> dayStart;
    std::vector<BirthdayEvent> events = eventsByDay(list, today, dayStart);
    const QCollator collator = listCollator();
    for (int day = 0; day < DaysAhead; ++day) {
        sortDayByName(std::span(events).subspan(dayStart[size_t(day)],
                                                dayStart[size_t(day + 1)] - dayStart[size_t(day)]),
                      list.table, collator);
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

BirthdayListModel::BirthdayListModel(QObject* parent)
    : QAbstractTableModel(parent), m_collator(listCollator()) {}

void BirthdayListModel::setList(std::shared_ptr<const ContactTable> table,
                                std::span<const std::uint32_t> contacts, QDate today) {
    beginResetModel();
    if (table) {
        m_events = eventsByDay({*table, contacts}, today, m_dayStart);
    } else {
        m_events.clear();
        m_dayStart.assign(DaysAhead + 1, 0);
    }
    m_daySorted.assign(DaysAhead, false);
    m_table = std::move(table);
    m_today = today;
    endResetModel();
}

const BirthdayEvent& BirthdayListModel::eventAt(int row) const {
    const auto next = std::upper_bound(m_dayStart.begin(), m_dayStart.end(), std::uint32_t(row));
    const size_t day = size_t(next - m_dayStart.begin()) - 1;
    if (!m_daySorted[day]) {
        sortDayByName(std::span(m_events).subspan(m_dayStart[day], *next - m_dayStart[day]), *m_table,
                      m_collator);
        m_daySorted[day] = true;
    }
    return m_events[size_t(row)];
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
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const BirthdayEvent& event = eventAt(index.row());
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
