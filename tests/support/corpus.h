#pragma once

#include <QDir>
#include <QDirIterator>
#include <QString>
#include <QStringList>
#include <QTest>

namespace tovanel {

// Real-world vCard files exported by many programs, in the folder the build names (TOVANEL_CORPUS_DIR,
// handed to the tests as TOVANEL_CORPUS). The folder lives outside the repository and may be missing;
// a test then skips its corpus rows and says so.
namespace Corpus {

inline QString folder() {
    return qEnvironmentVariable("TOVANEL_CORPUS");
}

// Every vCard file in the folder and its sub-folders, sorted; none when there is no folder.
inline QStringList files() {
    QStringList paths;
    if (folder().isEmpty()) {
        return paths;
    }
    QDirIterator it(folder(), {QStringLiteral("*.vcf"), QStringLiteral("*.txt")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        paths << it.next();
    }
    paths.sort();
    return paths;
}

inline QString offReason() {
    return QStringLiteral("no vCard corpus at \"%1\" (TOVANEL_CORPUS_DIR): real-world files not checked")
        .arg(folder());
}

// For initTestCase: how many files the corpus rows read, or that there are none.
inline void announce() {
    const qsizetype count = files().size();
    if (count > 0) {
        qInfo("corpus: %lld files in %s", qlonglong(count), qPrintable(folder()));
    } else {
        qInfo("corpus: off (%s)", qPrintable(offReason()));
    }
}

// Adds one row per corpus file, named by its path in the folder, to a table whose one column is the
// file's path. Without a corpus one row with an empty path stands for them: the test skips it with
// QSKIP(offReason()). A folder that is there but holds no vCard file is a mistake, not an absence.
inline void addRows() {
    const QStringList paths = files();
    if (paths.isEmpty()) {
        QTest::newRow("corpus") << QString();
    }
    for (const QString& path : paths) {
        QTest::newRow(qPrintable(QStringLiteral("corpus/") + QDir(folder()).relativeFilePath(path))) << path;
    }
    QVERIFY2(!paths.isEmpty() || folder().isEmpty() || !QDir(folder()).exists(),
             qPrintable(QStringLiteral("the corpus folder %1 holds no vCard files").arg(folder())));
}

} // namespace Corpus

} // namespace tovanel
