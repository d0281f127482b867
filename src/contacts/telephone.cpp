#include "contacts/telephone.h"

namespace tovanel {

namespace {

QStringView leftTrimmed(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) {
        ++i;
    }
    return text.mid(i);
}

} // namespace

std::optional<QStringView> nationalNumberRest(QStringView number) {
    if (number.size() < 3 || number[0] != u'+' || number[1] != u'4' || number[2] != u'9') {
        return std::nullopt;
    }
    const QStringView afterCode = number.mid(3);
    QStringView rest = leftTrimmed(afterCode);
    if (rest.startsWith(QLatin1String("(0)"))) {
        // "+49 (0)89 1234": the bracketed trunk zero repeats the one we put in front.
        rest = leftTrimmed(rest.mid(3));
    } else if (afterCode.startsWith(QLatin1Char('-')) || afterCode.startsWith(QLatin1Char('/')) ||
               afterCode.startsWith(QLatin1Char('.'))) {
        rest = leftTrimmed(afterCode.mid(1));
    }
    return rest;
}

QString nationalNumber(const QString& number) {
    const std::optional<QStringView> rest = nationalNumberRest(number);
    return rest ? QLatin1Char('0') + rest->toString() : number;
}

} // namespace tovanel
