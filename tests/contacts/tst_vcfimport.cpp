#include "addresstablemodel.h"
#include "fakedialogs.h"
#include "filetypes.h"
#include "tempfiles.h"
#include "trickledevice.h"
#include "vcardreader.h"
#include "vcfimport.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

const QByteArray TwoCards = "BEGIN:VCARD\nFN:Anna\nEND:VCARD\nBEGIN:VCARD\nFN:Bernd\nEND:VCARD\n";
const QByteArray ThreeCards = "BEGIN:VCARD\nFN:Xaver\nEND:VCARD\nBEGIN:VCARD\nFN:Yvonne\nEND:VCARD\n"
                              "BEGIN:VCARD\nFN:Zacharias\nEND:VCARD\n";
const QByteArray StrayEndAfterOne =
    "BEGIN:VCARD\nFN:Vorher\nEND:VCARD\nEND:VCARD\nBEGIN:VCARD\nFN:Nie\nEND:VCARD\n";

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

class tst_VcfImport : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void importsFileAndReportsReadToEnd();
    void startsNumberingAgainOnEachImport();
    void emptyFileIsReadToEndButReportsNothingImported();
    void noFileChangesNothing();
    void unreadableFileIsReportedWithReason_data();
    void unreadableFileIsReportedWithReason();
    void strayEndAsksForAnotherFile();
    void strayEndCancelledKeepsRowsReadBefore();
    void strayEndAgainInTheOtherFile();
    void readErrorKeepsRowsReadSoFar();
    void keepsPositionsBeyondTwoGigabytes();
    void givenUpImportKeepsEverything_data();
    void givenUpImportKeepsEverything();

private:
    QStringList names() const;
    void preload();

    std::unique_ptr<TempFiles> m_files;
    std::unique_ptr<AddressTableModel> m_adressen;
    std::unique_ptr<AddressTableModel> m_adrData;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    FakeDialogs m_dialogs;
    QStringList m_chosen; // files handed to the import, in order
    int m_readToEnd = 0;
    ImportHooks m_hooks;
};

void tst_VcfImport::init() {
    m_files = std::make_unique<TempFiles>();
    m_adressen = std::make_unique<AddressTableModel>(AddressTableModel::List::Adressen);
    m_adrData = std::make_unique<AddressTableModel>(AddressTableModel::List::AdrData);
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_adressen.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_dialogs.messages.clear();
    m_dialogs.openFileTypes.clear();
    m_dialogs.nextFiles.clear();
    m_chosen.clear();
    m_readToEnd = 0;
    m_hooks.fileChosen = [this](const QString& path) { m_chosen << path; };
    m_hooks.readToEnd = [this] { ++m_readToEnd; };
}

void tst_VcfImport::cleanup() {
    m_tester.reset();
    m_adressen.reset();
    m_adrData.reset();
    m_files.reset();
}

QStringList tst_VcfImport::names() const {
    QStringList out;
    for (int row = 0; row < m_adressen->rowCount(); ++row) {
        out << m_adressen->cell(row, 0) + QLatin1Char(' ') + m_adressen->cell(row, 1);
    }
    return out;
}

// Fills the lists from an earlier import, so a test sees what a later one leaves of them.
void tst_VcfImport::preload() {
    OpenVcf(m_files->write(QStringLiteral("vorher.vcf"), ThreeCards), *m_adressen, *m_adrData, m_dialogs, {});
    QCOMPARE(m_adressen->rowCount(), 3);
}

void tst_VcfImport::importsFileAndReportsReadToEnd() {
    const QString path = m_files->write(QStringLiteral("kontakte.vcf"), TwoCards);
    OpenVcf(path, *m_adressen, *m_adrData, m_dialogs, m_hooks);
    QCOMPARE(names(), (QStringList{QStringLiteral("1 Anna"), QStringLiteral("2 Bernd")}));
    QCOMPARE(m_adrData->rowCount(), 2);
    QCOMPARE(m_chosen, QStringList{path});
    QCOMPARE(m_readToEnd, 1);
    QCOMPARE(m_dialogs.messages, QStringList());
    QCOMPARE(m_dialogs.openFileTypes, QStringList());
}

void tst_VcfImport::startsNumberingAgainOnEachImport() {
    preload();
    OpenVcf(m_files->write(QStringLiteral("kontakte.vcf"), TwoCards), *m_adressen, *m_adrData, m_dialogs,
            m_hooks);
    QCOMPARE(names(), (QStringList{QStringLiteral("1 Anna"), QStringLiteral("2 Bernd")}));
    QCOMPARE(m_adrData->cell(1, 0), QStringLiteral("2"));
}

