#include "menubar1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <memory>

using ActionOf = std::function<QAction*(const MenuBar1&)>;
Q_DECLARE_METATYPE(ActionOf)

class tst_MenuBar1 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void itemIsFoundByNameAndFiresOnItsShortcut_data();
    void itemIsFoundByNameAndFiresOnItsShortcut();
    void onlyDetailAndSortingStartDisabled();

    void editItemsActOnTheFocusedTextControl_data();
    void editItemsActOnTheFocusedTextControl();
    void editItemsLeaveAReadOnlyTextAlone_data();
    void editItemsLeaveAReadOnlyTextAlone();

private:
    // A window carrying the bar with `central` focused.
    void showWith(QWidget* central);

    std::unique_ptr<QMainWindow> m_window;
    MenuBar1* m_bar = nullptr;
};

void tst_MenuBar1::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void tst_MenuBar1::init() {
    m_window = std::make_unique<QMainWindow>();
    m_bar = new MenuBar1(m_window.get());
    m_window->setMenuBar(m_bar);
}

void tst_MenuBar1::cleanup() {
    m_window.reset();
}

void tst_MenuBar1::showWith(QWidget* central) {
    m_window->setCentralWidget(central);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    central->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), central);
}

// Tests and accessibility find the items by these names; the windows reach them through the accessors.
void tst_MenuBar1::itemIsFoundByNameAndFiresOnItsShortcut_data() {
    QTest::addColumn<ActionOf>("action");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QKeySequence>("shortcut");
    const auto row = [](const char* name, ActionOf action, const QKeySequence& shortcut = {}) {
        QTest::newRow(name) << action << QString::fromUtf8(name) << shortcut;
    };
    row("AblageOeffnen", &MenuBar1::openAction, QKeySequence(Qt::CTRL | Qt::Key_O));
    row("AblageDetail", &MenuBar1::detailAction, QKeySequence(Qt::CTRL | Qt::Key_D));
    row("AblageSchließen", &MenuBar1::closeAction, QKeySequence(Qt::CTRL | Qt::Key_W));
    row("FileQuit", &MenuBar1::quitAction, QKeySequence(Qt::CTRL | Qt::Key_Q));
    row("UeberTovanel", &MenuBar1::aboutAction);
    row("EditUndo", &MenuBar1::undoAction, QKeySequence(Qt::CTRL | Qt::Key_Z));
    row("EditCut", &MenuBar1::cutAction, QKeySequence(Qt::CTRL | Qt::Key_X));
    row("EditCopy", &MenuBar1::copyAction, QKeySequence(Qt::CTRL | Qt::Key_C));
    row("EditCopyVal", &MenuBar1::copyValueAction, QKeySequence(Qt::CTRL | Qt::Key_Y));
    row("EditPaste", &MenuBar1::pasteAction, QKeySequence(Qt::CTRL | Qt::Key_V));
    row("EditClear", &MenuBar1::clearAction);
    row("EditSelectAll", &MenuBar1::selectAllAction, QKeySequence(Qt::CTRL | Qt::Key_A));
    row(
        "Sort1", [](const MenuBar1& bar) { return bar.sortAction(1); }, QKeySequence(Qt::CTRL | Qt::Key_1));
    row(
        "Sort6", [](const MenuBar1& bar) { return bar.sortAction(6); }, QKeySequence(Qt::CTRL | Qt::Key_6));
    row("SortFileOrder", &MenuBar1::fileOrderAction, QKeySequence(Qt::CTRL | Qt::Key_0));
}

void tst_MenuBar1::itemIsFoundByNameAndFiresOnItsShortcut() {
    QFETCH(ActionOf, action);
    QFETCH(QString, name);
    QFETCH(QKeySequence, shortcut);
    QAction* item = action(*m_bar);
    QCOMPARE(m_window->findChild<QAction*>(name), item);
    if (shortcut.isEmpty()) {
        return;
    }
    item->setEnabled(true);
    auto* focused = new QWidget;
    focused->setFocusPolicy(Qt::StrongFocus);
    showWith(focused);
    QSignalSpy triggered(item, &QAction::triggered);
    // The focused widget has no editing slots: an edit item leaves it alone without a word.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    QTest::keySequence(m_window.get(), shortcut);
    QCOMPARE(triggered.size(), 1);
}

void tst_MenuBar1::onlyDetailAndSortingStartDisabled() {
    for (QMenu* menu : {m_bar->fileMenu(), m_bar->editMenu()}) {
        for (const QAction* item : menu->actions()) {
            QCOMPARE(item->isEnabled(), item != m_bar->detailAction());
        }
    }
    // The sort items are found by the list's headings; only a window with a list turns them on.
    QCOMPARE(m_bar->sortMenu()->menuAction()->text(), QStringLiteral("&Sortieren"));
    QStringList captions;
    for (const QAction* item : m_bar->sortMenu()->actions()) {
        QVERIFY(item->isSeparator() || !item->isEnabled());
        captions << item->text();
    }
    QCOMPARE(captions,
             (QStringList{QStringLiteral("Name"), QStringLiteral("Firma"), QStringLiteral("Tel-Mobil"),
                          QStringLiteral("Tel-Privat"), QStringLiteral("Tel-Arbeit"),
                          QStringLiteral("e-mail"), QString(), QStringLiteral("Reihenfolge der Datei")}));
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
    auto* edit = new QLineEdit(QStringLiteral("Müller Jürgen"));
    showWith(edit);
    edit->setSelection(7, 6);
    QApplication::clipboard()->setText(QStringLiteral("Ablage"));

    for (const QString& name : item.split(QLatin1Char(','))) {
        m_window->findChild<QAction*>(name)->trigger();
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
    const QString card = QStringLiteral("BEGIN:VCARD\nFN:Anna\nEND:VCARD");
    auto* view = new QPlainTextEdit(card);
    view->setReadOnly(true);
    showWith(view);
    view->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("Ablage"));

    m_window->findChild<QAction*>(item)->trigger();

    QCOMPARE(view->toPlainText(), card);
    m_bar->copyAction()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), card);
}

QTEST_MAIN(tst_MenuBar1)
#include "tst_menubar1.moc"
