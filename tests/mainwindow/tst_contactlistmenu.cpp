#include "fakedialogs.h"
#include "importedlists.h"
#include "mainwindow/contactlistmenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <memory>

using namespace tovanel;

class tst_ContactListMenu final : public QObject {
    Q_OBJECT
private slots:
    void cellOffersTheLinkOfItsField_data();
    void cellOffersTheLinkOfItsField();
};

void tst_ContactListMenu::cellOffersTheLinkOfItsField_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("items"); // empty: no menu
    const QString copy = QStringLiteral("Wert kopieren");
    const QString qr = QStringLiteral("QR-Code …");
    QTest::newRow("Name") << int(ContactColumn::Name) << QStringList{copy, qr};
    QTest::newRow("Tel-Mobil") << int(ContactColumn::MobilePhone)
                               << QStringList{QStringLiteral("Anrufen"), copy, qr};
    QTest::newRow("Tel-Arbeit") << int(ContactColumn::WorkPhone)
                                << QStringList{QStringLiteral("Anrufen"), copy, qr};
    QTest::newRow("e-mail") << int(ContactColumn::Email)
                            << QStringList{QStringLiteral("E-Mail schreiben"), copy, qr};
    QTest::newRow("hidden Pos") << int(ContactColumn::EndPosition) << QStringList();
}

void tst_ContactListMenu::cellOffersTheLinkOfItsField() {
    QFETCH(int, column);
    QFETCH(QStringList, items);
    ImportedLists lists(QByteArray("BEGIN:VCARD\r\nFN:Eva\r\nTEL;TYPE=CELL:0171 1\r\nTEL;TYPE=WORK:030 2\r\n"
                                   "EMAIL:eva@example.org\r\nEND:VCARD\r\n"));
    QWidget parent;
    FakeDialogs dialogs;
    const std::unique_ptr<QMenu> menu(
        contactCellMenu(&parent, lists.contacts, 0, column, {lists.result.table, 0, nullptr}, dialogs));
    QCOMPARE(bool(menu), !items.isEmpty());
    QStringList got;
    if (menu) {
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                got << action->text();
            }
        }
    }
    QCOMPARE(got, items);
}

QTEST_MAIN(tst_ContactListMenu)
#include "tst_contactlistmenu.moc"
