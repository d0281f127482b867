#pragma once

#include <QLocale>
#include <QString>

namespace tovanel {

// "123.456" — numbers in German messages are grouped the German way.
inline QString germanNumber(qint64 n) {
    static const QLocale german(QLocale::German);
    return german.toString(n);
}

// "1 Kontakt", "1.234 Kontakte".
inline QString contactCount(qint64 n) {
    return germanNumber(n) + (n == 1 ? QStringLiteral(" Kontakt") : QStringLiteral(" Kontakte"));
}

} // namespace tovanel
