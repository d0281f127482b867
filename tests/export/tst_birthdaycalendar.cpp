#include "export/birthdaycalendar.h"
#include "importedlists.h"

#include <QTest>
#include <numeric>

using namespace tovanel;

namespace {

const QDateTime Stamp(QDate(2026, 12, 8), QTime(10, 50, 7), Qt::UTC);

QByteArray card(const QByteArray& lines) {
    return "BEGIN:VCARD\r\nVERSION:4.0\r\n" + lines + "END:VCARD\r\n";
}

// The calendar of `contacts` (all when empty) of the cards.
QByteArray calendar(const QByteArray& cards, std::vector<std::uint32_t> contacts = {},
                    const QDateTime& stamp = Stamp, QString* notice = nullptr) {
    const auto table = ImportedLists::read(cards).table;
    if (contacts.empty()) {
        contacts.resize(size_t(table->size()));
        std::iota(contacts.begin(), contacts.end(), 0u);
    }
    const auto records = birthdayCalendarRecords(stamp);
    QByteArray out = records->head();
    for (const std::uint32_t contact : contacts) {
        records->append(out, *table, contact);
    }
    out += records->tail();
    if (notice) {
        *notice = records->notice(QStringLiteral("a.ics"));
    }
    return out;
}

// The content lines, unfolded.
QStringList lines(const QByteArray& calendar) {
    return QString::fromUtf8(QByteArray(calendar).replace("\r\n ", "")).split(QStringLiteral("\r\n"));
}

QStringList withPrefix(const QStringList& lines, const QString& prefix) {
    QStringList found;
    for (const QString& line : lines) {
        if (line.startsWith(prefix)) {
            found << line;
        }
    }
    return found;
}

} // namespace

class tst_BirthdayCalendar : public QObject {
    Q_OBJECT
private slots:
    void eachDateIsAYearlyEvent_data();
    void eachDateIsAYearlyEvent();
    void uidsStayTheSameAndDiffer();
};

void tst_BirthdayCalendar::eachDateIsAYearlyEvent_data() {
    QTest::addColumn<QByteArray>("lines");
    // Each event's lines but UID and DTSTAMP, one event after the other.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("notice");

    const auto event = [](const char* start, const char* summary, const char* rule = "RRULE:FREQ=YEARLY") {
        return QStringList{QStringLiteral("BEGIN:VEVENT"),
                           QStringLiteral("DTSTART;VALUE=DATE:") + QString::fromUtf8(start),
                           QString::fromUtf8(rule),
                           QStringLiteral("SUMMARY:") + QString::fromUtf8(summary),
                           QStringLiteral("TRANSP:TRANSPARENT"),
                           QStringLiteral("END:VEVENT")};
    };
    const char* leapDay = "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1";
    QTest::newRow("birthday and anniversary")
        << QByteArray("FN:Jürgen Müller\r\nBDAY:1985-03-12\r\nANNIVERSARY:20100612\r\n")
        << event("19850312", "Jürgen Müller hat Geburtstag") +
               event("20100612", "Jahrestag von Jürgen Müller")
        << QString();
    // No year: a leap year to start in, so that 29 February has a first day.
    QTest::newRow("without a year") << QByteArray("FN:A\r\nBDAY:--0312\r\n")
                                    << event("20000312", "A hat Geburtstag") << QString();
    QTest::newRow("Apple's 1604") << QByteArray("FN:A\r\nBDAY:1604-03-12\r\n")
                                  << event("20000312", "A hat Geburtstag") << QString();
    QTest::newRow("29 February") << QByteArray("FN:A\r\nBDAY:1984-02-29\r\n")
                                 << event("19840229", "A hat Geburtstag", leapDay) << QString();
    QTest::newRow("--0229") << QByteArray("FN:A\r\nBDAY:--0229\r\n")
                            << event("20000229", "A hat Geburtstag", leapDay) << QString();
    QTest::newRow("escapes") << QByteArray("FN:Müller\\, Jürgen\\; Sohn\\nZeile\r\nBDAY:1985-03-12\r\n")
                             << event("19850312", "Müller\\, Jürgen\\; Sohn\\nZeile hat Geburtstag")
                             << QString();
    QTest::newRow("no name") << QByteArray("BDAY:1985-03-12\r\n") << event("19850312", "Geburtstag")
                             << QString();
    QTest::newRow("2023-13-45 is no date")
        << QByteArray("FN:A\r\nBDAY:2023-13-45\r\n") << QStringList()
        << QStringLiteral("Kein Kontakt hat einen Geburtstag oder Jahrestag; der Kalender ist leer.\n"
                          "1 Geburtstag ist kein Datum und fehlt im Kalender.");
    const QByteArray longName = QString(40, QChar(u'ä')).toUtf8();
    QTest::newRow("folded inside no character")
        << "FN:" + longName + "\r\nBDAY:1985-03-12\r\n"
        << event("19850312", (longName + " hat Geburtstag").constData()) << QString();
}

