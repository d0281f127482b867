#include "platform/filetypes.h"

#include <QTest>

using namespace tovanel;

class tst_FileTypes : public QObject {
    Q_OBJECT
private slots:
    void dialogFiltersListEachNamedType_data();
    void dialogFiltersListEachNamedType();
    void matchesByExtensionIgnoringCase_data();
    void matchesByExtensionIgnoringCase();
};

void tst_FileTypes::dialogFiltersListEachNamedType_data() {
    QTest::addColumn<QString>("types");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("open dialog") << FileTypes::OpenFilter
                                 << QStringList{
                                        QStringLiteral("vCard-Dateien (*.vcf *.vcard)"),
                                        QStringLiteral("Textdateien (*.asc *.ascii *.bas *.c *.class *.cp "
                                                       "*.cpp *.h *.hp *.hpp *.i3 *.java *.m2 *.m3 "
                                                       "*.mak *.text *.txt)"),
                                        QStringLiteral("Alle Dateien (*)")};
    QTest::newRow("unknown name left out")
        << QStringLiteral("VCF FILES;pdf") << QStringList{QStringLiteral("vCard-Dateien (*.vcf *.vcard)")};
    QTest::newRow("none") << QString() << QStringList();
}

void tst_FileTypes::dialogFiltersListEachNamedType() {
    QFETCH(QString, types);
    QTEST(FileTypes::dialogFilters(types), "filters");
}

void tst_FileTypes::matchesByExtensionIgnoringCase_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("matches");
    QTest::newRow("vcf") << FileTypes::VcfFiles << QStringLiteral("/tmp/a.vcf") << true;
    QTest::newRow("VCF in capitals") << FileTypes::VcfFiles << QStringLiteral("/tmp/A.VCF") << true;
    QTest::newRow("text is no vcf") << FileTypes::VcfFiles << QStringLiteral("/tmp/a.txt") << false;
    QTest::newRow("vcf only in the middle")
        << FileTypes::VcfFiles << QStringLiteral("/tmp/a.vcf.gz") << false;
    QTest::newRow("vcard, the other extension")
        << FileTypes::VcfFiles << QStringLiteral("/tmp/a.VCard") << true;
    QTest::newRow("any file") << FileTypes::AllFiles << QStringLiteral("/tmp/a.pdf") << true;
    QTest::newRow("text") << FileTypes::TextFile << QStringLiteral("/tmp/a.txt") << true;
    QTest::newRow("unknown type") << QStringLiteral("pdf") << QStringLiteral("/tmp/a.pdf") << false;
}

void tst_FileTypes::matchesByExtensionIgnoringCase() {
    QFETCH(QString, type);
    QFETCH(QString, file);
    QTEST(FileTypes::matches(type, file), "matches");
}

QTEST_GUILESS_MAIN(tst_FileTypes)
#include "tst_filetypes.moc"
