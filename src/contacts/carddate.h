#pragma once

#include <QDate>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace tovanel {

// A day of a card (BDAY, ANNIVERSARY): year 0 when the card gives none.
struct CardDate {
    int year = 0;
    int month = 0;
    int day = 0;

    friend bool operator==(const CardDate&, const CardDate&) = default;

    // Four bytes, never 0 (the month is at least 1), so that 0 can stand for no date.
    std::uint32_t packed() const {
        return std::uint32_t(year) << 9 | std::uint32_t(month) << 5 | std::uint32_t(day);
    }
    static CardDate unpacked(std::uint32_t packed) {
        return {int(packed >> 9), int(packed >> 5 & 0xF), int(packed & 0x1F)};
    }
};

// A date value: "1980-05-17", "19800517", "--05-17", "--0517", with or without a time. Apple's year 1604
// stands for a day without a year. Nothing for text that is no date ("circa 1800", "2023-13-45").
std::optional<CardDate> cardDate(QStringView text);

// "17.05.1980", "17.05." without a year.
QString germanDate(const CardDate& date);

// The day the date next falls on, `today` included: 29 February falls on 28 February in a year without it.
QDate nextOccurrence(const CardDate& date, QDate today);

} // namespace tovanel
