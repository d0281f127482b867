// Large files are read in parts on two threads. Cut into parts anywhere, every file must give exactly
// the table that reading it line by line gives: texts, bold marks, positions and status.
#include "contacts/contacttable.h"
#include "corpus.h"
#include "importedlists.h"
#include "platform/regularfile.h"
#include "tempfiles.h"
#include "vcard/vcardreader.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>

using namespace tovanel;

namespace {

// Everything the table holds, one line per contact, and how the reading ended.
QStringList describe(const VcardReadResult& result) {
    QStringList lines{QStringLiteral("status %1 %2").arg(int(result.status)).arg(result.error)};
    const ContactTable& table = *result.table;
    for (qsizetype c = 0; c < table.size(); ++c) {
        QStringList cells;
        for (int f = 0; f < FieldCount; ++f) {
            cells << table.text(c, Field(f)).toString();
            if (table.isBold(c, Field(f))) {
                cells.last() += QStringLiteral(" [bold]");
            }
        }
        cells << QString::number(table.beginPosition(c)) << QString::number(table.endPosition(c));
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines;
}

// Part sizes from one byte (a part at every card) up to larger than most test files.
const qint64 PartSizes[] = {1, 2, 3, 5, 17, 64, 251, 1000, 4096};

} // namespace

class tst_ReaderParts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Corpus::announce(); }
    void filesGiveTheSameTable_data();
    void filesGiveTheSameTable();
    void buffersGiveTheSameTable_data();
    void buffersGiveTheSameTable();
    void progressComesOnTheCallingThread();
    void fileIsReadAsItWasOpened_data();
    void fileIsReadAsItWasOpened();
};

