#include "detailwindow/detailrows.h"
#include "detailwindow/detailwindow.h"
#include "mainwindow/birthdaywindow.h"
#include "platform/listbox.h"
#include "windowfixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>

class tst_BirthdayWindow : public QObject, WindowFixture {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init() { QVERIFY(open()); }
    void cleanup() {
        close();
        QVERIFY(noWindowVisible());
    }

    void listsTheShownListAndOpensAContact_data();
    void listsTheShownListAndOpensAContact();

private:
    QStringList names(const BirthdayWindow& birthdays) const;
};

QStringList tst_BirthdayWindow::names(const BirthdayWindow& birthdays) const {
    QStringList shown;
    const BirthdayListModel* model = birthdays.model();
    for (int row = 0; row < model->rowCount(); ++row) {
        shown << model->index(row, BirthdayColumn::Name).data().toString();
    }
    return shown;
}

void tst_BirthdayWindow::listsTheShownListAndOpensAContact_data() {
    QTest::addColumn<bool>("doubleClick"); // else Return
    QTest::newRow("Return") << false;
    QTest::newRow("double-click") << true;
}

void tst_BirthdayWindow::listsTheShownListAndOpensAContact() {
    QFETCH(bool, doubleClick);
    const QDate today = QDate::currentDate();
    const auto dayOf = [](QDate day) { return day.toString(u"--MMdd").toUtf8(); };
    load(*window, cards({{QStringLiteral("Ohne")}}) + "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bernd\r\nBDAY:" +
                      dayOf(today.addDays(1)) + "\r\nEND:VCARD\r\n" +
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna\r\nBDAY:" + dayOf(today) + "\r\nEND:VCARD\r\n");
    QAction* item = window->findChild<QAction*>(QStringLiteral("AnsichtGeburtstage"));
    QVERIFY(item && item->isEnabled());
    item->trigger();
    auto* birthdays = window->findChild<BirthdayWindow*>(QStringLiteral("Geburtstage"));
    QVERIFY(birthdays);
    QTRY_VERIFY(birthdays->isVisible());
    QCOMPARE(birthdays->windowTitle(), QStringLiteral("Geburtstage"));
    QCOMPARE(names(*birthdays), (QStringList{QStringLiteral("Anna"), QStringLiteral("Bernd")}));
    QCOMPARE(birthdays->model()->index(0, BirthdayColumn::When).data().toString(), QStringLiteral("heute"));

    ListBox* list = birthdays->list();
    const QPoint bernd = list->visualRect(birthdays->model()->index(1, BirthdayColumn::Name)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, bernd);
    if (doubleClick) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, bernd);
    } else {
        QTest::keyClick(list, Qt::Key_Return);
    }
    DetailWindow* detail = window->detail();
    QTRY_VERIFY(detail->isVisible());
    QCOMPARE(detail->list()->model()->index(int(Field::Name), DetailRows::Value).data().toString(),
             QStringLiteral("Bernd"));
    detail->hide();

    // The open window follows the list as it is shown.
    window->filterField()->setText(QStringLiteral("Bernd"));
    QTRY_COMPARE(names(*birthdays), QStringList{QStringLiteral("Bernd")});
    window->filterField()->setText(QStringLiteral("Ohne"));
    QTRY_VERIFY(birthdays->emptyLabel()->isVisible());
    QTest::keyClick(birthdays->list(), Qt::Key_Escape);
    QVERIFY(!birthdays->isVisible());
}

QTEST_MAIN(tst_BirthdayWindow)
#include "tst_birthdaywindow.moc"
