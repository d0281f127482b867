#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// Keeps one running program per user. The first launch listens on a local socket; a later launch hands
// its file to it and exits, so the desktop's "open with" always ends in the one main window.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Primary,    // this process is now the running instance
        HandedOver, // another instance took the request; this process should exit
        NoAnswer,   // another instance exists but did not confirm; leave its socket alone
        Alone,      // no socket could be set up; run without the handover
    };

    // `serverName` is the socket's full path (see defaultServerName()).
    explicit SingleInstance(const QString& serverName, QObject* parent = nullptr);
    ~SingleInstance() override;
    Q_DISABLE_COPY_MOVE(SingleInstance)

    // The socket for this user and display: in $XDG_RUNTIME_DIR, else in the temp folder under a name
    // with the user id.
    static QString defaultServerName();

    // Hands `path` (absolute; empty = launched without a file) to a running instance, or becomes the
    // running instance when there is none. A socket left behind by a crashed instance is replaced.
    Claim claim(const QString& path);

    QString serverName() const { return m_serverName; }
    bool isListening() const;

signals:
    // A later launch asked for this file (absolute path; empty when it was launched without one).
    void documentRequested(const QString& path);

private:
    // Delivers `path` to the instance listening on `serverName` and waits for its confirmation;
    // `connected` tells whether anyone was listening at all.
    static bool deliver(const QString& serverName, const QString& path, int connectTimeoutMs,
                        int answerTimeoutMs, bool* connected);

    bool listen();
    void readRequest(QLocalSocket* socket, QByteArray& buffer);

    QString m_serverName;
    QLocalServer* m_server = nullptr;
};
