#include "menubar1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

class tst_MenuBar1 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void hasTheTwoMenusInOrder();
    void itemsInTableOrder_data();
    void itemsInTableOrder();
    void onlyDetailStartsDisabled();
    void looksUpItemsByName();

    void editItemsActOnTheFocusedTextControl_data();
    void editItemsActOnTheFocusedTextControl();
    void editItemsLeaveAReadOnlyTextAlone_data();
    void editItemsLeaveAReadOnlyTextAlone();
};

void tst_MenuBar1::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void tst_MenuBar1::hasTheTwoMenusInOrder() {
    MenuBar1 bar;
    const QList<QAction*> menus = bar.actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus.at(0)->text(), QStringLiteral("&Ablage"));
    QCOMPARE(menus.at(0)->objectName(), QStringLiteral("FileMenu"));
    QCOMPARE(menus.at(1)->text(), QStringLiteral("&Bearbeiten"));
    QCOMPARE(menus.at(1)->objectName(), QStringLiteral("EditMenu"));
}

void tst_MenuBar1::itemsInTableOrder_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption"); // empty for a separator
    QTest::addColumn<QKeySequence>("shortcut");

    const QString file = QStringLiteral("FileMenu");
    const QString edit = QStringLiteral("EditMenu");
    const auto row = [](const QString& menu, int position, const char* name, const QString& caption,
                        const QKeySequence& shortcut = {}) {
        QTest::newRow(name) << menu << position << QString::fromUtf8(name) << caption << shortcut;
    };
    row(file, 0, "AblageOeffnen", QStringLiteral("Öffnen"), QKeySequence(Qt::CTRL | Qt::Key_O));
    row(file, 1, "AblageDetail", QStringLiteral("Detail"), QKeySequence(Qt::CTRL | Qt::Key_D));
    row(file, 2, "UntitledItem1", {});
    row(file, 3, "AblageSchließen", QStringLiteral("Schließen"), QKeySequence(Qt::CTRL | Qt::Key_W));
    row(file, 4, "FileQuit", QStringLiteral("Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    row(file, 5, "UeberTovanel", QStringLiteral("Über Tovanel"));
    row(edit, 0, "EditUndo", QStringLiteral("&Rückgängig"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    row(edit, 1, "UntitledMenu1", {});
    row(edit, 2, "EditCut", QStringLiteral("&Ausschneiden"), QKeySequence(Qt::CTRL | Qt::Key_X));
    row(edit, 3, "EditCopy", QStringLiteral("&Kopieren"), QKeySequence(Qt::CTRL | Qt::Key_C));
    row(edit, 4, "EditCopyVal", QStringLiteral("Wert Kopieren"), QKeySequence(Qt::CTRL | Qt::Key_Y));
    row(edit, 5, "EditPaste", QStringLiteral("&Einfügen"), QKeySequence(Qt::CTRL | Qt::Key_V));
    row(edit, 6, "EditClear", QStringLiteral("&Löschen"));
    row(edit, 7, "UntitledMenu0", {});
    row(edit, 8, "EditSelectAll", QStringLiteral("&Alles auswählen"), QKeySequence(Qt::CTRL | Qt::Key_A));
}

void tst_MenuBar1::itemsInTableOrder() {
    QFETCH(QString, menu);
    QFETCH(int, position);
    QFETCH(QString, caption);
    MenuBar1 bar;
    const QList<QAction*> items = bar.menu(menu)->actions();
    QCOMPARE(items.size(), menu == QLatin1String("FileMenu") ? 6 : 9);
    QAction* item = items.at(position);

    QTEST(item->objectName(), "name");
    QCOMPARE(item->isSeparator(), caption.isEmpty());
    QCOMPARE(item->text(), caption);
    QTEST(item->shortcut(), "shortcut");
    QVERIFY(item->isVisible());
}

void tst_MenuBar1::onlyDetailStartsDisabled() {
    MenuBar1 bar;
    for (const QAction* menu : bar.actions()) {
        for (const QAction* item : menu->menu()->actions()) {
            QCOMPARE(item->isEnabled(), item->objectName() != QLatin1String("AblageDetail"));
        }
    }
}

void tst_MenuBar1::looksUpItemsByName() {
    QMainWindow window;
    auto* bar = new MenuBar1(&window);
    window.setMenuBar(bar);
    QCOMPARE(bar->item(QStringLiteral("AblageSchließen"))->text(), QStringLiteral("Schließen"));
    QCOMPARE(bar->item(QStringLiteral("EditMenu")), bar->menu(QStringLiteral("EditMenu"))->menuAction());
    QCOMPARE(bar->item(QStringLiteral("NoSuchItem")), nullptr);
    // The application finds its items on whichever window carries the bar.
    QCOMPARE(window.findChild<QAction*>(QStringLiteral("FileQuit")), bar->item(QStringLiteral("FileQuit")));
    QCOMPARE(window.findChild<QAction*>(QStringLiteral("UeberTovanel")),
             bar->item(QStringLiteral("UeberTovanel")));
}

// ---- editing items

void tst_MenuBar1::editItemsActOnTheFocusedTextControl_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<QString>("selectedAfter");
    QTest::addColumn<QString>("clipboardAfter");
    // Before each row: "Müller Jürgen" with "Jürgen" selected, the clipboard holding "Ablage".
    QTest::newRow("copy") << "EditCopy"
                          << "Müller Jürgen"
                          << "Jürgen"
                          << "Jürgen";
    QTest::newRow("cut") << "EditCut"
                         << "Müller "
                         << ""
                         << "Jürgen";
    QTest::newRow("paste") << "EditPaste"
                           << "Müller Ablage"
                           << ""
                           << "Ablage";
    QTest::newRow("clear") << "EditClear"
                           << "Müller "
                           << ""
                           << "Ablage";
    QTest::newRow("select all") << "EditSelectAll"
                                << "Müller Jürgen"
                                << "Müller Jürgen"
                                << "Ablage";
    QTest::newRow("undo after a cut") << "EditCut,EditUndo"
                                      << "Müller Jürgen"
                                      << "Jürgen"
                                      << "Jürgen";
}

void tst_MenuBar1::editItemsActOnTheFocusedTextControl() {
    QFETCH(QString, item);
    QMainWindow window;
    auto* bar = new MenuBar1(&window);
    window.setMenuBar(bar);
    auto* edit = new QLineEdit(QStringLiteral("Müller Jürgen"), &window);
    window.setCentralWidget(edit);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    edit->setSelection(7, 6);
    QApplication::clipboard()->setText(QStringLiteral("Ablage"));

    for (const QString& name : item.split(QLatin1Char(','))) {
        bar->item(name)->trigger();
    }

    QTEST(edit->text(), "textAfter");
    QTEST(edit->selectedText(), "selectedAfter");
    QTEST(QApplication::clipboard()->text(), "clipboardAfter");
}

void tst_MenuBar1::editItemsLeaveAReadOnlyTextAlone_data() {
    QTest::addColumn<QString>("item");
    QTest::newRow("cut") << "EditCut";
    QTest::newRow("paste") << "EditPaste";
    QTest::newRow("clear") << "EditClear";
}

void tst_MenuBar1::editItemsLeaveAReadOnlyTextAlone() {
    QFETCH(QString, item);
    QMainWindow window;
    auto* bar = new MenuBar1(&window);
    window.setMenuBar(bar);
    auto* view = new QPlainTextEdit(QStringLiteral("BEGIN:VCARD\nFN:Anna\nEND:VCARD"), &window);
    view->setReadOnly(true);
    window.setCentralWidget(view);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    view->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), view);
    view->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("Ablage"));

    bar->item(item)->trigger();

    QCOMPARE(view->toPlainText(), QStringLiteral("BEGIN:VCARD\nFN:Anna\nEND:VCARD"));
    bar->item(QStringLiteral("EditCopy"))->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("BEGIN:VCARD\nFN:Anna\nEND:VCARD"));
}

QTEST_MAIN(tst_MenuBar1)
#include "tst_menubar1.moc"
