#include "app/singleinstance.h"

#include "platform/regularfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tovanel {

namespace {
// A request is the list of paths as the system names them (UTF-8 as a rule, any bytes in fact), each ended
// by a NUL byte (no path can hold one), the list by an empty path: "/a.vcf\0/b\0\0"; a launch without
// files sends "\0". The running instance confirms it with one byte so the later launch knows it may exit.
// An instance of an earlier version, which took one path ended by NUL, reads the first path and opens it;
// an earlier launch's request ("/a.vcf\0") lacks the list's end and is dropped after the idle time.
constexpr char Terminator = '\0';
constexpr QByteArrayView ListEnd("\0\0", 2);
constexpr char Confirmation = 'k';
// Socket paths are short (108 bytes); display names are too, but nothing guarantees it.
constexpr qsizetype MaxDisplayName = 32;
constexpr int ConnectTimeoutMs = 3000;
// The running instance answers as soon as a request is read, before it imports anything.
constexpr int AnswerTimeoutMs = 15000;
// Anyone of this user can take all of an instance's connections for a few seconds (its idle time, 5 s
// from when it got round to accepting them); a launch keeps trying somewhat longer than that instead of
// giving up at once, or it would give up just as the connections are dropped.
constexpr int BusyRetryMs = 8000;
constexpr int BusyPauseMs = 100;
// Only held while nobody listens, which takes a moment.
constexpr int LockTimeoutMs = 5000;
// Whether anyone listens on a socket file is known at once on a local socket.
constexpr int ProbeTimeoutMs = 200;

bool ownedByUs(const QFileInfo& info) {
    return info.ownerId() == ::getuid();
}

// Nothing, or a file of this user of the given type (S_IFSOCK, S_IFREG). Anything else at one of our
// names (another user's file, a symbolic link) was put there to be followed or waited on.
bool freeOrOurs(const QString& path, mode_t type) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return errno == ENOENT;
    }
    return (info.st_mode & S_IFMT) == type && info.st_uid == ::getuid();
}

// The temp folder is shared by all users: the socket and its lock live in a folder only this user
// may enter, made here if absent. One that is not exactly that is never used.
QString privateTempFolder() {
    const QString folder = QDir(QDir::tempPath()).filePath(QStringLiteral("tovanel-%1").arg(::getuid()));
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) == 0) {
        // The umask may have taken more away than wanted.
        ::chmod(native.constData(), 0700);
    }
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 07777) != 0700) {
        return {};
    }
    return folder;
}

// ":0" and ":0.0" are screens of one X server, on which one window is enough: the screen number is
// dropped, host and display number stay.
QString displayServer(QString display) {
    const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
    const qsizetype dot = display.indexOf(QLatin1Char('.'), colon + 1);
    if (colon >= 0 && dot > colon) {
        display.truncate(dot);
    }
    return display;
}
} // namespace

SingleInstance::SingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent), m_serverName(serverName) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName() {
    // One running instance per user and display: a launch on another display (a second X server, a
    // remote login) gets a window of its own there instead of raising one nobody sees.
    QString display;
    for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        QString value = qEnvironmentVariable(variable);
        if (qstrcmp(variable, "DISPLAY") == 0) {
            value = displayServer(value);
        }
        if (!value.isEmpty()) {
            display += QLatin1Char('-') + value.left(MaxDisplayName);
        }
    }
    for (QChar& c : display) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.')) {
            c = QLatin1Char('_');
        }
    }
    const QString socketName = QStringLiteral("tovanel%1.socket").arg(display);
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QFileInfo runtimeInfo(runtimeDir);
    if (!runtimeDir.isEmpty() && runtimeInfo.isDir() && ownedByUs(runtimeInfo)) {
        return QDir(runtimeDir).filePath(socketName);
    }
    const QString folder = privateTempFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(socketName);
}

bool SingleInstance::isListening() const {
    return m_server && m_server->isListening();
}

SingleInstance::Claim SingleInstance::claim(const QStringList& paths) {
    // Never talk to, or remove, a socket someone else put at our name, nor wait on their lock file.
    const QString lockName = m_serverName + QStringLiteral(".lock");
    if (m_serverName.isEmpty() || !freeOrOurs(m_serverName, S_IFSOCK) || !freeOrOurs(lockName, S_IFREG)) {
        return Claim::Alone;
    }
    QByteArray request;
    qsizetype count = 0;
    for (const QString& path : paths) {
        // Neither may end the list early.
        if (!path.isEmpty() && !path.contains(QChar(u'\0'))) {
            request += nativeFileName(path) + Terminator;
            ++count;
        }
    }
    request += Terminator;
    const bool fits = count <= m_limits.maxPaths && request.size() <= m_limits.maxRequest;
    const auto handOver = [&](Claim* result) {
        const QDeadlineTimer patience(BusyRetryMs);
        Delivery delivery = deliver(m_serverName, request, fits);
        while (delivery == Delivery::Busy && !patience.hasExpired()) {
            QThread::msleep(BusyPauseMs);
            delivery = deliver(m_serverName, request, fits);
        }
        switch (delivery) {
        case Delivery::Confirmed:
            *result = Claim::HandedOver;
            return true;
        case Delivery::TooMany:
            *result = Claim::TooMany;
            return true;
        case Delivery::Busy:
        case Delivery::NoAnswer:
            // Someone listens but did not confirm: leave that instance its socket.
            *result = Claim::NoAnswer;
            return true;
        case Delivery::NobodyListens:
            break;
        }
        return false;
    };
    Claim result = Claim::Alone;
    if (handOver(&result)) {
        return result;
    }
    // Selecting several files in a file manager starts one launch per file at the same moment; without
    // this lock two of them could each find nobody listening and both become the running instance.
    // Should the lock not be had in time, go on without it: a hung launch must not block this one.
    QLockFile claiming(lockName);
    const bool locked = claiming.tryLock(LockTimeoutMs);
    Q_UNUSED(locked)
    if (handOver(&result)) {
        return result;
    }
    if (!listenReplacingLeftover()) {
        return Claim::Alone;
    }
    m_watch = new QTimer(this);
    connect(m_watch, &QTimer::timeout, this, &SingleInstance::keepListening);
    m_watch->start(m_limits.relistenMs);
    return Claim::Primary;
}

