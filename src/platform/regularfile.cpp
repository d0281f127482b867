#include "platform/regularfile.h"

#include "platform/displaytext.h"
#include "platform/germantext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovanel {

namespace {

FileStamp stampOf(const struct stat& info) {
    FileStamp stamp;
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec);
    stamp.changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + qint64(info.st_ctim.tv_nsec);
    stamp.device = quint64(info.st_dev);
    stamp.inode = quint64(info.st_ino);
    return stamp;
}

// A name byte that is not part of well-formed UTF-8 is kept as this plus the byte (U+DC80–U+DCFF): a
// lone surrogate, which no UTF-8 decodes to, so the two cannot be confused.
constexpr char16_t EscapedByte = 0xDC00;

// The length of the well-formed UTF-8 sequence starting at `i`; 0 where there is none. Overlong forms,
// encoded surrogates and values past U+10FFFF are not well-formed, so their bytes are kept one by one.
qsizetype utf8SequenceLength(const QByteArray& bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return k < bytes.size() ? uchar(bytes.at(k)) : uchar(0); };
    const uchar lead = at(i);
    if (lead < 0x80) {
        return 1;
    }
    qsizetype length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    for (qsizetype k = 1; k < length; ++k) {
        const uchar c = at(i + k);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

// The first folder on the way to `path` that this user may not enter, or empty.
QString unreachableFolder(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString folder = QStringLiteral("/");
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        folder = QDir(folder).filePath(parts.at(i));
        const QByteArray native = nativeFileName(folder);
        if (::access(native.constData(), X_OK) != 0 && errno == EACCES) {
            return folder;
        }
    }
    return {};
}

bool isDanglingLink(const QString& path) {
    struct stat info {};
    const QByteArray native = nativeFileName(path);
    return ::lstat(native.constData(), &info) == 0 && S_ISLNK(info.st_mode) &&
           ::stat(native.constData(), &info) != 0;
}

} // namespace

QString fileNameFromNative(const QByteArray& name) {
    QString result;
    qsizetype run = 0; // start of the well-formed bytes not yet taken over
    qsizetype i = 0;
    while (i < name.size()) {
        const qsizetype length = utf8SequenceLength(name, i);
        if (length > 0) {
            i += length;
            continue;
        }
        result += QString::fromUtf8(name.constData() + run, i - run);
        result += QChar(char16_t(EscapedByte + uchar(name.at(i))));
        run = ++i;
    }
    result += QString::fromUtf8(name.constData() + run, name.size() - run);
    return result;
}

QByteArray nativeFileName(const QString& name) {
    QByteArray result;
    const QStringView view(name);
    qsizetype run = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        const char16_t unit = view.at(i).unicode();
        // The second half of a surrogate pair is a character of its own, not a kept byte.
        if (unit < EscapedByte + 0x80 || unit > EscapedByte + 0xFF ||
            (i > 0 && view.at(i - 1).isHighSurrogate())) {
            continue;
        }
        result += view.sliced(run, i - run).toUtf8();
        result += char(unit - EscapedByte);
        run = i + 1;
    }
    result += view.sliced(run).toUtf8();
    return result;
}

QString notRegularFileReason(const QString& path) {
    return QStringLiteral("%1 ist keine gewöhnliche Datei.").arg(quotedFileName(path));
}

namespace {

// The reasons that differ for a file written; nothing else is written than exports.
QString writeReason(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("Auf dem Datenträger ist nicht genug Platz.");
    case EDQUOT:
        return QStringLiteral("Der zugeteilte Speicherplatz ist aufgebraucht.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Keine Berechtigung, dort zu schreiben.");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOENT:
        return QStringLiteral("Den Ordner gibt es nicht.");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler beim Schreiben auf den Datenträger.");
    default:
        return {};
    }
}

} // namespace

