#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// Rows whose outcome depends on who runs them. Root passes every permission check, so a row about a
// refused file or folder means nothing as root; and only root may give a file to another user.
//
// TOVANEL_UNPRIVILEGED_ROW(): run by root, the row runs again in a child process of this test program as
// the user Privilege::UnprivilegedUser, and takes the child's outcome; anyone else runs it right here.
// TOVANEL_ROOT_ROW(what): anyone but root skips the row, with a reason beginning "needs root:".
#define TOVANEL_UNPRIVILEGED_ROW()                                                                           \
    do {                                                                                                     \
        if (::tovanel::Privilege::ranAsUnprivilegedUser(__FILE__, __LINE__)) {                               \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)

#define TOVANEL_ROOT_ROW(what)                                                                               \
    do {                                                                                                     \
        if (::geteuid() != 0) {                                                                              \
            QSKIP("needs root: " what);                                                                      \
        }                                                                                                    \
    } while (false)

namespace tovanel::Privilege {

// Made by `scripts/deps.sh test` when it runs as root.
inline constexpr char UnprivilegedUser[] = "tovanel-test";

// The outcome of the current row run by UnprivilegedUser, recorded as this row's; false (run the row
// here) unless this process is root.
inline bool ranAsUnprivilegedUser(const char* file, int line) {
    if (::geteuid() != 0) {
        return false;
    }
    const passwd* user = ::getpwnam(UnprivilegedUser);
    if (user == nullptr) {
        QTest::qSkip("no user tovanel-test to run this row as; `scripts/deps.sh test` makes it", file, line);
        return true;
    }
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;

    // The program may lie in a folder that user may not enter, so it runs from a copy; its home and
    // temporary files go to a folder of its own.
    const QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString program = dir.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    if (!dir.isValid() || ::chmod(QFile::encodeName(dir.path()).constData(), 0755) != 0 ||
        !QFile::copy(QCoreApplication::applicationFilePath(), program) || !QDir().mkdir(home) ||
        ::chown(QFile::encodeName(home).constData(), uid, gid) != 0) {
        QTest::qFail("cannot prepare a folder for user tovanel-test", file, line);
        return true;
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"HOME", "TMPDIR", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"}) {
        environment.insert(QString::fromLatin1(variable), home);
    }
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(home);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=%1").arg(uid), QStringLiteral("--regid=%1").arg(gid),
                 QStringLiteral("--clear-groups"), QStringLiteral("--"), program, function + u':' + tag});
    const bool finished = child.waitForFinished(300'000);
    const QString output = QString::fromUtf8(child.readAll());
    const QString row = QRegularExpression::escape(function + u'(' + tag + u')');
    const QRegularExpression passed(QStringLiteral("^PASS   : \\S+::%1$").arg(row),
                                    QRegularExpression::MultilineOption);
    const QRegularExpression skipped(QStringLiteral("^SKIP   : \\S+::%1 (.*)$").arg(row),
                                     QRegularExpression::MultilineOption);
    const QRegularExpressionMatch skip = skipped.match(output);
    const bool succeeded = finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    if (succeeded && skip.hasMatch()) {
        QTest::qSkip(qPrintable(QStringLiteral("as user tovanel-test: ") + skip.captured(1)), file, line);
    } else if (succeeded && passed.match(output).hasMatch()) {
        qInfo("passed as user tovanel-test (uid %u)", unsigned(uid));
    } else {
        const QString outcome = !finished ? child.errorString()
                                : child.exitStatus() == QProcess::CrashExit
                                    ? QStringLiteral("crashed")
                                    : QStringLiteral("exit code %1").arg(child.exitCode());
        QTest::qFail(qPrintable(QStringLiteral("as user tovanel-test, %1:\n%2").arg(outcome, output)), file,
                     line);
    }
    return true;
}

} // namespace tovanel::Privilege
