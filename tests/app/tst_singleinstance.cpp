#include "app/singleinstance.h"
#include "privilege.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cerrno>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tovanel;

namespace {
// A later launch with `paths`, run to its end. It runs in its own thread while this one keeps handling
// events: its blocking waits would otherwise stall the listening side.
SingleInstance::Claim laterLaunch(const QString& serverName, const QStringList& paths) {
    auto result = SingleInstance::Claim::Alone;
    const std::unique_ptr<QThread> thread(QThread::create([&] {
        SingleInstance later(serverName);
        result = later.claim(paths);
    }));
    thread->start();
    if (!QTest::qWaitFor([&] { return thread->isFinished(); }, 20000)) {
        qFatal("a later launch did not finish");
    }
    return result;
}

sockaddr_un addressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    qstrncpy(address.sun_path, name.constData(), sizeof(address.sun_path));
    return address;
}

// What a crashed instance leaves behind: a socket file nobody listens on.
bool leaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    const sockaddr_un address = addressOf(path);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}

// A client that is not one of ours: a plain connection, never blocking this thread. -1 on failure.
int connectRaw(const QString& path, const QByteArray& sent = {}) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(path);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        (!sent.isEmpty() && ::send(fd, sent.constData(), size_t(sent.size()), MSG_NOSIGNAL) != sent.size())) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    return fd;
}

// Whether the other side has closed the connection.
bool closedByServer(int fd) {
    char byte = 0;
    const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

// Something planted at one of the instance's names.
enum class Plant { ForeignSocket, ForeignLockFile, LinkedLockFile, LinkedSocket };

constexpr uid_t Nobody = 65534;
} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void init();

    void firstLaunchListensForUserOnly();
    void laterLaunchHandsItsFileOver_data();
    void laterLaunchHandsItsFileOver();
    void staleSocketOfCrashedInstanceIsReplaced();
    void plantedFilesTurnTheHandoverOffAtOnce_data();
    void plantedFilesTurnTheHandoverOffAtOnce();
    void misbehavingClientsAreDropped_data();
    void misbehavingClientsAreDropped();
    void launchWaitsWhileIdleClientsHoldEveryConnection();
    void lostServerListensAgain();
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
    QCOMPARE(first.claim({QStringLiteral("/tmp/a.vcf")}), SingleInstance::Claim::Primary);
    QVERIFY(first.isListening());
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(m_name).permissions() & others, QFile::Permissions());
}

void TestSingleInstance::laterLaunchHandsItsFileOver_data() {
    using Claim = SingleInstance::Claim;
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<Claim>("claim");
    QTest::addColumn<bool>("requested");
    QTest::addColumn<QStringList>("handedOver");

    const QString mueller = QStringLiteral("/home/anna/Meine Kontakte/Müller.vcf");
    const QString a = QStringLiteral("/tmp/a.vcf");
    const QString folder = QStringLiteral("/home/anna/Kontakte");
    QTest::newRow("absolute path with spaces and umlauts")
        << QStringList{mueller} << Claim::HandedOver << true << QStringList{mueller};
    QTest::newRow("launch without a file") << QStringList() << Claim::HandedOver << true << QStringList();
    QTest::newRow("relative path is not trusted")
        << QStringList{QStringLiteral("Kontakte/a.vcf")} << Claim::HandedOver << false << QStringList();
    const QString odd = QStringLiteral("/home/anna/M") + QChar(0xDCFC) + QStringLiteral("ller.vcf");
    QTest::newRow("name not UTF-8, its byte kept as U+DC00 plus the byte")
        << QStringList{odd} << Claim::HandedOver << true << QStringList{odd};
    QTest::newRow("several paths in one request, in their order")
        << QStringList{mueller, a, folder, odd} << Claim::HandedOver << true
        << QStringList{mueller, a, folder, odd};
    QTest::newRow("relative and empty paths among them are left out")
        << QStringList{QStringLiteral("b.vcf"), a, QString(), folder} << Claim::HandedOver << true
        << QStringList{a, folder};
    QStringList most;
    for (int i = 0; i < SingleInstance::Limits().maxPaths; ++i) {
        most << QStringLiteral("/home/anna/Kontakte/karte-%1.vcf").arg(i);
    }
    QTest::newRow("as many paths as a request carries") << most << Claim::HandedOver << true << most;
    QTest::newRow("more paths than a request carries: not sent")
        << most + QStringList{a} << Claim::TooMany << false << QStringList();
    const QString longName = QStringLiteral("/") + QString(4000, QLatin1Char('x'));
    QTest::newRow("more bytes than a request carries: not sent")
        << QStringList(300, longName) << Claim::TooMany << false << QStringList();
}