void tst_VcfImport::emptyFileIsReadToEndButReportsNothingImported() {
    preload();
    const QString path = m_files->write(QStringLiteral("leer.vcf"), {});
    OpenVcf(path, *m_adressen, *m_adrData, m_dialogs, m_hooks);
    QCOMPARE(m_adressen->rowCount(), 0);
    QCOMPARE(m_adrData->rowCount(), 0);
    QCOMPARE(m_chosen, QStringList{path});
    QCOMPARE(m_readToEnd, 1);
    QCOMPARE(m_dialogs.messages,
             QStringList{QStringLiteral(
                 "Es konnten keine Daten importiert werden\nBitte prüfen Sie die Datei / das Format")});
}

void tst_VcfImport::noFileChangesNothing() {
    preload();
    OpenVcf(QString(), *m_adressen, *m_adrData, m_dialogs, m_hooks);
    QCOMPARE(m_adressen->rowCount(), 3);
    QCOMPARE(m_chosen, QStringList());
    QCOMPARE(m_readToEnd, 0);
    QCOMPARE(m_dialogs.messages, QStringList());
}

void tst_VcfImport::unreadableFileIsReportedWithReason_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << QStringLiteral("missing")
                                  << QStringLiteral("Die Datei existiert nicht.");
    QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("Das ist ein Ordner, keine Datei.");
    QTest::newRow("dangling link") << QStringLiteral("link")
                                   << QStringLiteral("Die Verknüpfung zeigt auf keine vorhandene Datei.");
    QTest::newRow("no permission") << QStringLiteral("permission")
                                   << QStringLiteral("Keine Berechtigung, die Datei zu lesen.");
}

void tst_VcfImport::unreadableFileIsReportedWithReason() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString name = QStringLiteral("x.vcf");
    QString path = m_files->path(name);
    if (kind == QLatin1String("folder")) {
        path = m_files->folder(name);
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(m_files->path(QStringLiteral("weg.vcf")), path));
    } else if (kind == QLatin1String("permission")) {
        m_files->write(name, TwoCards);
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly)) {
            QSKIP("this user reads files without read permission (root)");
        }
    }
    preload();
    OpenVcf(path, *m_adressen, *m_adrData, m_dialogs, m_hooks);

    QCOMPARE(m_dialogs.messages,
             QStringList{QStringLiteral("Die Datei „x.vcf“ konnte nicht gelesen werden.\n") + reason});
    QCOMPARE(m_adressen->rowCount(), 0); // the previous file's rows are not left under this file's name
    QCOMPARE(m_adrData->rowCount(), 0);
    QCOMPARE(m_chosen, QStringList{path});
    QCOMPARE(m_readToEnd, 0);
    QCOMPARE(m_dialogs.openFileTypes, QStringList());
}

void tst_VcfImport::strayEndAsksForAnotherFile() {
    const QString bad = m_files->write(QStringLiteral("kaputt.vcf"), StrayEndAfterOne);
    const QString good = m_files->write(QStringLiteral("gut.vcf"), TwoCards);
    m_dialogs.nextFiles = {good};
    OpenVcf(bad, *m_adressen, *m_adrData, m_dialogs, m_hooks);

    QCOMPARE(m_dialogs.messages, QStringList{ImportMessages::strayEnd()});
    QCOMPARE(ImportMessages::strayEnd(),
             QStringLiteral("Error: END found before BEGIN tag\nBitte prüfen Sie die Datei / das Format"));
    QCOMPARE(m_dialogs.openFileTypes, QStringList{FileTypes::OpenFilter});
    QCOMPARE(names(), (QStringList{QStringLiteral("1 Anna"), QStringLiteral("2 Bernd")}));
    QCOMPARE(m_chosen, (QStringList{bad, good}));
    QCOMPARE(m_readToEnd, 1); // only the other file was read to its end
}

void tst_VcfImport::strayEndCancelledKeepsRowsReadBefore() {
    const QString bad = m_files->write(QStringLiteral("kaputt.vcf"), StrayEndAfterOne);
    OpenVcf(bad, *m_adressen, *m_adrData, m_dialogs, m_hooks);

    QCOMPARE(m_dialogs.messages, QStringList{ImportMessages::strayEnd()});
    QCOMPARE(m_dialogs.openFileTypes.size(), 1);
    QCOMPARE(names(), QStringList{QStringLiteral("1 Vorher")});
    QCOMPARE(m_chosen, QStringList{bad});
    QCOMPARE(m_readToEnd, 0);
}