void tst_BirthdayCalendar::eachDateIsAYearlyEvent() {
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, events);
    QFETCH(QString, notice);
    QString told;
    const QByteArray written = calendar(card(lines), {}, Stamp, &told);
    QVERIFY(written.endsWith("END:VCALENDAR\r\n"));
    for (const QByteArray& line : written.chopped(1).split('\n')) {
        QVERIFY2(line.endsWith('\r') && line.size() <= 76 &&
                     !QString::fromUtf8(line).contains(QChar::ReplacementCharacter),
                 line.constData());
    }
    const QStringList content = ::lines(written);
    QCOMPARE(content.mid(0, 4), (QStringList{QStringLiteral("BEGIN:VCALENDAR"), QStringLiteral("VERSION:2.0"),
                                             QStringLiteral("PRODID:-//Tovanel//Geburtstage//DE"),
                                             QStringLiteral("CALSCALE:GREGORIAN")}));
    QStringList eventLines;
    bool inEvent = false;
    for (const QString& line : content) {
        inEvent |= line == u"BEGIN:VEVENT";
        if (inEvent && !line.startsWith(u"UID:") && !line.startsWith(u"DTSTAMP:")) {
            eventLines << line;
        }
        inEvent &= line != u"END:VEVENT";
    }
    QCOMPARE(eventLines, events);
    QCOMPARE(withPrefix(content, QStringLiteral("DTSTAMP:")).size(), events.size() / 6);
    QCOMPARE(told, notice);
}

void tst_BirthdayCalendar::uidsStayTheSameAndDiffer() {
    const QByteArray withUid = "UID:urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1\r\nBDAY:1985-03-12\r\n"
                               "ANNIVERSARY:20100612\r\n";
    const QByteArray cards = card("FN:Anna\r\n" + withUid) + card("FN:Bernd\r\nBDAY:1990-01-02\r\n");
    // Bernd twice: his second event needs a UID of its own.
    const QStringList first = withPrefix(lines(calendar(cards, {0, 1, 1})), QStringLiteral("UID:"));
    QCOMPARE(QSet<QString>(first.begin(), first.end()).size(), 4);
    // Another day, the same UIDs; the card's UID holds when its name changes.
    const QStringList later =
        withPrefix(lines(calendar(cards, {0, 1, 1}, Stamp.addDays(400))), QStringLiteral("UID:"));
    QCOMPARE(later, first);
    const QStringList renamed =
        withPrefix(lines(calendar(card("FN:Anna Berg\r\n" + withUid))), QStringLiteral("UID:"));
    QCOMPARE(renamed, first.mid(0, 2));
    QCOMPARE(withPrefix(lines(calendar(cards, {1})), QStringLiteral("DTSTAMP:")),
             QStringList{QStringLiteral("DTSTAMP:20261208T105007Z")});
}

QTEST_GUILESS_MAIN(tst_BirthdayCalendar)
#include "tst_birthdaycalendar.moc"
