#include "contacts/fields.h"
#include "menubar/appmenubar.h"

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

using namespace tovanel;

using ActionOf = std::function<QAction*(const AppMenuBar&)>;
Q_DECLARE_METATYPE(ActionOf)

class tst_AppMenuBar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void itemIsFoundByNameAndFiresOnItsShortcut_data();
    void itemIsFoundByNameAndFiresOnItsShortcut();
    void onlyDetailAndSortingStartDisabled();
    void everyItemHasAnUnderlinedLetterOfItsOwn_data();
    void everyItemHasAnUnderlinedLetterOfItsOwn();

    void editItemsActOnTheFocusedTextControl_data();
    void editItemsActOnTheFocusedTextControl();
    void editItemsLeaveAReadOnlyTextAlone_data();
    void editItemsLeaveAReadOnlyTextAlone();

private:
    // A window carrying the bar with `central` focused.
    void showWith(QWidget* central);

    std::unique_ptr<QMainWindow> m_window;
    AppMenuBar* m_bar = nullptr;
};

void tst_AppMenuBar::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void tst_AppMenuBar::init() {
    m_window = std::make_unique<QMainWindow>();
    m_bar = new AppMenuBar(m_window.get());
    m_window->setMenuBar(m_bar);
}

void tst_AppMenuBar::cleanup() {
    m_window.reset();
}

void tst_AppMenuBar::showWith(QWidget* central) {
    m_window->setCentralWidget(central);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    central->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), central);
}

// Tests and accessibility find the items by these names; the windows reach them through the accessors.
void tst_AppMenuBar::itemIsFoundByNameAndFiresOnItsShortcut_data() {
    QTest::addColumn<ActionOf>("action");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QKeySequence>("shortcut");
    const auto row = [](const char* name, ActionOf action, const QKeySequence& shortcut = {}) {
        QTest::newRow(name) << action << QString::fromUtf8(name) << shortcut;
    };
    row("AblageOeffnen", &AppMenuBar::openAction, QKeySequence(Qt::CTRL | Qt::Key_O));
    row("AblageDetail", &AppMenuBar::detailAction, QKeySequence(Qt::CTRL | Qt::Key_D));
    row("AblageExportieren", &AppMenuBar::exportAction, QKeySequence(Qt::CTRL | Qt::Key_E));
    row("AblageDrucken", &AppMenuBar::printAction, QKeySequence(Qt::CTRL | Qt::Key_P));
    row("AblageSchließen", &AppMenuBar::closeAction, QKeySequence(Qt::CTRL | Qt::Key_W));
    row("FileQuit", &AppMenuBar::quitAction, QKeySequence(Qt::CTRL | Qt::Key_Q));
    row("UeberTovanel", &AppMenuBar::aboutAction);
    row("EditUndo", &AppMenuBar::undoAction, QKeySequence(Qt::CTRL | Qt::Key_Z));
    row("EditCut", &AppMenuBar::cutAction, QKeySequence(Qt::CTRL | Qt::Key_X));
    row("EditCopy", &AppMenuBar::copyAction, QKeySequence(Qt::CTRL | Qt::Key_C));
    row("EditCopyVal", &AppMenuBar::copyValueAction, QKeySequence(Qt::CTRL | Qt::Key_Y));
    row("EditPaste", &AppMenuBar::pasteAction, QKeySequence(Qt::CTRL | Qt::Key_V));
    row("EditClear", &AppMenuBar::clearAction);
    row("AnsichtGeburtstage", &AppMenuBar::birthdaysAction);
    row("EditSelectAll", &AppMenuBar::selectAllAction, QKeySequence(Qt::CTRL | Qt::Key_A));
    row(
        "Sort1", [](const AppMenuBar& bar) { return bar.sortAction(ContactColumn::Name); },
        QKeySequence(Qt::CTRL | Qt::Key_1));
    row(
        "Sort6", [](const AppMenuBar& bar) { return bar.sortAction(ContactColumn::Email); },
        QKeySequence(Qt::CTRL | Qt::Key_6));
    row("SortFileOrder", &AppMenuBar::fileOrderAction, QKeySequence(Qt::CTRL | Qt::Key_0));
}

void tst_AppMenuBar::itemIsFoundByNameAndFiresOnItsShortcut() {
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

void tst_AppMenuBar::everyItemHasAnUnderlinedLetterOfItsOwn_data() {
    QTest::addColumn<QStringList>("captions"); // added to the view menu, as a list of files does
    QTest::newRow("the bar as built") << QStringList();
    QTest::newRow("files of a list, one with & in its name")
        << QStringList{QStringLiteral("Nur „kontakte.vcf“"), QStringLiteral("Nur „kontakte.vcf“"),
                       QStringLiteral("Nur „A&&B.vcf“")};
}

void tst_AppMenuBar::everyItemHasAnUnderlinedLetterOfItsOwn() {
    QFETCH(QStringList, captions);
    for (const QString& caption : captions) {
        m_bar->viewMenu()->addAction(caption);
    }
    for (QMenu* menu : {m_bar->fileMenu(), m_bar->editMenu(), m_bar->sortMenu(), m_bar->viewMenu()}) {
        emit menu->aboutToShow();
        QSet<QChar> letters;
        for (const QAction* item : menu->actions()) {
            const QString text = QString(item->text()).replace(QStringLiteral("&&"), QString());
            const qsizetype mark = text.indexOf(u'&');
            QVERIFY2(item->isSeparator() || (mark >= 0 && mark + 1 < text.size()), qPrintable(text));
            if (!item->isSeparator()) {
                const QChar letter = text.at(mark + 1).toLower();
                QVERIFY2(!letters.contains(letter), qPrintable(text));
                letters.insert(letter);
            }
        }
    }
}

void tst_AppMenuBar::onlyDetailAndSortingStartDisabled() {
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
        captions << QString(item->text()).remove(u'&');
    }
    // One item per column of the list, captioned as the column is, then the file order.
    QStringList expected;
    for (const Field field : {Field::Name, Field::Company, Field::MobilePhone, Field::HomePhone,
                              Field::WorkPhone, Field::Email}) {
        expected << fieldCaption(field);
    }
    expected << QString() << QStringLiteral("Reihenfolge der Datei");
    QCOMPARE(captions, expected);
}

// ---- editing items

void tst_AppMenuBar::editItemsActOnTheFocusedTextControl_data() {
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

void tst_AppMenuBar::editItemsActOnTheFocusedTextControl() {
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

void tst_AppMenuBar::editItemsLeaveAReadOnlyTextAlone_data() {
    QTest::addColumn<QString>("item");
    QTest::newRow("cut") << "EditCut";
    QTest::newRow("paste") << "EditPaste";
    QTest::newRow("clear") << "EditClear";
}

void tst_AppMenuBar::editItemsLeaveAReadOnlyTextAlone() {
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

QTEST_MAIN(tst_AppMenuBar)
#include "tst_appmenubar.moc"