QString systemErrorReason(int errorNumber, const QString& path, FileAccess access) {
    if (access == FileAccess::Write) {
        if (QString reason = writeReason(errorNumber); !reason.isEmpty()) {
            return reason;
        }
    }
    switch (errorNumber) {
    case ENOENT:
        if (!path.isEmpty() && isDanglingLink(path)) {
            return QStringLiteral("Die Verknüpfung zeigt auf keine vorhandene Datei.");
        }
        return QStringLiteral("Die Datei existiert nicht.");
    case EACCES:
    case EPERM:
        if (!path.isEmpty()) {
            const QString folder = unreachableFolder(path);
            if (!folder.isEmpty()) {
                return QStringLiteral("Keine Berechtigung, den Ordner „%1“ zu öffnen.").arg(folder);
            }
        }
        return QStringLiteral("Keine Berechtigung, die Datei zu lesen.");
    case EISDIR:
        return QStringLiteral("Das ist ein Ordner, keine Datei.");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner.");
    case ELOOP:
        return QStringLiteral("Zu viele Verknüpfungen hintereinander.");
    case ENAMETOOLONG:
        return QStringLiteral("Der Dateiname ist zu lang.");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("Das Gerät ist nicht vorhanden.");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler beim Lesen des Datenträgers.");
    case ENOMEM:
        return outOfMemory();
    case EFBIG:
    case EOVERFLOW:
        return QStringLiteral("Die Datei ist zu groß.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Zu viele geöffnete Dateien.");
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("Die Datei ist gerade belegt.");
    case EAGAIN:
        return QStringLiteral("Die Datei ist gerade nicht lesbar.");
    default:
        return QString::fromLocal8Bit(std::strerror(errorNumber));
    }
}

QString deviceErrorReason(const QString& deviceError, const QString& path, FileAccess access) {
    // Qt reports system errors with strerror()'s text: find the number back, and systemErrorReason decides
    // which get a German sentence. Only ever run for a failure, so the scans cost nothing that matters.
    // Qt writes the common ones in English whatever the locale, the rest as the C library does in the
    // user's language: both texts are looked for. A save file wraps the text in its own ("… : No space
    // left on device"); the text alone wins over one found inside.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    int contained = 0;
    for (int number = 1; number < 256; ++number) {
        const QString english =
            cLocale != locale_t(nullptr) ? QString::fromUtf8(strerror_l(number, cLocale)) : QString();
        const QString local = QString::fromLocal8Bit(std::strerror(number));
        if (deviceError == english || deviceError == local) {
            return systemErrorReason(number, path, access);
        }
        for (const QString& text : {english, local}) {
            if (contained == 0 && !text.isEmpty() && !text.startsWith(QLatin1String("Unknown error")) &&
                deviceError.contains(text)) {
                contained = number;
            }
        }
    }
    if (contained != 0) {
        return systemErrorReason(contained, path, access);
    }
    if (access == FileAccess::Write && deviceError.contains(QLatin1String("is not writable"))) {
        return systemErrorReason(EACCES, path, access);
    }
    return deviceError;
}

FileStamp fileStampOf(const QString& path) {
    struct stat info {};
    const QByteArray native = nativeFileName(path);
    if (path.isEmpty() || ::stat(native.constData(), &info) != 0) {
        return {};
    }
    return stampOf(info);
}

bool openRegularFile(const QString& path, QFile& file, FileStamp* stamp, QString* reason) {
    const auto fail = [&](const QString& why) {
        if (reason) {
            *reason = why;
        }
        return false;
    };
    if (path.isEmpty()) {
        return fail(systemErrorReason(ENOENT));
    }
    const QByteArray native = nativeFileName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return fail(systemErrorReason(errno, path));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(systemErrorReason(error, path));
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return fail(systemErrorReason(EISDIR, path));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(notRegularFileReason(path));
    }
    // Regular files never block; ordinary reads from here on.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(deviceErrorReason(file.errorString(), path));
    }
    if (stamp) {
        *stamp = stampOf(info);
    }
    return true;
}

} // namespace tovanel
