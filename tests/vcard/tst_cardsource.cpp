#include "contacts/contacttable.h"
#include "importedlists.h"
#include "vcard/cardsource.h"
#include "vcard/vcardreader.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace tovanel;

namespace {

// Three cards and a fourth after a card without "END"; a line before the first card and a blank line
// between the first two belong to the text around them.
const QByteArray Mixed = "pre\n"                          // 0..4
                         "BEGIN:VCARD\nFN:A\nEND:VCARD\n" // 4..31
                         "\n"                             // 31..32
                         "BEGIN:VCARD\nFN:B\nEND:VCARD\n" // 32..59
                         "BEGIN:VCARD\nFN:C\n"            // 59..76, no END
                         "BEGIN:VCARD\nFN:D\nEND:VCARD";  // 76..102, no final line break

std::shared_ptr<ContactTable> tableOf(QByteArray bytes) {
    return ImportedLists::read(std::move(bytes)).table;
}

QByteArray utf16(const QString& text, bool littleEndian) {
    QByteArray bytes;
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8);
        const char lo = char(c.unicode() & 0xFF);
        bytes.append(littleEndian ? lo : hi).append(littleEndian ? hi : lo);
    }
    return bytes;
}

// Writes `bytes` over the start of the file and puts its times back, as rsync --inplace -t, cp -p and
// touch -r do. Written again until the system's coarse clock has passed `changedNs`, as it always has
// for a rewrite a moment after the reading.
void rewriteKeepingTimes(const QString& path, const QByteArray& bytes, qint64 changedNs) {
    struct stat before {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &before) == 0);
    do {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.write(bytes), bytes.size());
        QVERIFY(file.flush());
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QVERIFY(::futimens(file.handle(), times) == 0);
    } while (fileStampOf(path).changedNs == changedNs && (QTest::qSleep(2), true));
}

} // namespace

class TestCardSource final : public QObject {
    Q_OBJECT
private slots:
    void init();

    void rangeEndsAtTheFileEndOrIsEmpty();

    void textIsDecodedLikeTheImport_data();
    void textIsDecodedLikeTheImport();

    void changedFileShowsTheBytesNowThere_data();
    void changedFileShowsTheBytesNowThere();

    void rewrittenFileIsNotReadAtTheOldOffsets_data();
    void rewrittenFileIsNotReadAtTheOldOffsets();

