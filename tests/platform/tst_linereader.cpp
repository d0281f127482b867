#include "platform/linereader.h"
#include "trickledevice.h"

#include <QBuffer>
#include <QTest>

using namespace tovanel;

namespace {

enum class Mode { WholeFile, Chunk16, Trickle };

struct Lines {
    QByteArrayList lines;
    QList<qint64> starts;
    QList<qint64> ends;
};

Lines readAll(LineReader& reader) {
    Lines out;
    QByteArrayView line;
    while (reader.readLine(line)) {
        out.lines.append(line.toByteArray());
        out.starts.append(reader.lineStart());
        out.ends.append(reader.position());
    }
    return out;
}

QByteArray utf16le(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QByteArray utf16be(const QString& text) {
    QByteArray out;
    for (QChar c : text) {
        out.append(char(c.unicode() >> 8));
        out.append(char(c.unicode() & 0xFF));
    }
    return out;
}

} // namespace

using Encoding = LineReader::Encoding;
Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(LineReader::Encoding)

class tst_LineReader : public QObject {
    Q_OBJECT

private slots:
    void splitsLinesWithBytePositions_data();
    void splitsLinesWithBytePositions();
    void reportsReadError();
    void chunkHookSeesEveryChunkAndStops_data();
    void chunkHookSeesEveryChunkAndStops();
};

void tst_LineReader::splitsLinesWithBytePositions_data() {
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QList<qint64>>("starts");
    QTest::addColumn<QList<qint64>>("ends");
    QTest::addColumn<Encoding>("encoding");

    struct Case {
        const char* name;
        QByteArray input;
        QByteArrayList lines;
        QList<qint64> starts;
        QList<qint64> ends;
        Encoding encoding = Encoding::Bytes;
    };
    const QByteArray x15(15, 'x');
    const QByteArray longLine(100000, 'a');
    const QString longUnits(5000, QLatin1Char('u'));
    const QList<Case> cases = {
        // Line endings of the three platforms, alone and mixed.
        {"LF", "A\nBC\n", {"A", "BC"}, {0, 2}, {2, 5}},
        {"CRLF", "A\r\nBC\r\n", {"A", "BC"}, {0, 3}, {3, 7}},
        {"lone CR", "A\rBC\r", {"A", "BC"}, {0, 2}, {2, 5}},
        {"mixed", "A\r\nB\nC\rD", {"A", "B", "C", "D"}, {0, 3, 5, 7}, {3, 5, 7, 8}},
        {"CR CR LF, as iPhones export", "A\r\r\nB", {"A", "B"}, {0, 4}, {4, 5}},
        {"CRs before no LF", "A\r\rB", {"A", "", "B"}, {0, 2, 3}, {2, 3, 4}},
        {"LF CR", "A\n\rB", {"A", "", "B"}, {0, 2, 3}, {2, 3, 4}},
        {"empty lines", "\n\r\n\r", {"", "", ""}, {0, 1, 3}, {1, 3, 4}},
        {"no final newline", "A\nB", {"A", "B"}, {0, 2}, {2, 3}},
        {"one byte", "A", {"A"}, {0}, {1}},
        {"empty file", "", {}, {}, {}},
        {"8-bit bytes unchanged", "M\xFCller\n", {"M\xFCller"}, {0}, {7}},

        // A UTF-8 byte-order mark is skipped, but only at the start.
        {"UTF-8 BOM",
         "\xEF\xBB\xBF"
         "A\nB",
         {"A", "B"},
         {3, 5},
         {5, 6}},
        {"UTF-8 BOM only", "\xEF\xBB\xBF", {}, {}, {}},
        {"BOM later is text", "A\xEF\xBB\xBF\n", {"A\xEF\xBB\xBF"}, {0}, {5}},

        // UTF-16 comes out as UTF-8; positions stay the file's.
        {"UTF-16 LE with BOM",
         "\xFF\xFE" + utf16le(QStringLiteral("A\r\nB")),
         {"A", "B"},
         {2, 8},
         {8, 10},
         Encoding::Utf16LE},
        {"UTF-16 BE with BOM",
         "\xFE\xFF" + utf16be(QStringLiteral("A\nB")),
         {"A", "B"},
         {2, 6},
         {6, 8},
         Encoding::Utf16BE},
        {"UTF-16 LE without BOM", utf16le(QStringLiteral("BE\n")), {"BE"}, {0}, {6}, Encoding::Utf16LE},
        {"UTF-16 BE without BOM", utf16be(QStringLiteral("BE\r")), {"BE"}, {0}, {6}, Encoding::Utf16BE},
        {"UTF-16 lone CR and CR LF",
         utf16le(QStringLiteral("A\rB\r\nC")),
         {"A", "B", "C"},
         {0, 4, 10},
         {4, 10, 12},
         Encoding::Utf16LE},
        {"UTF-16 non-ASCII",
         "\xFF\xFE" + utf16le(QString::fromUtf8("ä\n\xF0\x9F\x98\x80")),
         {"\xC3\xA4", "\xF0\x9F\x98\x80"},
         {2, 6},
         {6, 10},
         Encoding::Utf16LE},
        {"UTF-16 odd trailing byte",
         utf16le(QStringLiteral("A\nB")) + "X",
         {"A", "B"},
         {0, 4},
         {4, 7},
         Encoding::Utf16LE},
        {"UTF-16 odd byte after last line",
         utf16le(QStringLiteral("A\n")) + "X",
         {"A"},
         {0},
         {4},
         Encoding::Utf16LE},

        // Chunk borders: with 16-byte chunks the CR is the last byte of the first chunk.
        {"CR LF split across chunks", x15 + "\r\ny", {x15, "y"}, {0, 17}, {17, 18}},
        {"CR alone at chunk end", x15 + "\ry", {x15, "y"}, {0, 16}, {16, 17}},
        {"CR CR LF split across chunks", x15.left(14) + "\r\r\ny", {x15.left(14), "y"}, {0, 17}, {17, 18}},
        {"UTF-16 CR CR LF split across chunks",
         utf16le(QString(7, QLatin1Char('x')) + QStringLiteral("\r\r\ny")),
         {QByteArray(7, 'x'), "y"},
         {0, 20},
         {20, 22},
         Encoding::Utf16LE},
        {"UTF-16 CR LF split across chunks",
         utf16le(QString(7, QLatin1Char('x')) + QStringLiteral("\r\ny")),
         {QByteArray(7, 'x'), "y"},
         {0, 18},
         {18, 20},
         Encoding::Utf16LE},
        {"very long line", longLine + "\nb", {longLine, "b"}, {0, 100001}, {100001, 100002}},
        {"very long UTF-16 line",
         utf16be(longUnits + QStringLiteral("\nb")),
         {longUnits.toLatin1(), "b"},
         {0, 10002},
         {10002, 10004},
         Encoding::Utf16BE},
    };
    const QList<std::pair<Mode, const char*>> modes = {
        {Mode::WholeFile, "whole file"}, {Mode::Chunk16, "chunk 16"}, {Mode::Trickle, "byte by byte"}};
    for (const Case& c : cases) {
        for (const auto& [mode, modeName] : modes) {
            QTest::addRow("%s, %s", c.name, modeName)
                << mode << c.input << c.lines << c.starts << c.ends << c.encoding;
        }
    }
}

void tst_LineReader::splitsLinesWithBytePositions() {
    QFETCH(Mode, mode);
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, lines);
    QFETCH(QList<qint64>, starts);
    QFETCH(QList<qint64>, ends);
    QFETCH(Encoding, encoding);

    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    TrickleDevice trickle(input);
    QIODevice& device = mode == Mode::Trickle ? static_cast<QIODevice&>(trickle) : buffer;
    LineReader reader(device, mode == Mode::WholeFile ? 1 << 20 : 16);

