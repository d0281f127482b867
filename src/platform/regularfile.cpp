#include "regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileStamp stampOf(const struct stat& info) {
    FileStamp stamp;
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec);
    stamp.device = quint64(info.st_dev);
    stamp.inode = quint64(info.st_ino);
    return stamp;
}

// The first folder on the way to `path` that this user may not enter, or empty.
QString unreachableFolder(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString folder = QStringLiteral("/");
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        folder = QDir(folder).filePath(parts.at(i));
        const QByteArray native = QFile::encodeName(folder);
        if (::access(native.constData(), X_OK) != 0 && errno == EACCES) {
            return folder;
        }
    }
    return {};
}

bool isDanglingLink(const QString& path) {
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    return ::lstat(native.constData(), &info) == 0 && S_ISLNK(info.st_mode) &&
           ::stat(native.constData(), &info) != 0;
}

} // namespace

QString notRegularFileReason(const QString& path) {
    return QStringLiteral("„%1“ ist keine gewöhnliche Datei.").arg(QFileInfo(path).fileName());
}

QString systemErrorReason(int errorNumber, const QString& path) {
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
        return QStringLiteral("Nicht genug Arbeitsspeicher.");
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

QString deviceErrorReason(const QString& deviceError, const QString& path) {
    // Qt reports system errors with strerror()'s text: find the number back, and systemErrorReason decides
    // which get a German sentence. Only ever run for a failure, so the scan costs nothing that matters.
    for (int number = 1; number < 256; ++number) {
        if (deviceError == QString::fromLocal8Bit(std::strerror(number))) {
            return systemErrorReason(number, path);
        }
    }
    return deviceError;
}

FileStamp fileStampOf(const QString& path) {
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
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
    const QByteArray native = QFile::encodeName(path);
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