void tst_VcfImport::strayEndAgainInTheOtherFile() {
    const QString bad = m_files->write(QStringLiteral("kaputt.vcf"), StrayEndAfterOne);
    const QString worse = m_files->write(QStringLiteral("schlimmer.vcf"), "END:VCARD\n");
    m_dialogs.nextFiles = {worse};
    OpenVcf(bad, *m_adressen, *m_adrData, m_dialogs, m_hooks);

    QCOMPARE(m_dialogs.messages, (QStringList{ImportMessages::strayEnd(), ImportMessages::strayEnd()}));
    QCOMPARE(m_dialogs.openFileTypes.size(), 2);
    QCOMPARE(m_adressen->rowCount(), 0);
    QCOMPARE(m_chosen, (QStringList{bad, worse}));
    QCOMPARE(m_readToEnd, 0);
}

void tst_VcfImport::readErrorKeepsRowsReadSoFar() {
    const QByteArray data = TwoCards + "BEGIN:VCARD\nFN:Dahinter\nEND:VCARD\n";
    TrickleDevice device(data, TwoCards.size() + 5);
    const VcardReadResult result = readVcard(device);
    QCOMPARE(result.status, VcardReadResult::Status::ReadError);
    QCOMPARE(result.error, QStringLiteral("Eingabe-/Ausgabefehler"));
    QCOMPARE(result.table->size(), 2);
    QCOMPARE(result.table->text(1, Field::Name).toString(), QStringLiteral("Bernd"));
}

void tst_VcfImport::keepsPositionsBeyondTwoGigabytes() {
    HugeFileDevice device;
    QVERIFY(device.total > (qint64(1) << 31));
    const VcardReadResult result = readVcard(device);
    QCOMPARE(result.status, VcardReadResult::Status::ReadToEnd);
    QCOMPARE(result.table->size(), 2);
    QCOMPARE(result.table->text(1, Field::Name).toString(), QStringLiteral("Hinten"));
    QCOMPARE(result.table->endPosition(0), qint64(device.head.size()));
    QCOMPARE(result.table->endPosition(1), device.total);

    AddressTableModel adressen(AddressTableModel::List::Adressen);
    adressen.setTable(result.table);
    QCOMPARE(adressen.cell(1, 7), QString::number(device.total));
}

void tst_VcfImport::givenUpImportKeepsEverything_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("cancelled in the progress") << QStringLiteral("progress") << QStringList();
    QTest::newRow("cancelled reading") << QStringLiteral("cancelled") << QStringList();
    QTest::newRow("memory ran out") << QStringLiteral("memory")
                                    << QStringList{ImportMessages::outOfMemory(QStringLiteral("neu.vcf"))};
}

// A cancelled import, and one that ran out of memory, put back the previous list and file.
void tst_VcfImport::givenUpImportKeepsEverything() {
    QFETCH(QString, how);
    QFETCH(QStringList, messages);
    preload();
    const QStringList before = names();
    // Large enough for the progress to be asked on the way.
    const QString path = m_files->write(QStringLiteral("neu.vcf"), TwoCards.repeated(40000));
    int abandoned = 0;
    m_hooks.fileAbandoned = [&] { ++abandoned; };
    if (how == QLatin1String("progress")) {
        m_hooks.progress = [](qint64, qint64) { return false; };
    } else {
        m_hooks.read = [&](const QString&) -> VcardReadResult {
            if (how == QLatin1String("memory")) {
                throw std::bad_alloc();
            }
            VcardReadResult result;
            result.status = VcardReadResult::Status::Cancelled;
            return result;
        };
    }
    OpenVcf(path, *m_adressen, *m_adrData, m_dialogs, m_hooks);
    QCOMPARE(names(), before);
    QCOMPARE(m_adrData->rowCount(), 3);
    QCOMPARE(m_chosen, QStringList{path});
    QCOMPARE(abandoned, 1);
    QCOMPARE(m_readToEnd, 0);
    QCOMPARE(m_dialogs.messages, messages);
}

QTEST_MAIN(tst_VcfImport)
#include "tst_vcfimport.moc"
