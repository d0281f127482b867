#include "platform/listbox.h"
#include "windowfixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace tovanel;

// The name search driven through the real buttons, the search field and the Return key. What a text
// finds is ContactSearch's own test; here the buttons, the focus and the message follow it.
class tst_NameSearch : public QObject, private WindowFixture {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void buttonsFollowTheSearch_data();
    void buttonsFollowTheSearch();
    void missSelectsTheWholeSearchText();
    void hitSelectsTheRowAndFocusesTheList();
    void searchFollowsTheDisplayedOrder();

private:
    // Runs steps separated by ";": "text=X" sets the search text, "find" and "next" click the buttons,
    // "return" presses Return in the search field, "listreturn" in the list, "search=X@N" calls
    // searchName directly.
    void run(const QString& steps);
};

void tst_NameSearch::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void tst_NameSearch::init() {
    QVERIFY(open());
}

void tst_NameSearch::cleanup() {
    close();
    QTRY_VERIFY(noWindowVisible());
}

void tst_NameSearch::run(const QString& steps) {
    for (const QString& step : steps.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (step.startsWith(QLatin1String("text="))) {
            window->searchField()->setText(step.mid(5));
        } else if (step == QLatin1String("find")) {
            QTest::mouseClick(window->searchButton(), Qt::LeftButton);
        } else if (step == QLatin1String("next")) {
            QTest::mouseClick(window->nextButton(), Qt::LeftButton);
        } else if (step == QLatin1String("return")) {
            window->searchField()->setFocus();
            QTest::keyClick(window->searchField(), Qt::Key_Return);
        } else if (step == QLatin1String("listreturn")) {
            window->contactList()->setFocus();
            QTest::keyClick(window->contactList(), Qt::Key_Return);
        } else if (step.startsWith(QLatin1String("search="))) {
            const QStringList parts = step.mid(7).split(QLatin1Char('@'));
            window->searchName(parts.at(0), parts.at(1).toInt());
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
}

// ---- the button states: initial, text changed, hit below the start row, hit on it, hit on the last row,
// miss

void tst_NameSearch::buttonsFollowTheSearch_data() {
    QTest::addColumn<QList<QStringList>>("contacts");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("findIsDefault");
    QTest::addColumn<bool>("nextEnabled");
    QTest::addColumn<bool>("nextIsDefault");
    QTest::addColumn<int>("messages");

    const QList<QStringList> abh =
        named({QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")});
    const QList<QStringList> ohA =
        named({QStringLiteral("Otto"), QStringLiteral("Hanna"), QStringLiteral("Anna")});
    // clang-format off
    QTest::newRow("initial") << abh << "" << 0 << false << false << false << 0;
    QTest::newRow("text change makes find the default") << abh << "text=x" << 0 << true << false << false << 0;
    QTest::newRow("text change keeps next enabled") << abh << "text=ber;find;text=b" << 1 << true << true << false << 0;
    QTest::newRow("hit on start row: next goes on below it") << abh << "search=ann@0" << 0 << false << true << true << 0;
    QTest::newRow("find hits start row: next goes on below it") << abh << "text=ann;find" << 0 << false << true << true << 0;
    QTest::newRow("return reaches the second hit after one on row 0") << abh << "text=nna;return;return" << 2 << false << true << true << 0;
    QTest::newRow("hit on the start row, which is the last, changes no button") << abh << "search=hanna@2" << 0 << false << false << false << 0;
    QTest::newRow("find passes a row: next becomes default") << abh << "text=ber;find" << 1 << false << true << true << 0;
    QTest::newRow("next passes over Bernd to Hanna") << abh << "text=ber;find;text=ann;find;next" << 2 << false << true << true << 0;
    QTest::newRow("next after last row starts at the top") << abh << "text=ber;find;text=ann;find;next;next" << 0 << false << true << true << 0;
    QTest::newRow("case ignored: ANN finds Hanna on next") << abh << "text=ber;find;text=ANN;next" << 2 << true << true << false << 0;
    QTest::newRow("next looks only below the hit") << abh << "text=bernd;find;text=anna;find;text=ber;find;next" << -1 << true << false << false << 1;
    QTest::newRow("miss") << abh << "text=zzz;find" << -1 << true << false << false << 1;
    QTest::newRow("miss after next was enabled") << abh << "text=ber;find;text=zzz;next" << -1 << true << false << false << 1;
    QTest::newRow("empty text finds nothing") << abh << "find" << -1 << true << false << false << 1;
    QTest::newRow("empty list") << QList<QStringList>() << "text=a;find" << -1 << true << false << false << 1;
    QTest::newRow("return goes to find after typing") << abh << "text=ber;return" << 1 << false << true << true << 0;
    QTest::newRow("return goes to next once it is default") << abh << "text=ber;return;return" << -1 << true << false << false << 1;
    QTest::newRow("return with no default button does nothing") << abh << "return" << 0 << false << false << false << 0;
    QTest::newRow("return in the list walks on to the next hit") << ohA << "text=nna;return;listreturn" << 2 << false << true << true << 0;
    QTest::newRow("return in the list past the last row starts at the top") << ohA << "text=nna;return;listreturn;listreturn" << 1 << false << true << true << 0;
    QTest::newRow("return in the list does not start a search") << abh << "text=zzz;listreturn" << 0 << true << false << false << 0;
    // clang-format on
}

void tst_NameSearch::buttonsFollowTheSearch() {
    QFETCH(QList<QStringList>, contacts);
    QFETCH(QString, steps);
    load(*window, cards(contacts));

    run(steps);

    QTEST(window->selected(), "selected");
    QTEST(window->searchButton()->isDefault(), "findIsDefault");
    QTEST(window->nextButton()->isEnabled(), "nextEnabled");
    QTEST(window->nextButton()->isDefault(), "nextIsDefault");
    QTEST(int(dialogs.messages.size()), "messages");
    QVERIFY(window->searchButton()->isEnabled());
    for (const QString& message : std::as_const(dialogs.messages)) {
        QCOMPARE(message, QStringLiteral("Leider nicht gefunden"));
    }
}

void tst_NameSearch::missSelectsTheWholeSearchText() {
    load(*window, cards(named({QStringLiteral("Anna")})));
    window->searchField()->setText(QStringLiteral("Otto"));
    window->searchField()->setCursorPosition(2);
    // The text is selected once the message is dismissed, not while it is shown.
    QString selectedDuringMessage = QStringLiteral("unset");
    dialogs.onMessage = [&](const QString&) {
        selectedDuringMessage = window->searchField()->selectedText();
    };

    run(QStringLiteral("return"));

    QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Leider nicht gefunden")});
    QCOMPARE(selectedDuringMessage, QString());
    QCOMPARE(window->searchField()->selectedText(), QStringLiteral("Otto"));
    QCOMPARE(QApplication::focusWidget(), window->searchField());
    QCOMPARE(window->contactList()->selectedRow(), -1);

    // A miss started from the list hands the focus back to the field as well.
    window->contactList()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), window->contactList());
    run(QStringLiteral("find"));
    QCOMPARE(QApplication::focusWidget(), window->searchField());
    QCOMPARE(window->searchField()->selectedText(), QStringLiteral("Otto"));
}

void tst_NameSearch::hitSelectsTheRowAndFocusesTheList() {
    load(*window, cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")})));
    window->searchField()->setFocus();
    QTest::keyClicks(window->searchField(), QStringLiteral("hann"));
    QTest::keyClick(window->searchField(), Qt::Key_Return);

    QCOMPARE(window->selected(), 2);
    QCOMPARE(window->contactList()->selectedRow(), 2);
    QTRY_COMPARE(QApplication::focusWidget(), window->contactList());
}

void tst_NameSearch::searchFollowsTheDisplayedOrder() {
    // Sorted by company, Bernd (A-Firma) comes before Anna Bernstein (Z-Firma).
    load(*window, cards({{QStringLiteral("Anna Bernstein"), QStringLiteral("Zett GmbH")},
                         {QStringLiteral("Bernd"), QStringLiteral("A-Firma")}}));
    QHeaderView* header = window->contactList()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    QCOMPARE(window->contactModel()->cell(0, ContactColumn::Name), QStringLiteral("Bernd"));

    run(QStringLiteral("text=bern;find"));

    QCOMPARE(window->selected(), 0);
    QCOMPARE(window->contactList()->currentIndex().siblingAtColumn(ContactColumn::Name).data().toString(),
             QStringLiteral("Bernd"));
}

QTEST_MAIN(tst_NameSearch)
#include "tst_namesearch.moc"
