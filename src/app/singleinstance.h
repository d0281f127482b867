#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace tovanel {

// Keeps one running program per user. The first launch listens on a local socket; a later launch hands
// its files to it in one request and exits, so the desktop's "open with" always ends in the one main
// window.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Primary,    // this process is now the running instance
        HandedOver, // another instance took the request; this process should exit
        NoAnswer,   // another instance exists but did not confirm; leave its socket alone
        TooMany,    // another instance runs, but the paths are more than one request may carry
        Alone,      // no socket could be set up; run without the handover
    };

    // What the listening side puts up with from its clients. Anyone of this user may connect, so
    // neither many nor slow nor endless clients may cost it memory, descriptors or its socket.
    struct Limits {
        int maxConnections = 16;  // more at once are closed straight away
        int idleTimeoutMs = 5000; // a connection without its whole request by then is dropped
        // A request's bytes and paths: what a command line can hold (half the usual 2 MB for arguments),
        // and what a desktop hands over for a large selection.
        qsizetype maxRequest = 1024 * 1024;
        qsizetype maxPaths = 10000;
        int relistenMs = 1000; // how often a lost listening socket is set up again
    };

    // `serverName` is the socket's full path (see defaultServerName()); empty = no usable place.
    explicit SingleInstance(const QString& serverName, QObject* parent = nullptr);
    ~SingleInstance() override;
    Q_DISABLE_COPY_MOVE(SingleInstance)

    // The socket for this user and display: in $XDG_RUNTIME_DIR, else in a folder of this user's own
    // in the temp folder. Empty when that folder is not safely ours.
    static QString defaultServerName();

    // Hands `paths` (absolute; none = launched without a file) to a running instance, or becomes the
    // running instance when there is none. A socket left behind by a crashed instance is replaced. An
    // instance that turns the connection away (all its connections taken) is asked again for a while.
    Claim claim(const QStringList& paths);

    // Before claim().
    void setLimits(const Limits& limits) { m_limits = limits; }

    QString serverName() const { return m_serverName; }
    bool isListening() const;

signals:
    // A later launch asked for these files and folders (absolute paths, in the launch's order; none
    // when it was launched without any). Emitted from the event loop once the launch has its answer,
    // never from inside the socket's own signals.
    void documentRequested(const QStringList& paths);

private:
    enum class Delivery {
        Confirmed,
        NobodyListens,
        Busy,     // refused for now: the instance closed the connection, or its queue was full
        NoAnswer, // connected, but no confirmation in time
        TooMany,  // connected, but the request is over the limits
    };
    // Delivers `request` to the instance listening on `serverName` and waits for its confirmation; one
    // that `fits` not is not sent.
    static Delivery deliver(const QString& serverName, const QByteArray& request, bool fits);

    bool listen();
    bool listenReplacingLeftover();
    void keepListening();
    void acceptConnections();
    void readRequest(QLocalSocket* socket, QByteArray& buffer);

    QString m_serverName;
    Limits m_limits;
    QLocalServer* m_server = nullptr;
    QTimer* m_watch = nullptr;
    int m_connections = 0;
};

} // namespace tovanel