    const Lines got = readAll(reader);
    QCOMPARE(got.lines, lines);
    QCOMPARE(got.starts, starts);
    QCOMPARE(got.ends, ends);
    QCOMPARE(reader.encoding(), encoding);
    QVERIFY(!reader.failed());
    QCOMPARE(reader.bytesRead(), qint64(input.size()));
}

void tst_LineReader::reportsReadError() {
    TrickleDevice device("BEGIN:VCARD\nFN:A", 14);
    LineReader reader(device, 16);
    QByteArrayView line;
    QVERIFY(reader.readLine(line));
    QCOMPARE(line.toByteArray(), QByteArray("BEGIN:VCARD"));
    QVERIFY(!reader.readLine(line));
    QVERIFY(reader.failed());
    QCOMPARE(reader.errorString(), QStringLiteral("Eingabe-/Ausgabefehler"));
}

void tst_LineReader::chunkHookSeesEveryChunkAndStops_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qint64>("end");     // -1: no end set
    QTest::addColumn<int>("stopAtCall"); // 0: never stop
    QTest::addColumn<int>("calls");
    QTest::addColumn<int>("lines");
    const QByteArray noBreak(1000, 'x');
    QTest::newRow("line without a break") << noBreak << qint64(-1) << 0 << 11 << 1;
    QTest::newRow("line without a break, stopped") << noBreak << qint64(-1) << 5 << 5 << 0;
    QTest::newRow("UTF-16 line without a break")
        << "\xFF\xFE" + QByteArray(1000, 'x') << qint64(-1) << 0 << 11 << 1;
    QTest::newRow("UTF-16 line without a break, stopped")
        << "\xFF\xFE" + QByteArray(1000, 'x') << qint64(-1) << 3 << 3 << 0;
    QTest::newRow("short lines, stopped")
        << QByteArray("a\nb\nc\n").repeated(100) << qint64(-1) << 2 << 2 << 8;
    QTest::newRow("end before the device's end")
        << QByteArray("a\nb\nc\n").repeated(100) << qint64(9) << 0 << 1 << 5;
}

// Whatever the lines look like, the hook hears from every chunk, and stopping in it ends the reading at
// once: lines read to that point are kept, the rest is not read.
void tst_LineReader::chunkHookSeesEveryChunkAndStops() {
    QFETCH(QByteArray, input);
    QFETCH(qint64, end);
    QFETCH(int, stopAtCall);
    QFETCH(int, calls);
    QFETCH(int, lines);
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer, 16);
    if (end >= 0) {
        reader.setEnd(end);
    }
    int called = 0;
    qint64 lastRead = 0;
    reader.setChunkHook([&](qint64 read) {
        ++called;
        lastRead = read;
        return called != stopAtCall;
    });
    QCOMPARE(readAll(reader).lines.size(), lines);
    QCOMPARE(called, calls);
    QCOMPARE(reader.cancelled(), stopAtCall > 0);
    QCOMPARE(reader.errorString(), QString());
    QCOMPARE(lastRead, reader.bytesRead());
    if (end >= 0) {
        QCOMPARE(reader.bytesRead(), end);
    }
}

QTEST_GUILESS_MAIN(tst_LineReader)
#include "tst_linereader.moc"
