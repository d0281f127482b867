#include "singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <memory>
#include <unistd.h>

namespace {
// A request is the file's path in UTF-8 ended by a NUL byte (no path can hold one); the running
// instance confirms it with one byte so the later launch knows it may exit.
constexpr char Terminator = '\0';
constexpr char Confirmation = 'k';
// Far beyond any real path; a client that sends more is not one of ours.
constexpr qsizetype MaxRequest = 64 * 1024;
// Socket paths are short (108 bytes); display names are too, but nothing guarantees it.
constexpr qsizetype MaxDisplayName = 32;
constexpr int ConnectTimeoutMs = 3000;
// The running instance answers from its event loop, which a long import keeps busy for a while.
constexpr int AnswerTimeoutMs = 15000;
// Only held while nobody listens, which takes a moment.
constexpr int LockTimeoutMs = 5000;

bool ownedByUs(const QFileInfo& info) {
    return info.ownerId() == ::getuid();
}
} // namespace

SingleInstance::SingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent), m_serverName(serverName) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName() {
    // One running instance per user and display: a launch on another display (a second X server, a
    // remote session) gets a window of its own there instead of raising one nobody sees.
    QString display;
    for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) {
            display += QLatin1Char('-') + value.left(MaxDisplayName);
        }
    }
    for (QChar& c : display) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.')) {
            c = QLatin1Char('_');
        }
    }
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QFileInfo runtimeInfo(runtimeDir);
    if (!runtimeDir.isEmpty() && runtimeInfo.isDir() && ownedByUs(runtimeInfo)) {
        return QDir(runtimeDir).filePath(QStringLiteral("tovanel%1.socket").arg(display));
    }
    // The temp folder is shared by all users, so the name carries the user id.
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("tovanel-%1%2.socket").arg(::getuid()).arg(display));
}

bool SingleInstance::isListening() const {
    return m_server && m_server->isListening();
}

SingleInstance::Claim SingleInstance::claim(const QString& path) {
    // Never talk to, or remove, a socket someone else put at our name.
    const QFileInfo socketInfo(m_serverName);
    if (socketInfo.exists() && !ownedByUs(socketInfo)) {
        return Claim::Alone;
    }
    const auto handOver = [&](Claim* result) {
        bool connected = false;
        if (deliver(m_serverName, path, ConnectTimeoutMs, AnswerTimeoutMs, &connected)) {
            *result = Claim::HandedOver;
            return true;
        }
        // Someone listens but did not confirm: leave that instance its socket.
        *result = Claim::NoAnswer;
        return connected;
    };
    Claim result = Claim::Alone;
    if (handOver(&result)) {
        return result;
    }
    // Selecting several files in a file manager starts one launch per file at the same moment; without
    // this lock two of them could each find nobody listening and both become the running instance.
    // Should the lock not be had in time, go on without it: a hung launch must not block this one.
    QLockFile claiming(m_serverName + QStringLiteral(".lock"));
    const bool locked = claiming.tryLock(LockTimeoutMs);
    Q_UNUSED(locked)
    if (handOver(&result)) {
        return result;
    }
    if (listen()) {
        return Claim::Primary;
    }
    if (m_server->serverError() != QAbstractSocket::AddressInUseError) {
        return Claim::Alone;
    }
    // Nobody answered, so the socket is a crashed instance's leftover.
    QLocalServer::removeServer(m_serverName);
    return listen() ? Claim::Primary : Claim::Alone;
}

bool SingleInstance::deliver(const QString& serverName, const QString& path, int connectTimeoutMs,
                             int answerTimeoutMs, bool* connected) {
    if (connected) {
        *connected = false;
    }
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(connectTimeoutMs)) {
        return false;
    }
    if (connected) {
        *connected = true;
    }
    QByteArray request = path.toUtf8();
    request.append(Terminator);
    socket.write(request);
    socket.flush();
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(answerTimeoutMs)) {
            return false;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == Confirmation;
}

bool SingleInstance::listen() {
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                auto buffer = std::make_shared<QByteArray>();
                connect(socket, &QLocalSocket::readyRead, this,
                        [this, socket, buffer] { readRequest(socket, *buffer); });
                if (socket->bytesAvailable() > 0) {
                    readRequest(socket, *buffer);
                }
            }
        });
    }
    return m_server->listen(m_serverName);
}

void SingleInstance::readRequest(QLocalSocket* socket, QByteArray& buffer) {
    buffer.append(socket->readAll());
    const qsizetype end = buffer.indexOf(Terminator);
    if (end < 0) {
        if (buffer.size() > MaxRequest) {
            socket->abort();
        }
        return;
    }
    const QString path = QString::fromUtf8(buffer.left(end));
    buffer.clear();
    socket->putChar(Confirmation);
    socket->disconnectFromServer();
    // Only absolute paths mean the same file here as in the launch that sent them.
    if (path.isEmpty() || QDir::isAbsolutePath(path)) {
        emit documentRequested(path);
    }
}
