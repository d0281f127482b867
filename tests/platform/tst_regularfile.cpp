#include "platform/regularfile.h"
#include "tempfiles.h"

#include <QFile>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

using namespace tovanel;

class TestRegularFile final : public QObject {
    Q_OBJECT
private slots:
    void nameNotUtf8OpensItsFile_data();
    void nameNotUtf8OpensItsFile();
};

void TestRegularFile::nameNotUtf8OpensItsFile_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("decoded");

    // A byte that is not part of well-formed UTF-8 is kept as U+DC00 plus the byte.
    const auto kept = [](std::initializer_list<uchar> bytes) {
        QString text;
        for (const uchar byte : bytes) {
            text += QChar(char16_t(0xDC00 + byte));
        }
        return text;
    };
    QTest::newRow("UTF-8 umlaut and emoji")
        << QByteArray("M\xc3\xbcller \xf0\x9f\x93\x87.vcf") << QStringLiteral("Müller 📇.vcf");
    QTest::newRow("Latin-1 byte") << QByteArray("M\xfcller.vcf")
                                  << QStringLiteral("M") + kept({0xfc}) + QStringLiteral("ller.vcf");
    QTest::newRow("sequence cut short")
        << QByteArray("a\xe2\x82.vcf") << QStringLiteral("a") + kept({0xe2, 0x82}) + QStringLiteral(".vcf");
    QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf.vcf")
                                    << QStringLiteral("a") + kept({0xc0, 0xaf}) + QStringLiteral(".vcf");
    QTest::newRow("encoded surrogate")
        << QByteArray("a\xed\xb3\xbc.vcf")
        << QStringLiteral("a") + kept({0xed, 0xb3, 0xbc}) + QStringLiteral(".vcf");
    QTest::newRow("past U+10FFFF") << QByteArray("a\xf4\x90\x80\x80.vcf")
                                   << QStringLiteral("a") + kept({0xf4, 0x90, 0x80, 0x80}) +
                                          QStringLiteral(".vcf");
}

// The import, the card source and the handover all open files by these names.
void TestRegularFile::nameNotUtf8OpensItsFile() {
    QFETCH(QByteArray, name);
    QFETCH(QString, decoded);
    const TempFiles dir;
    const QByteArray native = QFile::encodeName(dir.path(QString())) + '/' + name;
    const int out = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    QVERIFY(out >= 0 && ::write(out, "BEGIN:VCARD\n", 12) == 12 && ::close(out) == 0);

    const QString path = fileNameFromNative(native);
    QCOMPARE(path, dir.path(decoded));
    QCOMPARE(nativeFileName(path), native);
    QFile file;
    QString reason;
    QVERIFY2(openRegularFile(path, file, nullptr, &reason), qPrintable(reason));
    QCOMPARE(file.readAll(), QByteArray("BEGIN:VCARD\n"));
    QVERIFY(fileStampOf(path).isValid());
}

QTEST_GUILESS_MAIN(TestRegularFile)
#include "tst_regularfile.moc"
