#include "importedlists.h"
#include "platform/displaytext.h"

#include <QTest>

using namespace tovanel;

class TestDisplayText final : public QObject {
    Q_OBJECT
private slots:
    void directionControlsBecomeMarks_data();
    void directionControlsBecomeMarks();
    void listShowsCutAndMarkedCellsButKeepsThemAsRead_data();
    void listShowsCutAndMarkedCellsButKeepsThemAsRead();
    void filesOfOneNameAreToldApartByTheirFolders_data();
    void filesOfOneNameAreToldApartByTheirFolders();
};

void TestDisplayText::filesOfOneNameAreToldApartByTheirFolders_data() {
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("names");
    const auto row = [](const char* name, const char* paths, const char* names) {
        QTest::newRow(name) << QString::fromUtf8(paths).split(u' ') << QString::fromUtf8(names).split(u' ');
    };
    row("names of their own", "/a/kontakte.vcf /b/alt.vcf", "kontakte.vcf alt.vcf");
    row("one folder tells them apart", "/h/alt/k.vcf /h/neu/k.vcf /h/x.vcf", "alt/k.vcf neu/k.vcf x.vcf");
    row("two folders needed", "/a/sich/k.vcf /b/sich/k.vcf", "a/sich/k.vcf b/sich/k.vcf");
    row("the same file twice", "/a/k.vcf /a/k.vcf", "k.vcf k.vcf");
    QTest::newRow("a line break in a name") << QStringList{QStringLiteral("/a/zwei\nZeilen.vcf")}
                                            << QStringList{QStringLiteral("zwei Zeilen.vcf")};
}

void TestDisplayText::filesOfOneNameAreToldApartByTheirFolders() {
    QFETCH(QStringList, paths);
    QTEST(distinguishingFileNames(paths), "names");
}

void TestDisplayText::directionControlsBecomeMarks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    const auto ch = [](char16_t c) { return QString(QChar(c)); };
    const QString mark = ch(u'\uFFFD');
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("plain") << QStringLiteral("Zora Ziegler") << QStringLiteral("Zora Ziegler");
    QTest::newRow("right-to-left override")
        << QStringLiteral("\u202Egnp.exe") << QStringLiteral("\uFFFDgnp.exe");
    for (char16_t c : {u'\u202A', u'\u202B', u'\u202C', u'\u202D', u'\u202E', u'\u2066', u'\u2067', u'\u2068',
                       u'\u2069'}) {
        QTest::addRow("U+%04X", unsigned(c)) << u'a' + ch(c) + u'b' << u'a' + mark + u'b';
    }
    // Their neighbours, the implicit marks and right-to-left text itself are no disguise.
    for (char16_t c : {u'\u2029', u'\u202F', u'\u2065', u'\u206A', u'\u200E', u'\u200F', u'\u05D0'}) {
        QTest::addRow("U+%04X kept", unsigned(c)) << u'a' + ch(c) << u'a' + ch(c);
    }
    QTest::newRow("several, at both ends") << QStringLiteral("\u2067\u05E9\u05DC\u05D5\u05DD\u2069 x \u202C")
                                           << QStringLiteral("\uFFFD\u05E9\u05DC\u05D5\u05DD\uFFFD x \uFFFD");
}

void TestDisplayText::directionControlsBecomeMarks() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(hasDirectionControls(text), text != shown);
    const QString result = displayText(text);
    QCOMPARE(result, shown);
    // The list paints every visible cell through this: text without controls is not copied.
    if (text == shown) {
        QCOMPARE(result.constData(), text.constData());
    }
}

void TestDisplayText::listShowsCutAndMarkedCellsButKeepsThemAsRead_data() {
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown"); // in the cell and its tooltip

    const auto run = [](qsizetype count, char16_t c) { return QString(count, QChar(c)); };
    const QString cut = QStringLiteral("…");
    QTest::newRow("direction control") << QByteArray("FN") << int(ContactColumn::Name)
                                       << QStringLiteral("\u202Egnp.exe") << QStringLiteral("\uFFFDgnp.exe");
    QTest::newRow("1,000 characters whole")
        << QByteArray("FN") << int(ContactColumn::Name) << run(1000, u'n') << run(1000, u'n');
    QTest::newRow("1,001 characters cut")
        << QByteArray("FN") << int(ContactColumn::Name) << run(1001, u'n') << run(1000, u'n') + cut;
    QTest::newRow("a million in the company")
        << QByteArray("ORG") << int(ContactColumn::Company) << run(1'000'000, u'f') << run(1000, u'f') + cut;
    QTest::newRow("long e-mail") << QByteArray("EMAIL") << int(ContactColumn::Email)
                                 << run(5000, u'e') + QStringLiteral("@x.de") << run(1000, u'e') + cut;
    QTest::newRow("long number") << QByteArray("TEL;CELL") << int(ContactColumn::MobilePhone)
                                 << run(5000, u'7') << run(1000, u'7') + cut;
    QTest::newRow("no half surrogate pair at the cut")
        << QByteArray("FN") << int(ContactColumn::Name) << run(999, u'n') + QStringLiteral("\U0001F600x")
        << run(999, u'n') + cut;
    QTest::newRow("direction control behind the cut") << QByteArray("FN") << int(ContactColumn::Name)
                                                      << run(1000, u'n') + u'\u202E' << run(1000, u'n') + cut;
    QTest::newRow("direction control before the cut")
        << QByteArray("FN") << int(ContactColumn::Name) << u'\u202E' + run(1000, u'n')
        << u'\uFFFD' + run(999, u'n') + cut;
}

// Copying, dragging and the table dump read cell(): the value as read, whatever its length.
void TestDisplayText::listShowsCutAndMarkedCellsButKeepsThemAsRead() {
    QFETCH(QByteArray, property);
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    const ImportedLists lists("BEGIN:VCARD\nFN:Anna\nEND:VCARD\nBEGIN:VCARD\n" + property + ':' +
                              value.toUtf8() + "\nEND:VCARD\n");
    QCOMPARE(lists.result.status, VcardReadResult::Status::ReadToEnd);
    const QModelIndex index = lists.contacts.index(1, column);
    QCOMPARE(index.data().toString(), shown);
    QCOMPARE(index.data(Qt::ToolTipRole).toString(), shown);
    QCOMPARE(lists.contacts.cell(1, column), value);
}

QTEST_GUILESS_MAIN(TestDisplayText)
#include "tst_displaytext.moc"
