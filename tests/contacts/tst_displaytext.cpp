#include "displaytext.h"
#include "importedlists.h"

#include <QTest>

class TestDisplayText final : public QObject {
    Q_OBJECT
private slots:
    void directionControlsBecomeMarks_data();
    void directionControlsBecomeMarks();
    void listShowsMarksButKeepsTheCellAsRead();
};

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

void TestDisplayText::listShowsMarksButKeepsTheCellAsRead() {
    const ImportedLists lists(QByteArray("BEGIN:VCARD\nFN:\xE2\x80\xAEgnp.exe\nORG:Zeta\nEND:VCARD\n"));
    QCOMPARE(lists.result.status, VcardReadResult::Status::ReadToEnd);
    const AddressTableModel& contactModel = lists.contacts;
    QCOMPARE(contactModel.index(0, ContactColumn::Name).data().toString(), QStringLiteral("\uFFFDgnp.exe"));
    QCOMPARE(contactModel.index(0, ContactColumn::Name).data(Qt::ToolTipRole).toString(),
             QStringLiteral("\uFFFDgnp.exe"));
    QCOMPARE(contactModel.index(0, ContactColumn::Company).data().toString(), QStringLiteral("Zeta"));
    QCOMPARE(contactModel.cell(0, ContactColumn::Name), QStringLiteral("\u202Egnp.exe"));
}

QTEST_GUILESS_MAIN(TestDisplayText)
#include "tst_displaytext.moc"