void tst_ReaderParts::filesGiveTheSameTable_data() {
    QTest::addColumn<QString>("path");
    // The repository's own files: the golden ones, the exporters' cards, the examples and the rest.
    const QDir root(QDir::cleanPath(qEnvironmentVariable("TOVANEL_TEST_DATA") + QStringLiteral("/../..")));
    QStringList own;
    for (const QString& dir : {QStringLiteral("tests"), QStringLiteral("examples")}) {
        QDirIterator it(root.filePath(dir), {QStringLiteral("*.vcf")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            own << root.relativeFilePath(it.next());
        }
    }
    own.sort();
    QVERIFY2(!own.isEmpty(), qPrintable(QStringLiteral("no vCard files under ") + root.path()));
    for (const QString& file : std::as_const(own)) {
        QTest::newRow(qPrintable(file)) << root.filePath(file);
    }
    Corpus::addRows();
}

void tst_ReaderParts::filesGiveTheSameTable() {
    QFETCH(QString, path);
    if (path.isEmpty()) {
        QSKIP(qPrintable(Corpus::offReason()));
    }
    const QStringList expected = describe(ImportedLists(path).result);
    for (const qint64 partSize : PartSizes) {
        // Opened by descriptor, as the import does: the second reader cannot go by the name.
        QFile file;
        QVERIFY(openRegularFile(path, file));
        const QStringList inParts = describe(readVcard(file, {.partBytes = partSize}));
        QCOMPARE(inParts, expected);
    }
}

void tst_ReaderParts::buffersGiveTheSameTable_data() {
    QTest::addColumn<QByteArray>("data");
    const QByteArray card = "BEGIN:VCARD\r\nFN:Anna\r\nTEL;CELL;PREF:+49 171 1\r\nEND:VCARD\r\n";
    QTest::newRow("soft break before BEGIN")
        << card + "BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=\r\nBEGIN:VCARD\r\nFN:B\r\nEND:VCARD\r\n" +
               card;
    QTest::newRow("soft break, empty line, BEGIN")
        << card +
               "BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=\r\n\r\nBEGIN:VCARD\r\nFN:B\r\nEND:VCARD\r\n";
    QTest::newRow("equals sign ending a plain value")
        << card + "BEGIN:VCARD\r\nNOTE:x=\r\nBEGIN:VCARD\r\nFN:B\r\n";
    QTest::newRow("stray END in a later part") << card + card + "END:VCARD\r\n" + card + card;
    QTest::newRow("stray END right at a part's start") << card + "END:VCARD\r\nEND:VCARD\r\n" + card;
    QTest::newRow("cards without END")
        << QByteArray("BEGIN:VCARD\nFN:A\nBEGIN:VCARD\nFN:B\nBEGIN:VCARD\nFN:C\n");
    QTest::newRow("lone CR") << QByteArray("BEGIN:VCARD\rFN:A\rEND:VCARD\rBEGIN:VCARD\rFN:B\rEND:VCARD\r");
    QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + card + card + card;
    QTest::newRow("starts with a line break") << "\n" + card + card;
    QTest::newRow("folded BEGIN-like line")
        << card + "BEGIN:VCARD\r\nNOTE:a\r\n BEGIN:VCARD\r\nEND:VCARD\r\n" + card;
    QTest::newRow("no line break at the end") << card + card.chopped(2);
    static const char Utf16[] = "B\0E\0G\0I\0N\0:\0V\0\n\0B\0E\0G\0I\0N\0:\0V\0\n\0";
    QTest::newRow("UTF-16") << QByteArray(Utf16, sizeof(Utf16) - 1);
}

void tst_ReaderParts::buffersGiveTheSameTable() {
    QFETCH(QByteArray, data);
    const QStringList expected = describe(ImportedLists(data).result);
    for (const qint64 partSize : PartSizes) {
        QBuffer buffer(&data);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(describe(readVcard(buffer, {.partBytes = partSize})), expected);
    }
}

void tst_ReaderParts::progressComesOnTheCallingThread() {
    QByteArray data;
    for (int i = 0; i < 2000; ++i) {
        data += "BEGIN:VCARD\r\nFN:Name " + QByteArray::number(i) + "\r\nEND:VCARD\r\n";
    }
    QBuffer buffer(&data);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QThread* const caller = QThread::currentThread();
    int foreign = 0;
    qint64 last = -1;
    const VcardReadResult result = readVcard(buffer, {.progress =
                                                          [&](qint64 done, qint64 total) {
                                                              foreign += QThread::currentThread() != caller;
                                                              last = done;
                                                              [&] { QCOMPARE(total, data.size()); }();
                                                              return true;
                                                          },
                                                      .partBytes = 1000});
    QCOMPARE(result.table->size(), 2000);
    QCOMPARE(foreign, 0);
    QCOMPARE(last, data.size());
}

void tst_ReaderParts::fileIsReadAsItWasOpened_data() {
    QTest::addColumn<qint64>("partSize"); // 0: in one go
    QTest::addColumn<bool>("cancel");
    QTest::newRow("one thread, grows") << qint64(0) << false;
    QTest::newRow("two threads, grows") << qint64(300000) << false;
    QTest::newRow("one thread, cancelled") << qint64(0) << true;
    QTest::newRow("two threads, cancelled") << qint64(300000) << true;
}

// A writer appending while the file is read is not followed, on one thread or two; stopping in the
// progress ends the reading with nothing.
void tst_ReaderParts::fileIsReadAsItWasOpened() {
    QFETCH(qint64, partSize);
    QFETCH(bool, cancel);
    QByteArray data;
    for (int i = 0; i < 40000; ++i) {
        data += "BEGIN:VCARD\r\nFN:Name " + QByteArray::number(i) + "\r\nEND:VCARD\r\n";
    }
    const TempFiles files;
    const QString path = files.write(QStringLiteral("wachsend.vcf"), data);
    QFile appender(path);
    QVERIFY(appender.open(QIODevice::Append));
    QFile file;
    QVERIFY(openRegularFile(path, file));
    int calls = 0;
    const ReadProgress progress = [&](qint64, qint64) {
        ++calls;
        appender.write(data.left(4096));
        appender.flush();
        return !cancel;
    };
    const VcardReadResult result = readVcard(
        file, {.progress = progress, .partBytes = partSize > 0 ? partSize : ReadOptions::AutomaticParts});
    QVERIFY(calls > 0);
    QVERIFY(QFileInfo(path).size() > data.size());
    if (cancel) {
        QCOMPARE(result.status, VcardReadResult::Status::Cancelled);
        QCOMPARE(result.table->size(), 0);
        QCOMPARE(calls, 1);
        return;
    }
    QCOMPARE(result.status, VcardReadResult::Status::ReadToEnd);
    QCOMPARE(result.table->size(), 40000);
    QCOMPARE(result.table->endPosition(39999), data.size());
}

QTEST_MAIN(tst_ReaderParts)
#include "tst_readerparts.moc"
