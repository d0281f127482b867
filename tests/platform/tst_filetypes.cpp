#include "platform/filetypes.h"

#include <QRegularExpression>
#include <QTest>

using namespace tovanel;

class tst_FileTypes : public QObject {
    Q_OBJECT
private slots:
    void dialogFiltersAreLabelledInGerman_data();
    void dialogFiltersAreLabelledInGerman();
    void dialogFiltersShowTheirFiles_data();
    void dialogFiltersShowTheirFiles();
    void matchesByExtensionIgnoringCase_data();
    void matchesByExtensionIgnoringCase();
};

namespace {
// Whether a file dialog showing `filter`, e.g. "Textdateien (*.txt *.text)", lists the file: its patterns
// are matched as Qt's own dialog does, ignoring case.
bool shows(const QString& filter, const QString& fileName) {
    const QRegularExpressionMatch patterns =
        QRegularExpression(QStringLiteral("\\(([^)]*)\\)$")).match(filter);
    for (const QString& pattern : patterns.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpression wildcard(QRegularExpression::wildcardToRegularExpression(pattern),
                                          QRegularExpression::CaseInsensitiveOption);
        if (wildcard.match(fileName).hasMatch()) {
            return true;
        }
    }
    return false;
}
} // namespace

void tst_FileTypes::dialogFiltersAreLabelledInGerman_data() {
    QTest::addColumn<QString>("types");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("open dialog: vCard files first")
        << FileTypes::OpenFilter
        << QStringList{QStringLiteral("vCard-Dateien"), QStringLiteral("Textdateien"),
                       QStringLiteral("Alle Dateien")};
    QTest::newRow("unknown name left out")
        << QStringLiteral("VCF FILES;pdf") << QStringList{QStringLiteral("vCard-Dateien")};
    QTest::newRow("none") << QString() << QStringList();
}

void tst_FileTypes::dialogFiltersAreLabelledInGerman() {
    QFETCH(QString, types);
    QStringList labels;
    for (const QString& filter : FileTypes::dialogFilters(types)) {
        labels << filter.section(QStringLiteral(" ("), 0, 0);
    }
    QTEST(labels, "labels");
}

void tst_FileTypes::dialogFiltersShowTheirFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<int>>("filters"); // of the open dialog: vCard files, text files, all files
    QTest::newRow("vcf") << QStringLiteral("Kontakte.vcf") << QList<int>{0, 2};
    QTest::newRow("VCF in capitals") << QStringLiteral("KONTAKTE.VCF") << QList<int>{0, 2};
    QTest::newRow("vcard") << QStringLiteral("Kontakte.vcard") << QList<int>{0, 2};
    QTest::newRow("txt") << QStringLiteral("Kontakte.txt") << QList<int>{1, 2};
    QTest::newRow("vcf only in the middle") << QStringLiteral("Kontakte.vcf.gz") << QList<int>{2};
    QTest::newRow("no extension") << QStringLiteral("Kontakte") << QList<int>{2};
}

void tst_FileTypes::dialogFiltersShowTheirFiles() {
    QFETCH(QString, file);
    const QStringList filters = FileTypes::dialogFilters(FileTypes::OpenFilter);
    QList<int> showing;
    for (int k = 0; k < filters.size(); ++k) {
        if (shows(filters[k], file)) {
            showing << k;
        }
    }
    QTEST(showing, "filters");
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
