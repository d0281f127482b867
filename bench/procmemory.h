#pragma once

#include <QByteArray>
#include <QFile>
#include <cstring>

// Resident memory from /proc: `field` is "VmRSS:" (now) or "VmHWM:" (the peak since the start or the last
// resetPeakRss), in MiB; -1 where /proc cannot be read.
inline double statusMb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return -1;
}

// Sets the peak to the memory resident now, so that an earlier step's peak does not hide the next one's.
inline void resetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}