SingleInstance::Delivery SingleInstance::deliver(const QString& serverName, const QByteArray& request,
                                                 bool fits) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(ConnectTimeoutMs)) {
        // Refused or missing: no one listens. Anything else (a full queue, the time up) means someone does.
        const QLocalSocket::LocalSocketError error = socket.error();
        return error == QLocalSocket::ConnectionRefusedError || error == QLocalSocket::ServerNotFoundError
                   ? Delivery::NobodyListens
                   : Delivery::Busy;
    }
    if (!fits) {
        return Delivery::TooMany;
    }
    socket.write(request);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(AnswerTimeoutMs)) {
            return socket.state() == QLocalSocket::ConnectedState ? Delivery::NoAnswer : Delivery::Busy;
        }
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(AnswerTimeoutMs)) {
            // Closed before the answer: the instance had no room for this connection (or is gone).
            return socket.state() == QLocalSocket::ConnectedState ? Delivery::NoAnswer : Delivery::Busy;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == Confirmation ? Delivery::Confirmed : Delivery::NoAnswer;
}

bool SingleInstance::listen() {
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    }
    return m_server->listen(m_serverName);
}

bool SingleInstance::listenReplacingLeftover() {
    if (listen()) {
        return true;
    }
    if (m_server->serverError() != QAbstractSocket::AddressInUseError ||
        !freeOrOurs(m_serverName, S_IFSOCK)) {
        return false;
    }
    // Only a socket nobody listens on is a leftover (of a crashed instance, or of this one's lost server).
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    const bool answered = probe.waitForConnected(ProbeTimeoutMs);
    // A full queue of waiting connections also fails to connect, but means someone listens.
    if (answered || probe.error() != QLocalSocket::ConnectionRefusedError) {
        // Another instance took the name while this one had lost it; that one answers from now on.
        if (m_watch) {
            m_watch->stop();
        }
        return false;
    }
    QLocalServer::removeServer(m_serverName);
    return listen();
}

void SingleInstance::keepListening() {
    // Qt closes the server, and removes its socket file, when accepting a connection fails (when the
    // process is out of descriptors, say). Without this the next launch would open a second window.
    // A socket file removed under a listening server (a temp folder cleaner) would do the same.
    if (!m_server || (m_server->isListening() && QFileInfo::exists(m_serverName))) {
        return;
    }
    m_server->close();
    listenReplacingLeftover();
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (m_connections >= m_limits.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        connect(socket, &QObject::destroyed, this, [this] { --m_connections; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Qt would otherwise buffer whatever a client sends, however much.
        socket->setReadBufferSize(m_limits.maxRequest + 1);
        QTimer::singleShot(m_limits.idleTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, buffer] { readRequest(socket, *buffer); });
        if (socket->bytesAvailable() > 0) {
            readRequest(socket, *buffer);
        }
    }
    keepListening();
}

void SingleInstance::readRequest(QLocalSocket* socket, QByteArray& buffer) {
    if (socket->state() != QLocalSocket::ConnectedState) {
        return; // answered or dropped already
    }
    // The end may straddle what came before and what comes now.
    const qsizetype from = std::max<qsizetype>(0, buffer.size() - 1);
    buffer.append(socket->read(m_limits.maxRequest + 1 - buffer.size()));
    const qsizetype end = buffer.startsWith(Terminator) ? 0 : buffer.indexOf(ListEnd, from);
    if (end < 0) {
        if (buffer.size() > m_limits.maxRequest) {
            socket->abort();
        }
        return;
    }
    const QByteArray list = buffer.left(end);
    buffer.clear();
    buffer.squeeze();
    if (!list.isEmpty() && list.count(Terminator) + 1 > m_limits.maxPaths) {
        socket->abort();
        return;
    }
    socket->putChar(Confirmation);
    socket->disconnectFromServer();
    QStringList paths;
    for (const QByteArray& name : list.split(Terminator)) {
        const QString path = fileNameFromNative(name);
        // Only absolute paths mean the same file here as in the launch that sent them.
        if (QDir::isAbsolutePath(path)) {
            paths << path;
        }
    }
    // A request of nothing but untrusted paths is no launch without files.
    if (paths.isEmpty() && !list.isEmpty()) {
        return;
    }
    // From the event loop: whoever handles the request may open dialogs, whose event loops would
    // otherwise delete this socket while its signal is still being delivered.
    QMetaObject::invokeMethod(
        this, [this, paths] { emit documentRequested(paths); }, Qt::QueuedConnection);
}

} // namespace tovanel
