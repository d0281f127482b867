#include "vcard/vcardwriter.h"

#include <QTest>

using namespace tovanel;

class tst_VcardWriter final : public QObject {
    Q_OBJECT
private slots:
    void foldsAt75OctetsBetweenCharacters_data();
    void foldsAt75OctetsBetweenCharacters();
};

void tst_VcardWriter::foldsAt75OctetsBetweenCharacters_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("escaped");
    QTest::newRow("short") << QStringLiteral("Jürgen") << QByteArray("Jürgen");
    QTest::newRow("structure escaped, controls left out, tabs kept")
        << QStringLiteral("a\\b;c,d\ne\x01\x7F\tf") << QByteArray("a\\\\b\\;c\\,d\\ne\tf");
    QTest::newRow("CR LF and a lone CR are line breaks")
        << QStringLiteral("a\r\nb\rc") << QByteArray("a\\nb\\nc");
    QTest::newRow("exactly one line") << QString(70, u'x') << QByteArray(70, 'x');
    QTest::newRow("ASCII over several lines") << QString(300, u'x') << QByteArray(300, 'x');
    QTest::newRow("umlauts across the cut") << QString(100, u'ü') << QString(100, u'ü').toUtf8();
    QTest::newRow("four-byte characters across the cut")
        << QString(60, u'a') + QString::fromUtf8("😀😀😀😀😀") << QByteArray(60, 'a') + "😀😀😀😀😀";
}

void tst_VcardWriter::foldsAt75OctetsBetweenCharacters() {
    QFETCH(QString, value);
    const QByteArray text = VcardWriter::escapedText(value);
    QTEST(text, "escaped");
    QByteArray out;
    VcardWriter::appendFolded(out, "NOTE:" + text);
    QVERIFY(out.endsWith("\r\n"));
    const QList<QByteArray> lines = out.chopped(2).split('\n');
    QByteArray unfolded;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (i + 1 < lines.size()) {
            QVERIFY(line.endsWith('\r'));
            line.chop(1);
        }
        QVERIFY2(line.size() <= 75, line.constData());
        // Every physical line is whole UTF-8 on its own, and a continuation starts with its one blank.
        QVERIFY(QString::fromUtf8(line).toUtf8() == line);
        QCOMPARE(i > 0, line.startsWith(' '));
        unfolded += i > 0 ? line.mid(1) : line;
    }
    QCOMPARE(unfolded, "NOTE:" + text);
}

QTEST_GUILESS_MAIN(tst_VcardWriter)
#include "tst_vcardwriter.moc"