void TestSingleInstance::laterLaunchHandsItsFileOver() {
    QFETCH(QStringList, paths);
    QFETCH(SingleInstance::Claim, claim);
    QFETCH(bool, requested);
    QFETCH(QStringList, handedOver);

    SingleInstance first(m_name);
    QCOMPARE(first.claim({}), SingleInstance::Claim::Primary);
    QSignalSpy requests(&first, &SingleInstance::documentRequested);

    QCOMPARE(laterLaunch(m_name, paths), claim);
    QCoreApplication::processEvents();
    QCOMPARE(requests.size(), requested ? 1 : 0);
    if (requested) {
        QCOMPARE(requests.at(0).at(0).toStringList(), handedOver);
    }
    QVERIFY(first.isListening());
}

void TestSingleInstance::staleSocketOfCrashedInstanceIsReplaced() {
    QVERIFY(leaveStaleSocket(m_name));

    SingleInstance first(m_name);
    QCOMPARE(first.claim({}), SingleInstance::Claim::Primary);

    QSignalSpy requests(&first, &SingleInstance::documentRequested);
    QCOMPARE(laterLaunch(m_name, {QStringLiteral("/tmp/b.vcf")}), SingleInstance::Claim::HandedOver);
    QTRY_COMPARE(requests.size(), 1);
}

void TestSingleInstance::plantedFilesTurnTheHandoverOffAtOnce_data() {
    QTest::addColumn<Plant>("plant");

    QTest::newRow("socket of another user") << Plant::ForeignSocket;
    QTest::newRow("lock file of another user") << Plant::ForeignLockFile;
    QTest::newRow("lock file is a symbolic link") << Plant::LinkedLockFile;
    QTest::newRow("socket is a symbolic link") << Plant::LinkedSocket;
}

void TestSingleInstance::plantedFilesTurnTheHandoverOffAtOnce() {
    QFETCH(Plant, plant);

    const QString lock = m_name + QStringLiteral(".lock");
    const QString target = m_dir->filePath(QStringLiteral("elsewhere"));
    QString planted;
    switch (plant) {
    case Plant::ForeignSocket:
        QVERIFY(leaveStaleSocket(m_name));
        planted = m_name;
        break;
    case Plant::ForeignLockFile: {
        // A lock naming a live process would be waited on for the full lock time.
        QFile file(lock);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1\ntovanel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        planted = lock;
        break;
    }
    case Plant::LinkedLockFile:
    case Plant::LinkedSocket:
        planted = plant == Plant::LinkedLockFile ? lock : m_name;
        QVERIFY(QFile::link(target, planted));
        break;
    }
    if (plant == Plant::ForeignSocket || plant == Plant::ForeignLockFile) {
        TOVANEL_ROOT_ROW("giving a file to another user");
        QCOMPARE(::lchown(QFile::encodeName(planted).constData(), Nobody, Nobody), 0);
    }
    const QFileInfo before(planted);

    QElapsedTimer clock;
    clock.start();
    SingleInstance first(m_name);
    QCOMPARE(first.claim({QStringLiteral("/tmp/a.vcf")}), SingleInstance::Claim::Alone);
    QVERIFY2(clock.elapsed() < 2000, "waited on a planted lock");
    QVERIFY(!first.isListening());
    const QFileInfo after(planted);
    QCOMPARE(after.ownerId(), before.ownerId());
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QVERIFY(!QFileInfo::exists(target));
}

