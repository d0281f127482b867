#pragma once

#include <QLocale>
#include <QString>

namespace tovanel {

// The German texts more than one room says. "123.456": numbers in German messages are grouped the
// German way.
inline QString germanNumber(qint64 n) {
    static const QLocale german(QLocale::German);
    return german.toString(n);
}

// "Nicht genug Arbeitsspeicher." — the reason, after whatever ran out.
inline QString outOfMemory() {
    return QStringLiteral("Nicht genug Arbeitsspeicher.");
}
// "Nicht genug Arbeitsspeicher, um die Liste zu sortieren." for `toDo` "die Liste zu sortieren".
inline QString outOfMemoryTo(const QString& toDo) {
    return QStringLiteral("Nicht genug Arbeitsspeicher, um %1.").arg(toDo);
}

// "1 Kontakt", "1.234 Kontakte".
inline QString contactCount(qint64 n) {
    return germanNumber(n) + (n == 1 ? QStringLiteral(" Kontakt") : QStringLiteral(" Kontakte"));
}

} // namespace tovanel
