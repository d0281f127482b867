#include "listbox.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

// The name search driven through the real buttons, the search field and the Return key.
class tst_NameSearch : public QObject {
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
    void searchNameStartsAgainAtTheTopOnlyPastTheLastRow_data();
    void searchNameStartsAgainAtTheTopOnlyPastTheLastRow();

private:
    // Runs steps separated by ";": "text=X" sets the search text, "find" and "next" click the buttons,
    // "return" presses Return in the search field, "search=X@N" calls SearchName directly.
    void run(const QString& steps);

    ScriptedDialogs m_dialogs;
    std::unique_ptr<Window1> m_window;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void tst_NameSearch::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    registerFileTypes();
}

void tst_NameSearch::init() {
    m_dialogs.messages.clear();
    m_dialogs.onMessage = {};
    m_window = std::make_unique<Window1>(m_dialogs);
    m_window->setQuitHandler({});
    m_tester = std::make_unique<QAbstractItemModelTester>(m_window->adressenModel());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void tst_NameSearch::cleanup() {
    m_tester.reset();
    m_window.reset();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().cbegin(), QApplication::topLevelWidgets().cend(),
                             [](QWidget* w) { return w->isVisible(); }));
}

void tst_NameSearch::run(const QString& steps) {
    for (const QString& step : steps.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (step.startsWith(QLatin1String("text="))) {
            m_window->SearchField()->setText(step.mid(5));
        } else if (step == QLatin1String("find")) {
            QTest::mouseClick(m_window->SearchButton(), Qt::LeftButton);
        } else if (step == QLatin1String("next")) {
            QTest::mouseClick(m_window->NextButton(), Qt::LeftButton);
        } else if (step == QLatin1String("return")) {
            m_window->SearchField()->setFocus();
            QTest::keyClick(m_window->SearchField(), Qt::Key_Return);
        } else if (step.startsWith(QLatin1String("search="))) {
            const QStringList parts = step.mid(7).split(QLatin1Char('@'));
            m_window->SearchName(parts.at(0), parts.at(1).toInt());
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
}

// ---- the button states: initial, text changed, hit below the start row, hit on it, miss

void tst_NameSearch::buttonsFollowTheSearch_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("findIsDefault");
    QTest::addColumn<bool>("nextEnabled");
    QTest::addColumn<bool>("nextIsDefault");
    QTest::addColumn<int>("messages");

    const QStringList abh{QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")};
    // clang-format off
    QTest::newRow("initial") << abh << "" << 0 << false << false << false << 0;
    QTest::newRow("text change makes find the default") << abh << "text=x" << 0 << true << false << false << 0;
    QTest::newRow("text change keeps next enabled") << abh << "text=ber;find;text=b" << 1 << true << true << false << 0;
    QTest::newRow("hit on start row changes no button") << abh << "search=ann@0" << 0 << false << false << false << 0;
    QTest::newRow("find hits start row, buttons as before") << abh << "text=ann;find" << 0 << true << false << false << 0;
    QTest::newRow("find passes a row: next becomes default") << abh << "text=ber;find" << 1 << false << true << true << 0;
    QTest::newRow("next passes over Bernd to Hanna") << abh << "text=ber;find;text=ann;find;next" << 2 << false << true << true << 0;
    QTest::newRow("next after last row starts at the top") << abh << "text=ber;find;text=ann;find;next;next" << 0 << false << true << true << 0;
    QTest::newRow("case ignored: ANN finds Hanna on next") << abh << "text=ber;find;text=ANN;next" << 2 << true << true << false << 0;
    QTest::newRow("next looks only below the hit") << abh << "text=bernd;find;text=anna;find;text=ber;find;next" << -1 << true << false << false << 1;
    QTest::newRow("miss") << abh << "text=zzz;find" << -1 << true << false << false << 1;
    QTest::newRow("miss after next was enabled") << abh << "text=ber;find;text=zzz;next" << -1 << true << false << false << 1;
    QTest::newRow("empty text finds nothing") << abh << "find" << -1 << true << false << false << 1;
    QTest::newRow("empty list") << QStringList() << "text=a;find" << -1 << true << false << false << 1;
    QTest::newRow("umlaut case ignored: MÜ finds Müller") << QStringList{QStringLiteral("Anna"), QStringLiteral("Jürgen Müller")} << "text=MÜ;find" << 1 << false << true << true << 0;
    QTest::newRow("accented capitals: ZOË finds Zoë") << QStringList{QStringLiteral("Zoë")} << "text=ZOË;find" << 0 << true << false << false << 0;
    QTest::newRow("return goes to find after typing") << abh << "text=ber;return" << 1 << false << true << true << 0;
    QTest::newRow("return goes to next once it is default") << abh << "text=ber;return;return" << -1 << true << false << false << 1;
    QTest::newRow("return with no default button does nothing") << abh << "return" << 0 << false << false << false << 0;
    // clang-format on
}

void tst_NameSearch::buttonsFollowTheSearch() {
    QFETCH(QStringList, names);
    QFETCH(QString, steps);
    load(*m_window, cards(named(names)));

    run(steps);

    QTEST(m_window->selected(), "selected");
    QTEST(m_window->SearchButton()->isDefault(), "findIsDefault");
    QTEST(m_window->NextButton()->isEnabled(), "nextEnabled");
    QTEST(m_window->NextButton()->isDefault(), "nextIsDefault");
    QTEST(int(m_dialogs.messages.size()), "messages");
    QVERIFY(m_window->SearchButton()->isEnabled());
    for (const QString& message : std::as_const(m_dialogs.messages)) {
        QCOMPARE(message, QStringLiteral("Leider nicht gefunden"));
    }
}

void tst_NameSearch::missSelectsTheWholeSearchText() {
    load(*m_window, cards(named({QStringLiteral("Anna")})));
    m_window->SearchField()->setText(QStringLiteral("Otto"));
    m_window->SearchField()->setCursorPosition(2);
    // The text is selected once the message is dismissed, not while it is shown.
    QString selectedDuringMessage = QStringLiteral("unset");
    m_dialogs.onMessage = [&](const QString&) {
        selectedDuringMessage = m_window->SearchField()->selectedText();
    };

    run(QStringLiteral("return"));

    QCOMPARE(m_dialogs.messages, QStringList{QStringLiteral("Leider nicht gefunden")});
    QCOMPARE(selectedDuringMessage, QString());
    QCOMPARE(m_window->SearchField()->selectedText(), QStringLiteral("Otto"));
    QCOMPARE(QApplication::focusWidget(), m_window->SearchField());
    QCOMPARE(m_window->Adressen()->listIndex(), -1);
}

void tst_NameSearch::hitSelectsTheRowAndFocusesTheList() {
    load(*m_window, cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")})));
    m_window->SearchField()->setFocus();
    QTest::keyClicks(m_window->SearchField(), QStringLiteral("hann"));
    QTest::keyClick(m_window->SearchField(), Qt::Key_Return);

    QCOMPARE(m_window->selected(), 2);
    QCOMPARE(m_window->Adressen()->listIndex(), 2);
    QTRY_COMPARE(QApplication::focusWidget(), m_window->Adressen());
}

void tst_NameSearch::searchFollowsTheDisplayedOrder() {
    // Sorted by company, Bernd (A-Firma) comes before Anna Bernstein (Z-Firma).
    load(*m_window, cards({{QStringLiteral("Anna Bernstein"), QStringLiteral("Zett GmbH")},
                           {QStringLiteral("Bernd"), QStringLiteral("A-Firma")}}));
    QHeaderView* header = m_window->Adressen()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    QCOMPARE(m_window->adressenModel()->cell(0, 1), QStringLiteral("Bernd"));

    run(QStringLiteral("text=bern;find"));

    QCOMPARE(m_window->selected(), 0);
    QCOMPARE(m_window->Adressen()->currentIndex().siblingAtColumn(1).data().toString(),
             QStringLiteral("Bernd"));
}

void tst_NameSearch::searchNameStartsAgainAtTheTopOnlyPastTheLastRow_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("found");
    QTest::newRow("at the first row") << 0 << 0;
    QTest::newRow("below the first hit") << 1 << 2;
    QTest::newRow("on the last row") << 2 << 2;
    QTest::newRow("past the last row") << 3 << 0;
    QTest::newRow("far past the last row") << 100 << 0;
    QTest::newRow("negative start reads no row outside") << -5 << 0;
}

void tst_NameSearch::searchNameStartsAgainAtTheTopOnlyPastTheLastRow() {
    QFETCH(int, start);
    load(*m_window, cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")})));
    QTEST(m_window->SearchName(QStringLiteral("nna"), start), "found");
}

QTEST_MAIN(tst_NameSearch)
#include "tst_namesearch.moc"