void TestSingleInstance::misbehavingClientsAreDropped_data() {
    QTest::addColumn<int>("clients");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("keptAtFirst"); // still open before the idle time is up

    QTest::newRow("more than 16 at once") << 20 << QByteArray() << 16;
    QTest::newRow("idle connection") << 1 << QByteArray() << 1;
    QTest::newRow("request without its end") << 1 << QByteArray("/tmp/a.vcf") << 1;
    QTest::newRow("path without the list's end") << 1 << QByteArray("/tmp/a.vcf\0", 11) << 1;
    QTest::newRow("request over the byte limit") << 1 << QByteArray(64 * 1024 + 1, 'a') << 0;
    QByteArray tooMany;
    for (int i = 0; i <= SingleInstance::Limits().maxPaths; ++i) {
        tooMany += QByteArray("/a\0", 3);
    }
    QTest::newRow("more paths than allowed") << 1 << tooMany + '\0' << 0;
}

void TestSingleInstance::misbehavingClientsAreDropped() {
    QFETCH(int, clients);
    QFETCH(QByteArray, sent);
    QFETCH(int, keptAtFirst);

    SingleInstance first(m_name);
    SingleInstance::Limits limits;
    limits.idleTimeoutMs = 1500;
    limits.maxRequest = 64 * 1024; // what the socket takes at once from a client that never reads
    first.setLimits(limits);
    QCOMPARE(first.claim({}), SingleInstance::Claim::Primary);
    QSignalSpy requests(&first, &SingleInstance::documentRequested);

    QList<int> fds;
    for (int i = 0; i < clients; ++i) {
        fds << connectRaw(m_name, sent);
        QVERIFY(fds.constLast() >= 0);
    }
    const auto closed = [&] { return int(std::count_if(fds.cbegin(), fds.cend(), closedByServer)); };
    QTRY_COMPARE_WITH_TIMEOUT(closed(), clients - keptAtFirst, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(closed(), clients, 5000);
    for (int fd : std::as_const(fds)) {
        ::close(fd);
    }
    QCOMPARE(requests.size(), 0);

    // The instance still takes requests afterwards.
    QVERIFY(first.isListening());
    QCOMPARE(laterLaunch(m_name, {QStringLiteral("/tmp/b.vcf")}), SingleInstance::Claim::HandedOver);
    QTRY_COMPARE(requests.size(), 1);
}

void TestSingleInstance::launchWaitsWhileIdleClientsHoldEveryConnection() {
    SingleInstance first(m_name);
    SingleInstance::Limits limits;
    limits.idleTimeoutMs = 1500;
    first.setLimits(limits);
    QCOMPARE(first.claim({}), SingleInstance::Claim::Primary);
    QSignalSpy requests(&first, &SingleInstance::documentRequested);
    QList<int> fds;
    for (int i = 0; i < limits.maxConnections; ++i) {
        fds << connectRaw(m_name);
        QVERIFY(fds.constLast() >= 0);
    }

    // Turned away until the idle clients are dropped, then heard.
    QCOMPARE(laterLaunch(m_name, {QStringLiteral("/tmp/b.vcf")}), SingleInstance::Claim::HandedOver);
    QTRY_COMPARE(requests.size(), 1);
    for (int fd : std::as_const(fds)) {
        ::close(fd);
    }
}

void TestSingleInstance::lostServerListensAgain() {
    SingleInstance first(m_name);
    SingleInstance::Limits limits;
    limits.relistenMs = 50;
    first.setLimits(limits);
    QCOMPARE(first.claim({}), SingleInstance::Claim::Primary);

    // A connection the process has no descriptor left to accept: Qt then closes the server.
    const int client = connectRaw(m_name);
    QVERIFY(client >= 0);
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
    rlimit low = saved;
    low.rlim_cur = 256;
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &low) == 0);
    QList<int> filler;
    for (int fd = ::dup(client); fd >= 0; fd = ::dup(client)) {
        filler << fd;
    }
    QTRY_VERIFY(!first.isListening());
    for (int fd : std::as_const(filler)) {
        ::close(fd);
    }
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
    ::close(client);

    QTRY_VERIFY(first.isListening());
    QVERIFY(QFileInfo(m_name).exists());
    // The same when only the socket file is lost.
    QVERIFY(QFile::remove(m_name));
    QTRY_VERIFY(QFileInfo(m_name).exists());
    QSignalSpy requests(&first, &SingleInstance::documentRequested);
    QCOMPARE(laterLaunch(m_name, {QStringLiteral("/tmp/b.vcf")}), SingleInstance::Claim::HandedOver);
    QTRY_COMPARE(requests.size(), 1);
}

