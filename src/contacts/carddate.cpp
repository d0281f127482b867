#include "contacts/carddate.h"

namespace tovanel {

std::optional<CardDate> cardDate(QStringView text) {
    text = text.trimmed();
    if (const qsizetype time = text.indexOf(u'T'); time >= 0) {
        text = text.first(time);
    }
    const bool yearless = text.startsWith(u"--");
    char digits[8];
    qsizetype count = 0;
    for (const QChar c : yearless ? text.sliced(2) : text) {
        if (c >= u'0' && c <= u'9') {
            if (count == 8) {
                return std::nullopt;
            }
            digits[count++] = char(c.unicode());
        } else if (c != u'-') {
            return std::nullopt;
        }
    }
    if (count != (yearless ? 4 : 8)) {
        return std::nullopt;
    }
    const auto number = [&digits](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            value = value * 10 + (digits[i] - '0');
        }
        return value;
    };
    CardDate date;
    const int monthAt = yearless ? 0 : 4;
    if (!yearless) {
        date.year = number(0, 4);
    }
    date.month = number(monthAt, 2);
    date.day = number(monthAt + 2, 2);
    if (date.year == 1604) {
        date.year = 0;
    }
    // A leap year lets 29 February through when the card gives no year.
    if (!QDate(date.year == 0 ? 2000 : date.year, date.month, date.day).isValid()) {
        return std::nullopt;
    }
    return date;
}

QString germanDate(const CardDate& date) {
    const QString dayMonth = QStringLiteral("%1.%2.")
                                 .arg(date.day, 2, 10, QLatin1Char('0'))
                                 .arg(date.month, 2, 10, QLatin1Char('0'));
    return date.year == 0 ? dayMonth : dayMonth + QString::number(date.year);
}

QDate nextOccurrence(const CardDate& date, QDate today) {
    const auto inYear = [&date](int year) {
        const QDate day(year, date.month, date.day);
        return day.isValid() ? day : QDate(year, date.month, date.day - 1);
    };
    const QDate thisYear = inYear(today.year());
    return thisYear >= today ? thisYear : inYear(today.year() + 1);
}

} // namespace tovanel
