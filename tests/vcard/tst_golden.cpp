// Golden-file import tests: each tests/data/golden/NAME.vcf is read as the viewer reads it, and the table in
// the text form of `tovanel-bench dump` must equal NAME.expected line by line; the messages the result calls
// for must equal NAME.messages (no file: none).
#include "export/tabledump.h"
#include "importedlists.h"
#include "trickledevice.h"
#include "vcard/importmessages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace tovanel;

namespace {

QString goldenDir() {
    return qEnvironmentVariable("TOVANEL_TEST_DATA") + QStringLiteral("/golden");
}

QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("cannot read %s", qPrintable(path));
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QStringList messageLines(const ImportedLists& lists) {
    QStringList lines;
    for (const QString& message : lists.messages()) {
        lines << TableDump::message(message);
    }
    return lines;
}

// Fails naming the first line that differs.
void compareLines(const QStringList& actual, const QStringList& expected, const char* what) {
    for (qsizetype i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        if (actual[i] != expected[i]) {
            QFAIL(qPrintable(QStringLiteral("%1 line %2 differs\n   actual: %3\n expected: %4")
                                 .arg(QLatin1String(what))
                                 .arg(i + 1)
                                 .arg(actual[i], expected[i])));
        }
    }
    if (actual.size() > expected.size()) {
        QFAIL(qPrintable(QStringLiteral("%1 has an extra line %2: %3")
                             .arg(QLatin1String(what))
                             .arg(expected.size() + 1)
                             .arg(actual[expected.size()])));
    }
    if (actual.size() < expected.size()) {
        QFAIL(qPrintable(QStringLiteral("%1 lacks line %2: %3")
                             .arg(QLatin1String(what))
                             .arg(actual.size() + 1)
                             .arg(expected[actual.size()])));
    }
}

} // namespace

class tst_Golden : public QObject {
    Q_OBJECT

private slots:
    void importMatchesGoldenFile_data();
    void importMatchesGoldenFile();
    void sampleFileShowsEveryContact();
    void sameTableWhenReadByteByByte_data() { importMatchesGoldenFile_data(); }
    void sameTableWhenReadByteByByte();
    void benchPrintsTheSameDump_data();
    void benchPrintsTheSameDump();
};

void tst_Golden::importMatchesGoldenFile_data() {
    QTest::addColumn<QString>("base");
    const QDir dir(goldenDir());
    const QStringList inputs = dir.entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name);
    QVERIFY2(!inputs.isEmpty(), qPrintable(QStringLiteral("no fixtures in ") + dir.path()));
    for (const QString& input : inputs) {
        const QString base = input.chopped(4);
        QTest::newRow(qPrintable(base)) << dir.filePath(base);
    }
}

void tst_Golden::importMatchesGoldenFile() {
    QFETCH(QString, base);
    QVERIFY2(QFile::exists(base + QStringLiteral(".expected")), "every fixture needs its .expected file");
    const ImportedLists lists(base + QStringLiteral(".vcf"));
    compareLines(lists.dumpLines(), readLines(base + QStringLiteral(".expected")), "table");
    const QStringList messages = readLines(base + QStringLiteral(".messages"));
    compareLines(messageLines(lists), messages, "messages");
    // Every fixture is readable: it is read to its end unless an "END" line outside a card stops it.
    QCOMPARE(lists.result.status, messages.contains(TableDump::message(ImportMessages::strayEnd()))
                                      ? VcardReadResult::Status::StrayEnd
                                      : VcardReadResult::Status::ReadToEnd);
}

// The sample the viewer opens when started without a file.
void tst_Golden::sampleFileShowsEveryContact() {
    const QString data = qEnvironmentVariable("TOVANEL_TEST_DATA");
    const ImportedLists lists(data + QStringLiteral("/../../examples/kontakte.vcf"));
    compareLines(lists.dumpLines(), readLines(data + QStringLiteral("/kontakte.expected")), "table");
    compareLines(messageLines(lists), {}, "messages");
}

// A pipe or network drive hands the reader a few bytes at a time: every line then crosses a read.
void tst_Golden::sameTableWhenReadByteByByte() {
    QFETCH(QString, base);
    QFile file(base + QStringLiteral(".vcf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    TrickleDevice device(file.readAll());
    compareLines(ImportedLists(device).dumpLines(), readLines(base + QStringLiteral(".expected")), "table");
}

// The command-line tool prints the same text: table on standard output, messages on standard error.
void tst_Golden::benchPrintsTheSameDump_data() {
    QTest::addColumn<QString>("base");
    QTest::newRow("rows and a message") << goldenDir() + QStringLiteral("/stray_end_after_card");
    QTest::newRow("UTF-16 and umlauts") << goldenDir() + QStringLiteral("/utf16le_bom");
}

void tst_Golden::benchPrintsTheSameDump() {
    QFETCH(QString, base);
    const QString bench = qEnvironmentVariable("TOVANEL_BENCH");
    if (bench.isEmpty() || !QFile::exists(bench)) {
        QSKIP("tovanel-bench not built (TOVANEL_BENCH unset)");
    }
    QProcess process;
    process.start(bench, {QStringLiteral("dump"), base + QStringLiteral(".vcf")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QStringList out = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    QStringList err = QString::fromUtf8(process.readAllStandardError()).split(QLatin1Char('\n'));
    QCOMPARE(out.takeLast(), QString()); // every line ends with a line feed
    QCOMPARE(err.takeLast(), QString());
    compareLines(out, readLines(base + QStringLiteral(".expected")), "standard output");
    compareLines(err, readLines(base + QStringLiteral(".messages")), "standard error");
}

QTEST_GUILESS_MAIN(tst_Golden)
#include "tst_golden.moc"
