#pragma once

#include "contactlist/contactlist.h"
#include "contacts/carddate.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

namespace tovanel {

enum class Occasion : std::uint8_t { Birthday, Anniversary };

// A birthday or an anniversary of a contact, as seen from one day ("today").
struct BirthdayEvent {
    std::uint32_t contact = 0;
    std::uint32_t date = 0; // packed CardDate
    // Days from today to the next time the date comes round: 0 is today, at most 365.
    std::uint16_t daysUntil = 0;
    // How old the contact turns, or how many years the anniversary counts, on that day; 0 when the date
    // has no year (or lies ahead of that day).
    std::uint16_t years = 0;
    Occasion occasion = Occasion::Birthday;

    CardDate cardDate() const { return CardDate::unpacked(date); }
};

// Every birthday and anniversary of the contacts of `list`, the next one first: by the days until each
// comes round (today first), then by name in German collation, then in the list's order (a contact's
// birthday before its anniversaries). 29 February falls on 28 February in a year without it. A date
// that is no day of the calendar gives no event.
std::vector<BirthdayEvent> birthdayEvents(const ContactList& list, QDate today);

// "heute", "morgen", "in 5 Tagen".
QString daysUntilText(int days);
// "Geburtstag", "Jahrestag".
QString occasionText(Occasion occasion);
// "wird 41", "41. Jahrestag"; empty without a year.
QString yearsText(const BirthdayEvent& event);

namespace BirthdayColumn {
enum : int { When, Date, Name, Occasion, Years, Count };
}

// The events of a list as the "Geburtstage" window shows them, one row each, in birthdayEvents' order.
class BirthdayListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BirthdayListModel(QObject* parent = nullptr);

    // Replaces every row in one reset: the events of `contacts` (of `table`) seen from `today`.
    void setList(std::shared_ptr<const ContactTable> table, std::span<const std::uint32_t> contacts,
                 QDate today);
    const std::shared_ptr<const ContactTable>& sharedTable() const { return m_table; }
    // The event shown in `row` (0 to rowCount() - 1), in birthdayEvents' order.
    const BirthdayEvent& eventAt(int row) const;
    QDate today() const { return m_today; }

    static QStringList headings();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString cell(const BirthdayEvent& event, int column) const;

    std::shared_ptr<const ContactTable> m_table;
    // By day, and a day by name only once one of its rows is asked for: the window opens without
    // collating a million names, and scrolling collates a few thousand of one day at a time. A day
    // begins at m_dayStart[day]; the last entry is the end.
    mutable std::vector<BirthdayEvent> m_events;
    std::vector<std::uint32_t> m_dayStart;
    mutable std::vector<bool> m_daySorted;
    QCollator m_collator;
    QDate m_today;
};

} // namespace tovanel
