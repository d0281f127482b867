// Reading a vCard file returns a result: the table, how the reading ended, and the messages that calls for.
#include "importedlists.h"
#include "trickledevice.h"
#include "vcard/importmessages.h"

#include <QTest>
#include <algorithm>
#include <cstring>

using namespace tovanel;

namespace {

const QByteArray TwoCards = "BEGIN:VCARD\nFN:Anna\nEND:VCARD\nBEGIN:VCARD\nFN:Bernd\nEND:VCARD\n";

// A file of more than 2 GiB without the disk: a card, megabytes of lines outside any card, and a last
// card, produced as they are read.
class HugeFileDevice final : public QIODevice {
public:
    static constexpr qint64 PaddingLine = 1 << 16;
    static constexpr qint64 PaddingLines = (qint64(1) << 31) / PaddingLine + 16;
    const QByteArray head = "BEGIN:VCARD\nFN:Vorne\nEND:VCARD\n";
    const QByteArray tail = "BEGIN:VCARD\nFN:Hinten\nEND:VCARD\n";
    const qint64 total = head.size() + PaddingLines * PaddingLine + tail.size();

    HugeFileDevice() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = std::min(maxSize, total - m_pos);
        const qint64 paddingEnd = total - tail.size();
        for (qint64 i = 0; i < n;) {
            const qint64 at = m_pos + i;
            if (at < head.size()) {
                data[i++] = head[at];
            } else if (at >= paddingEnd) {
                data[i++] = tail[at - paddingEnd];
            } else {
                // "X-PAD:xxx...x\n" lines of PaddingLine bytes.
                const qint64 inLine = (at - head.size()) % PaddingLine;
                const qint64 run = std::min(n - i, PaddingLine - inLine);
                std::memset(data + i, 'x', size_t(run));
                if (inLine == 0 && run >= 6) {
                    std::memcpy(data + i, "X-PAD:", 6);
                }
                if (inLine + run == PaddingLine) {
                    data[i + run - 1] = '\n';
                }
                i += run;
            }
        }
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_pos = 0;
};

} // namespace

class tst_VcardReader : public QObject {
    Q_OBJECT

private slots:
    void readErrorKeepsRowsReadSoFar();
    void keepsPositionsBeyondTwoGigabytes();
    void messagesForResult_data();
    void messagesForResult();
};

void tst_VcardReader::readErrorKeepsRowsReadSoFar() {
    const QByteArray data = TwoCards + "BEGIN:VCARD\nFN:Dahinter\nEND:VCARD\n";
    TrickleDevice device(data, TwoCards.size() + 5);
    const VcardReadResult result = ImportedLists(device).result;
    QCOMPARE(result.status, VcardReadResult::Status::ReadError);
    QCOMPARE(result.error, QStringLiteral("Eingabe-/Ausgabefehler"));
    QCOMPARE(result.table->size(), 2);
    QCOMPARE(result.table->text(1, Field::Name).toString(), QStringLiteral("Bernd"));
}

void tst_VcardReader::keepsPositionsBeyondTwoGigabytes() {
    HugeFileDevice device;
    QVERIFY(device.total > (qint64(1) << 31));
    const ImportedLists lists(device);
    const VcardReadResult& result = lists.result;
    QCOMPARE(result.status, VcardReadResult::Status::ReadToEnd);
    QCOMPARE(result.table->size(), 2);
    QCOMPARE(result.table->text(1, Field::Name).toString(), QStringLiteral("Hinten"));
    QCOMPARE(result.table->endPosition(0), qint64(device.head.size()));
    QCOMPARE(result.table->endPosition(1), device.total);
    QCOMPARE(lists.contacts.cell(1, ContactColumn::EndPosition), QString::number(device.total));
}

void tst_VcardReader::messagesForResult_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("cards");
    QTest::addColumn<QStringList>("messages");
    const QString path = QStringLiteral("/tmp/k.vcf");
    using Status = VcardReadResult::Status;
    QTest::newRow("read to end") << int(Status::ReadToEnd) << 1 << QStringList();
    QTest::newRow("nothing in it") << int(Status::ReadToEnd) << 0
                                   << QStringList{ImportMessages::nothingImported()};
    // The cards before a stray "END" stay; the message is the same.
    QTest::newRow("stray END") << int(Status::StrayEnd) << 1 << QStringList{ImportMessages::strayEnd()};
    QTest::newRow("read error") << int(Status::ReadError) << 1
                                << QStringList{ImportMessages::cannotRead(path, QStringLiteral("Grund"))};
    QTest::newRow("out of memory") << int(Status::OutOfMemory) << 0
                                   << QStringList{ImportMessages::outOfMemory(path)};
    QTest::newRow("cancelled") << int(Status::Cancelled) << 0 << QStringList();
}

void tst_VcardReader::messagesForResult() {
    QFETCH(int, status);
    QFETCH(int, cards);
    QFETCH(QStringList, messages);
    VcardReadResult result;
    result.status = VcardReadResult::Status(status);
    result.error = QStringLiteral("Grund");
    for (int i = 0; i < cards; ++i) {
        result.table->append({}, 0, 0, -1);
    }
    QCOMPARE(ImportMessages::forResult(result, QStringLiteral("/tmp/k.vcf")), messages);
}

QTEST_MAIN(tst_VcardReader)
#include "tst_vcardreader.moc"