void TestSingleInstance::socketLivesInTheUsersRuntimeFolder_data() {
    QTest::addColumn<QString>("runtimeDir"); // "" = a fresh folder of ours, "-" = unset
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("tempFolder"); // what is already at the user's folder in the temp folder
    QTest::addColumn<QString>("expected");   // inside the test's folder; "" = no usable place

    const QString ours = QStringLiteral("tmp/tovanel-%1/").arg(::getuid());
    QTest::newRow("runtime folder, no display")
        << QString() << QString() << QString() << QStringLiteral("tovanel.socket");
    QTest::newRow("runtime folder, X display")
        << QString() << QStringLiteral(":1") << QString() << QStringLiteral("tovanel-_1.socket");
    QTest::newRow("screen number names the same server")
        << QString() << QStringLiteral(":1.0") << QString() << QStringLiteral("tovanel-_1.socket");
    QTest::newRow("remote display keeps its host")
        << QString() << QStringLiteral("localhost:10.0") << QString()
        << QStringLiteral("tovanel-localhost_10.socket");
    QTest::newRow("unset: private folder made in the temp folder")
        << QStringLiteral("-") << QStringLiteral(":0") << QString()
        << ours + QStringLiteral("tovanel-_0.socket");
    QTest::newRow("unset, screen 0.0: the same socket")
        << QStringLiteral("-") << QStringLiteral(":0.0") << QStringLiteral("0700")
        << ours + QStringLiteral("tovanel-_0.socket");
    QTest::newRow("runtime folder missing") << QStringLiteral("/nonexistent/run/user/1000") << QString()
                                            << QString() << ours + QStringLiteral("tovanel.socket");
    QTest::newRow("private folder open to others")
        << QStringLiteral("-") << QStringLiteral(":0") << QStringLiteral("0755") << QString();
    QTest::newRow("private folder is a symbolic link")
        << QStringLiteral("-") << QStringLiteral(":0") << QStringLiteral("link") << QString();
    QTest::newRow("private folder of another user")
        << QStringLiteral("-") << QStringLiteral(":0") << QStringLiteral("foreign") << QString();
}

void TestSingleInstance::socketLivesInTheUsersRuntimeFolder() {
    QFETCH(QString, runtimeDir);
    QFETCH(QString, display);
    QFETCH(QString, tempFolder);
    QFETCH(QString, expected);

    const QString temp = m_dir->filePath(QStringLiteral("tmp"));
    const QString folder = QDir(temp).filePath(QStringLiteral("tovanel-%1").arg(::getuid()));
    QVERIFY(QDir().mkpath(temp));
    const QByteArray nativeFolder = QFile::encodeName(folder);
    if (tempFolder == QLatin1String("link")) {
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("target"))));
        QVERIFY(::chmod(QFile::encodeName(m_dir->filePath(QStringLiteral("target"))).constData(), 0700) == 0);
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("target")), folder));
    } else if (!tempFolder.isEmpty()) {
        QVERIFY(::mkdir(nativeFolder.constData(), 0700) == 0);
        QVERIFY(::chmod(nativeFolder.constData(), tempFolder == QLatin1String("0755") ? 0755 : 0700) == 0);
        if (tempFolder == QLatin1String("foreign")) {
            TOVANEL_ROOT_ROW("giving a folder to another user");
            QCOMPARE(::chown(nativeFolder.constData(), Nobody, Nobody), 0);
        }
    }

    const QList<QByteArray> variables{"XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY", "TMPDIR"};
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
    qputenv("TMPDIR", QFile::encodeName(temp));
    const QString name = SingleInstance::defaultServerName();
    for (qsizetype i = 0; i < variables.size(); ++i) {
        qputenv(variables.at(i).constData(), saved.at(i));
    }
    if (expected.isEmpty()) {
        QCOMPARE(name, QString());
        QElapsedTimer clock;
        clock.start();
        SingleInstance instance(name);
        QCOMPARE(instance.claim({QStringLiteral("/tmp/a.vcf")}), SingleInstance::Claim::Alone);
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("tovanel-_0.socket.lock"))));
        return;
    }
    QCOMPARE(name, m_dir->filePath(expected));
    if (expected.startsWith(QLatin1String("tmp/"))) {
        struct stat info {};
        QVERIFY(::lstat(nativeFolder.constData(), &info) == 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_mode & 07777, mode_t(0700));
    }
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
