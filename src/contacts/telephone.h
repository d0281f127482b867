#pragma once

#include "contacts/fields.h"

#include <QChar>
#include <QString>
#include <QStringView>
#include <array>
#include <cstring>
#include <optional>

namespace tovanel {

// The three telephone cells of a contact, in column order.
inline constexpr std::array<Field, 3> TelephoneFields{Field::MobilePhone, Field::HomePhone, Field::WorkPhone};
constexpr bool isTelephone(Field field) {
    return field >= Field::MobilePhone && field <= Field::WorkPhone;
}

// A "+49" telephone number in German national form, as every cell shows it: "+49 89 1234" -> "089 1234".
// An optional "(0)" and one separator after the country code are dropped; other numbers are returned
// unchanged.
QString nationalNumber(const QString& number);
// What nationalNumber puts after the leading "0" of the national form, or nothing for a number
// nationalNumber leaves alone.
std::optional<QStringView> nationalNumberRest(QStringView number);

// The key two numbers are compared by, wherever they are: the search, the filter and the duplicates. Its
// digits (those of any script read as 0–9), a "+" before the first digit read as "00", and then a leading
// "0049" read as the trunk prefix "0", a written-out trunk zero after it ("+49 (0)171") being no second
// "0". So "+49 171 1234567", "0049 (0)171 1234567" and "0171/1234567" have one key, and "+43 1 234" and
// "0043 1 234" another.
//
// Writes the key to `out`, which has room for number.size() + 1 units, and returns its length; `digits`
// (if given) takes the number of digits the text holds. Inline: it runs over every number of a million
// contacts for a filter keystroke.
template <typename Unit> qsizetype telephoneKey(QStringView number, Unit* out, qsizetype* digits = nullptr) {
    const char16_t* in = number.utf16();
    qsizetype n = 0;
    qsizetype count = 0;
    bool plus = false;
    for (qsizetype i = 0; i < number.size(); ++i) {
        const char16_t unit = in[i];
        int digit = 0;
        if (unit >= u'0' && unit <= u'9') {
            digit = unit - u'0';
        } else if (unit == u'+') {
            plus = plus || count == 0;
            continue;
        } else if (unit >= 0x80 && QChar::isDigit(unit)) {
            digit = QChar::digitValue(unit);
        } else {
            continue;
        }
        if (count == 0 && plus) {
            out[n++] = Unit('0');
            out[n++] = Unit('0');
        }
        out[n++] = Unit('0' + digit);
        ++count;
    }
    if (digits != nullptr) {
        *digits = count;
    }
    if (n >= 4 && out[0] == Unit('0') && out[1] == Unit('0') && out[2] == Unit('4') && out[3] == Unit('9')) {
        const qsizetype drop = n > 4 && out[4] == Unit('0') ? 4 : 3;
        std::memmove(out + 1, out + 1 + drop, size_t(n - 1 - drop) * sizeof(Unit));
        n -= drop;
    }
    return n;
}

} // namespace tovanel
