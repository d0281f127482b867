#include "export/birthdaycalendar.h"

#include "contacts/carddate.h"
#include "contacts/contacttable.h"
#include "platform/germantext.h"
#include "vcard/vcardwriter.h"

#include <QDate>
#include <QHash>
#include <QStringList>
#include <QUuid>
#include <algorithm>

namespace tovanel {

namespace {

// The name space of the events' UIDs: a card's UID gives the same event UIDs in every export, and
// none that another program derives from that UID in its own way.
const QUuid EventNamespace(QStringLiteral("6112bf35-5daa-4a50-aae1-f860ed1ac08b"));

// A date without a year starts in a leap year, so that 29 February has a first day to fall on.
constexpr int YearlessStart = 2000;

QByteArray digits(int value, int width) {
    return QByteArray::number(value).rightJustified(width, '0');
}

class BirthdayCalendar final : public ContactRecords {
public:
    explicit BirthdayCalendar(const QDateTime& stamp) {
        const QDateTime utc = stamp.toUTC();
        const QDate day = utc.date();
        const QTime time = utc.time();
        m_stamp = digits(day.year(), 4) + digits(day.month(), 2) + digits(day.day(), 2) + 'T' +
                  digits(time.hour(), 2) + digits(time.minute(), 2) + digits(time.second(), 2) + 'Z';
    }

    QByteArray head() override {
        QByteArray out;
        for (const char* line : {"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Tovanel//Geburtstage//DE",
                                 "CALSCALE:GREGORIAN", "METHOD:PUBLISH", "X-WR-CALNAME:Geburtstage"}) {
            VcardWriter::appendFolded(out, line);
        }
        return out;
    }

    void append(QByteArray& out, const ContactTable& table, qsizetype contact) override {
        if (const std::uint32_t birthday = table.birthday(contact); birthday != 0) {
            appendEvent(out, table, contact, birthday, true);
        } else if (!table.text(contact, Field::BirthdayText).isEmpty()) {
            ++m_notDates;
        }
        const auto& anniversaries = table.anniversaries();
        auto it = std::lower_bound(anniversaries.begin(), anniversaries.end(), std::uint32_t(contact),
                                   [](const auto& entry, std::uint32_t c) { return entry.first < c; });
        for (; it != anniversaries.end() && it->first == contact; ++it) {
            appendEvent(out, table, contact, it->second, false);
        }
    }

    QByteArray tail() override {
        QByteArray out;
        VcardWriter::appendFolded(out, "END:VCALENDAR");
        return out;
    }

    QString notice(const QString& path) const override {
        Q_UNUSED(path)
        QStringList notices;
        if (m_events == 0) {
            notices << QStringLiteral(
                "Kein Kontakt hat einen Geburtstag oder Jahrestag; der Kalender ist leer.");
        }
        if (m_notDates == 1) {
            notices << QStringLiteral("1 Geburtstag ist kein Datum und fehlt im Kalender.");
        } else if (m_notDates > 1) {
            notices << QStringLiteral("%1 Geburtstage sind kein Datum und fehlen im Kalender.")
                           .arg(germanNumber(m_notDates));
        }
        return notices.join(u'\n');
    }

private:
    void appendEvent(QByteArray& out, const ContactTable& table, qsizetype contact, std::uint32_t packed,
                     bool birthday) {
        const CardDate date = CardDate::unpacked(packed);
        const int year = date.year == 0 ? YearlessStart : date.year;
        // Whatever the packed date holds, only a day of the calendar becomes an event.
        if (!QDate(year, date.month, date.day).isValid()) {
            return;
        }
        const QString name = table.text(contact, Field::Name).toString();
        QString summary;
        if (name.isEmpty()) {
            summary = birthday ? QStringLiteral("Geburtstag") : QStringLiteral("Jahrestag");
        } else {
            summary = birthday ? QStringLiteral("%1 hat Geburtstag").arg(name)
                               : QStringLiteral("Jahrestag von %1").arg(name);
        }
        const bool leapDay = date.month == 2 && date.day == 29;
        VcardWriter::appendFolded(out, "BEGIN:VEVENT");
        VcardWriter::appendFolded(out, "UID:" + uid(table, contact, packed, birthday));
        VcardWriter::appendFolded(out, "DTSTAMP:" + m_stamp);
        VcardWriter::appendFolded(out, "DTSTART;VALUE=DATE:" + digits(year, 4) + digits(date.month, 2) +
                                           digits(date.day, 2));
        // The last day of February: 29 February where there is one, else 28 February.
        VcardWriter::appendFolded(out, leapDay ? "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1"
                                               : "RRULE:FREQ=YEARLY");
        VcardWriter::appendFolded(out, "SUMMARY:" + VcardWriter::escapedText(summary));
        VcardWriter::appendFolded(out, "TRANSP:TRANSPARENT");
        VcardWriter::appendFolded(out, "END:VEVENT");
        ++m_events;
    }

    // From the card's UID where it has one, else from the name; with the occasion and the date, and a
    // count for the same event met again (a card listed twice), so that every event has a UID of its own.
    QByteArray uid(const ContactTable& table, qsizetype contact, std::uint32_t packed, bool birthday) {
        const QStringView cardUid = table.text(contact, Field::Uid);
        QByteArray key = cardUid.isEmpty() ? "name:" + table.text(contact, Field::Name).toUtf8()
                                           : "uid:" + cardUid.toUtf8();
        key += birthday ? "\nbirthday\n" : "\nanniversary\n";
        key += QByteArray::number(packed);
        int& seen = m_seen[QUuid::createUuidV5(EventNamespace, key)];
        if (seen > 0) {
            key += '\n' + QByteArray::number(seen);
        }
        ++seen;
        return QUuid::createUuidV5(EventNamespace, key).toByteArray(QUuid::WithoutBraces);
    }

    QByteArray m_stamp;
    QHash<QUuid, int> m_seen;
    qsizetype m_events = 0;
    qsizetype m_notDates = 0;
};

} // namespace

std::unique_ptr<ContactRecords> birthdayCalendarRecords(const QDateTime& stamp) {
    return std::make_unique<BirthdayCalendar>(stamp);
}

} // namespace tovanel