    void unreadableFileGivesTheReason_data();
    void unreadableFileGivesTheReason();

private:
    QString write(const QByteArray& bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCardSource::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestCardSource::write(const QByteArray& bytes) {
    const QString path = m_dir->filePath(QStringLiteral("karten.vcf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        qFatal("cannot write the fixture");
    }
    return path;
}

// --- where a card lies ---

void TestCardSource::rangeEndsAtTheFileEndOrIsEmpty() {
    const auto table = tableOf(Mixed + "\nBEGIN:VCARD\nFN:E\n");
    QCOMPARE(cardSourceRange(*table, 3), (CardSourceRange{76, 103}));
    QCOMPARE(cardSourceRange(*table, 4), (CardSourceRange{103, -1})); // last card without END: to the end
    QCOMPARE(cardSourceRange(*table, -1), (CardSourceRange{0, 0}));
    QCOMPARE(cardSourceRange(*table, 5), (CardSourceRange{0, 0}));
}

// --- the text of a card ---

void TestCardSource::textIsDecodedLikeTheImport_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("contact");
    QTest::addColumn<QString>("text");

    QTest::newRow("first, with the line before it")
        << Mixed << 0 << QStringLiteral("pre\nBEGIN:VCARD\nFN:A\nEND:VCARD");
    QTest::newRow("second, with the blank line before it")
        << Mixed << 1 << QStringLiteral("\nBEGIN:VCARD\nFN:B\nEND:VCARD");
    QTest::newRow("no END") << Mixed << 2 << QStringLiteral("BEGIN:VCARD\nFN:C");
    QTest::newRow("last, no final line break")
        << Mixed << 3 << QStringLiteral("BEGIN:VCARD\nFN:D\nEND:VCARD");
    QTest::newRow("CR LF: the whole final break goes")
        << QByteArray("BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:B\r\nEND:VCARD\r\n") << 1
        << QStringLiteral("BEGIN:VCARD\r\nFN:B\r\nEND:VCARD");
    QTest::newRow("CR only") << QByteArray("BEGIN:VCARD\rFN:A\rEND:VCARD\rBEGIN:VCARD\rFN:B\rEND:VCARD\r")
                             << 1 << QStringLiteral("BEGIN:VCARD\rFN:B\rEND:VCARD");
    QTest::newRow("UTF-8") << QByteArray("BEGIN:VCARD\nFN:M\xc3\xbcller\nEND:VCARD\n") << 0
                           << QStringLiteral("BEGIN:VCARD\nFN:Müller\nEND:VCARD");
    QTest::newRow("not UTF-8: Windows-1252") << QByteArray("BEGIN:VCARD\nFN:M\xfcller \x80\nEND:VCARD\n") << 0
                                             << QStringLiteral("BEGIN:VCARD\nFN:Müller €\nEND:VCARD");
    QTest::newRow("UTF-8 byte-order mark is no text") << QByteArray("\xef\xbb\xbf"
                                                                    "BEGIN:VCARD\nFN:A\nEND:VCARD\n")
                                                      << 0 << QStringLiteral("BEGIN:VCARD\nFN:A\nEND:VCARD");

    const QString twoCards = QStringLiteral("BEGIN:VCARD\r\nFN:Jürgen\r\nEND:VCARD\r\n"
                                            "BEGIN:VCARD\r\nFN:Łucja €\r\nEND:VCARD\r\n");
    QTest::newRow("UTF-16 LE with mark, first") << QByteArray("\xff\xfe") + utf16(twoCards, true) << 0
                                                << QStringLiteral("BEGIN:VCARD\r\nFN:Jürgen\r\nEND:VCARD");
    QTest::newRow("UTF-16 LE with mark, second") << QByteArray("\xff\xfe") + utf16(twoCards, true) << 1
                                                 << QStringLiteral("BEGIN:VCARD\r\nFN:Łucja €\r\nEND:VCARD");
    QTest::newRow("UTF-16 BE without mark, second")
        << utf16(twoCards, false) << 1 << QStringLiteral("BEGIN:VCARD\r\nFN:Łucja €\r\nEND:VCARD");
}

void TestCardSource::textIsDecodedLikeTheImport() {
    QFETCH(QByteArray, file);
    QFETCH(int, contact);
    QFETCH(QString, text);
    const QString path = write(file);
    const auto table = tableOf(file);
    const CardSourceText source = readCardSource(path, cardSourceRange(*table, contact));
    QVERIFY(source.ok);
    QCOMPARE(source.text, text);
}

// --- the file on disk has changed or is gone ---

void TestCardSource::changedFileShowsTheBytesNowThere_data() {
    QTest::addColumn<QByteArray>("now");
    QTest::addColumn<int>("contact");
    QTest::addColumn<QString>("text");

    QTest::newRow("same length, other bytes")
        << QByteArray(Mixed).replace("FN:B", "FN:X") << 1 << QStringLiteral("\nBEGIN:VCARD\nFN:X\nEND:VCARD");
    QTest::newRow("cut in the card") << Mixed.left(45) << 1 << QStringLiteral("\nBEGIN:VCARD\nF");
    QTest::newRow("cut before the card") << Mixed.left(20) << 1 << QString();
    QTest::newRow("empty now") << QByteArray() << 3 << QString();
}

void TestCardSource::changedFileShowsTheBytesNowThere() {
    QFETCH(QByteArray, now);
    QFETCH(int, contact);
    QFETCH(QString, text);
    const auto table = tableOf(Mixed);
    const CardSourceText source = readCardSource(write(now), cardSourceRange(*table, contact));
    QVERIFY(source.ok);
    QCOMPARE(source.text, text);
}

void TestCardSource::rewrittenFileIsNotReadAtTheOldOffsets_data() {
    QTest::addColumn<QByteArray>("written"); // over the file in place, times put back; empty: untouched
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("changed");

    QTest::newRow("untouched") << QByteArray() << QStringLiteral("\nBEGIN:VCARD\nFN:B\nEND:VCARD") << false;
    QTest::newRow("same size, other bytes, times put back")
        << QByteArray(Mixed).replace("FN:B", "FN:X") << QString() << true;
}

void TestCardSource::rewrittenFileIsNotReadAtTheOldOffsets() {
    QFETCH(QByteArray, written);
    QFETCH(QString, text);
    QFETCH(bool, changed);
    const QString path = write(Mixed);
    const ImportedLists import(path);
    const FileStamp read = import.contacts.table().fileSource(0)->stamp;
    if (!written.isEmpty()) {
        rewriteKeepingTimes(path, written, read.changedNs);
        QCOMPARE(fileStampOf(path).modifiedNs, read.modifiedNs);
        QCOMPARE(fileStampOf(path).size, read.size);
    }
    const CardSourceText source = readCardSource(path, cardSourceRange(import.contacts.table(), 1), read);
    QCOMPARE(source.ok, !changed);
    QCOMPARE(source.changed, changed);
    QCOMPARE(source.text, text);
}

void TestCardSource::unreadableFileGivesTheReason_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");

    QTest::newRow("gone") << QStringLiteral("weg.vcf") << QStringLiteral("Die Datei existiert nicht.");
    QTest::newRow("a folder") << QStringLiteral("ordner")
                              << QStringLiteral("Das ist ein Ordner, keine Datei.");
}

void TestCardSource::unreadableFileGivesTheReason() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ordner")));
    const CardSourceText source = readCardSource(m_dir->filePath(name), {0, 10});
    QVERIFY(!source.ok);
    QCOMPARE(source.error, reason);
}

QTEST_GUILESS_MAIN(TestCardSource)
#include "tst_cardsource.moc"
