#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// A later launch runs in its own thread: its blocking waits would otherwise stall the listening side.
std::unique_ptr<QThread> launchInThread(const QString& serverName, const QString& path,
                                        SingleInstance::Claim* result) {
    std::unique_ptr<QThread> thread(QThread::create([=] {
        SingleInstance later(serverName);
        *result = later.claim(path);
    }));
    thread->start();
    return thread;
}

// What a crashed instance leaves behind: a socket file nobody listens on.
bool leaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    qstrncpy(address.sun_path, name.constData(), sizeof(address.sun_path));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}
} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void init();

    void firstLaunchListensForUserOnly();
    void laterLaunchHandsItsFileOver_data();
    void laterLaunchHandsItsFileOver();
    void staleSocketOfCrashedInstanceIsReplaced();
    void socketOfAnotherUserIsLeftAlone();
    void socketLivesInTheUsersRuntimeFolder_data();
    void socketLivesInTheUsersRuntimeFolder();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_name;
};

void TestSingleInstance::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_name = m_dir->filePath(QStringLiteral("tovanel.socket"));
}

void TestSingleInstance::firstLaunchListensForUserOnly() {
    SingleInstance first(m_name);
    QCOMPARE(first.claim(QStringLiteral("/tmp/a.vcf")), SingleInstance::Claim::Primary);
    QVERIFY(first.isListening());
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(m_name).permissions() & others, QFile::Permissions());
}

void TestSingleInstance::laterLaunchHandsItsFileOver_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("requested");

    QTest::newRow("absolute path with spaces and umlauts")
        << QStringLiteral("/home/anna/Meine Kontakte/Müller.vcf") << true;
    QTest::newRow("launch without a file") << QString() << true;
    QTest::newRow("relative path is not trusted") << QStringLiteral("Kontakte/a.vcf") << false;
}

void TestSingleInstance::laterLaunchHandsItsFileOver() {
    QFETCH(QString, path);
    QFETCH(bool, requested);

    SingleInstance first(m_name);
    QCOMPARE(first.claim(QString()), SingleInstance::Claim::Primary);
    QSignalSpy requests(&first, &SingleInstance::documentRequested);

    auto result = SingleInstance::Claim::Alone;
    const std::unique_ptr<QThread> later = launchInThread(m_name, path, &result);
    QTRY_VERIFY(later->isFinished());
    QCOMPARE(result, SingleInstance::Claim::HandedOver);
    QCOMPARE(requests.size(), requested ? 1 : 0);
    if (requested) {
        QCOMPARE(requests.at(0).at(0).toString(), path);
    }
    QVERIFY(first.isListening());
}

void TestSingleInstance::staleSocketOfCrashedInstanceIsReplaced() {
    QVERIFY(leaveStaleSocket(m_name));

    SingleInstance first(m_name);
    QCOMPARE(first.claim(QString()), SingleInstance::Claim::Primary);

    QSignalSpy requests(&first, &SingleInstance::documentRequested);
    auto result = SingleInstance::Claim::Alone;
    const std::unique_ptr<QThread> later = launchInThread(m_name, QStringLiteral("/tmp/b.vcf"), &result);
    QTRY_VERIFY(later->isFinished());
    QCOMPARE(result, SingleInstance::Claim::HandedOver);
    QCOMPARE(requests.size(), 1);
}

void TestSingleInstance::socketOfAnotherUserIsLeftAlone() {
    QVERIFY(leaveStaleSocket(m_name));
    constexpr uid_t nobody = 65534;
    if (::getuid() != 0 || ::chown(QFile::encodeName(m_name).constData(), nobody, nobody) != 0) {
        QSKIP("Giving a file to another user needs root");
    }
    SingleInstance first(m_name);
    QCOMPARE(first.claim(QStringLiteral("/tmp/a.vcf")), SingleInstance::Claim::Alone);
    QVERIFY(!first.isListening());
    QCOMPARE(QFileInfo(m_name).ownerId(), nobody);
}

void TestSingleInstance::socketLivesInTheUsersRuntimeFolder_data() {
    QTest::addColumn<QString>("runtimeDir"); // "" = a fresh folder of ours
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("expected"); // relative = inside that folder

    const QString temp = QDir(QDir::tempPath()).filePath(QStringLiteral("tovanel-%1").arg(::getuid()));
    QTest::newRow("runtime folder, no display") << QString() << QString() << QStringLiteral("tovanel.socket");
    QTest::newRow("runtime folder, X display")
        << QString() << QStringLiteral(":1.0") << QStringLiteral("tovanel-_1.0.socket");
    QTest::newRow("unset: temp folder, name with user id")
        << QStringLiteral("-") << QStringLiteral(":0") << temp + QStringLiteral("-_0.socket");
    QTest::newRow("folder missing") << QStringLiteral("/nonexistent/run/user/1000") << QString()
                                    << temp + QStringLiteral(".socket");
}

void TestSingleInstance::socketLivesInTheUsersRuntimeFolder() {
    QFETCH(QString, runtimeDir);
    QFETCH(QString, display);
    QFETCH(QString, expected);

    const QList<QByteArray> variables{"XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY"};
    QList<QByteArray> saved;
    for (const QByteArray& variable : variables) {
        saved << qgetenv(variable.constData());
    }
    if (runtimeDir == QLatin1String("-")) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.isEmpty() ? m_dir->path() : runtimeDir));
    }
    qputenv("DISPLAY", display.toUtf8());
    qunsetenv("WAYLAND_DISPLAY");
    const QString name = SingleInstance::defaultServerName();
    for (qsizetype i = 0; i < variables.size(); ++i) {
        qputenv(variables.at(i).constData(), saved.at(i));
    }
    QCOMPARE(name, QDir::isAbsolutePath(expected) ? expected : m_dir->filePath(expected));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
