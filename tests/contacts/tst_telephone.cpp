#include "contactlist/searchtext.h"
#include "contacts/contacttable.h"
#include "contacts/duplicates.h"
#include "contacts/telephone.h"

#include <QTest>

using namespace tovanel;

// One rule for numbers wherever they are compared: two cells the duplicates call one number are found by
// a search for either, and two they keep apart are not.
class tst_Telephone : public QObject {
    Q_OBJECT

private slots:
    void nationalNumberWritesGermanNumbersNationally_data();
    void nationalNumberWritesGermanNumbersNationally();
    void searchAndDuplicatesAgreeOnANumber_data();
    void searchAndDuplicatesAgreeOnANumber();
};

void tst_Telephone::nationalNumberWritesGermanNumbersNationally_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("expected");

    QTest::newRow("+49 with blank") << QStringLiteral("+49 89 1234") << QStringLiteral("089 1234");
    QTest::newRow("+49 without blank") << QStringLiteral("+4989") << QStringLiteral("089");
    QTest::newRow("several blanks") << QStringLiteral("+49   89 1234") << QStringLiteral("089 1234");
    QTest::newRow("trunk zero in brackets") << QStringLiteral("+49 (0)89 1234") << QStringLiteral("089 1234");
    QTest::newRow("trunk zero, no blanks") << QStringLiteral("+49(0)89 1234") << QStringLiteral("089 1234");
    QTest::newRow("trunk zero, blank after")
        << QStringLiteral("+49 (0) 89 1234") << QStringLiteral("089 1234");
    QTest::newRow("hyphens") << QStringLiteral("+49-89-1234") << QStringLiteral("089-1234");
    QTest::newRow("slash") << QStringLiteral("+49/89/1234") << QStringLiteral("089/1234");
    QTest::newRow("dots") << QStringLiteral("+49.89.1234") << QStringLiteral("089.1234");
    QTest::newRow("mobile") << QStringLiteral("+49 171 3920011") << QStringLiteral("0171 3920011");
    QTest::newRow("only the code") << QStringLiteral("+49") << QStringLiteral("0");

    QTest::newRow("0049 unchanged") << QStringLiteral("0049 89 1234") << QStringLiteral("0049 89 1234");
    QTest::newRow("Austria unchanged") << QStringLiteral("+43 1 2345") << QStringLiteral("+43 1 2345");
    QTest::newRow("blank before +") << QStringLiteral(" +49 89 1234") << QStringLiteral(" +49 89 1234");
    QTest::newRow("national unchanged") << QStringLiteral("089 1234") << QStringLiteral("089 1234");
    QTest::newRow("two characters") << QStringLiteral("+4") << QStringLiteral("+4");
    QTest::newRow("one character") << QStringLiteral("+") << QStringLiteral("+");
    QTest::newRow("empty") << QString() << QString();
}

void tst_Telephone::nationalNumberWritesGermanNumbersNationally() {
    QFETCH(QString, number);
    QFETCH(QString, expected);
    QCOMPARE(nationalNumber(number), expected);
}

void tst_Telephone::searchAndDuplicatesAgreeOnANumber_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");

    QTest::newRow("+49 and national")
        << QStringLiteral("+49 171 1234567") << QStringLiteral("0171 1234567") << true;
    QTest::newRow("0049 and national")
        << QStringLiteral("0049 171 1234567") << QStringLiteral("0171/1234567") << true;
    QTest::newRow("+49 (0) and national")
        << QStringLiteral("+49 (0)171 1234567") << QStringLiteral("0171 1234567") << true;
    QTest::newRow("0049 (0) and national")
        << QStringLiteral("0049 (0)171 1234567") << QStringLiteral("0171 1234567") << true;
    QTest::newRow("+43 and 0043") << QStringLiteral("+43 1 2345678") << QStringLiteral("0043 1 2345678")
                                  << true;
    QTest::newRow("Arabic-Indic digits")
        << QStringLiteral("\u0660\u0661\u0667\u0661 \u0661\u0662\u0663\u0664\u0665\u0666\u0667")
        << QStringLiteral("0171 1234567") << true;
    QTest::newRow("full-width digits")
        << QStringLiteral("\uFF10\uFF11\uFF17\uFF11-1234567") << QStringLiteral("0171 1234567") << true;
    QTest::newRow("another country") << QStringLiteral("+43 171 1234567") << QStringLiteral("0171 1234567")
                                     << false;
    QTest::newRow("another number") << QStringLiteral("0171 1234568") << QStringLiteral("0171 1234567")
                                    << false;
}

void tst_Telephone::searchAndDuplicatesAgreeOnANumber() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);

    ContactTable table;
    for (const QString& number : {a, b}) {
        std::array<QStringView, StoredFieldCount> texts{};
        texts[size_t(Field::MobilePhone)] = number;
        table.append(texts, 0, 0, -1);
    }
    QCOMPARE(!findDuplicateGroups(table).empty(), same);

    QVarLengthArray<char, 64> scratch;
    QCOMPARE(NumberNeedle(a).foundIn(b, scratch), same);
    QCOMPARE(NumberNeedle(b).foundIn(a, scratch), same);
}

QTEST_GUILESS_MAIN(tst_Telephone)
#include "tst_telephone.moc"
