#include "detail.h"
#include "listbox.h"
#include "menubar1.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <memory>

class tst_Window1 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Layout
    void controlsKeepTheirLockedEdges_data();
    void controlsKeepTheirLockedEdges();
    void startsEmptyWithItsCaptions();
    void columnsShareTheListWidth();

    // Detail window
    void detailItemFollowsTheSelection();
    void detailShortcutDoesNothingWithoutSelection();
    void opensTheDetailWindow_data();
    void opensTheDetailWindow();
    void doubleClickBelowTheLastRowHandsOverNoRow();
    void nextContinuesBelowTheContactLastOpened();
    void activationHidesTheDetailWindow();

    // Drag and drop
    void dragCarriesTheSelectedRowAsText_data();
    void dragCarriesTheSelectedRowAsText();
    void dropImportsTheFirstVcfOnly_data();
    void dropImportsTheFirstVcfOnly();

    // Keyboard in the list
    void typingInTheListStartsASearch_data();
    void typingInTheListStartsASearch();
    void returnInTheListDoesNothing();
    void firstKeySelectsTheFirstRow_data();
    void firstKeySelectsTheFirstRow();

    // Sorting
    void labelXRestoresFileOrder();

    // Menu commands
    void openAsksForAFileOfTheKnownTypes_data();
    void openAsksForAFileOfTheKnownTypes();
    void closingQuitsTheApplication_data();
    void closingQuitsTheApplication();

private:
    QModelIndex nameIndex(int row) const { return m_window->adressenModel()->index(row, 1); }
    void clickRow(int row);
    void loadAbh();

    ScriptedDialogs m_dialogs;
    std::unique_ptr<Window1> m_window;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    int m_quits = 0;
};

void tst_Window1::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    registerFileTypes();
}

void tst_Window1::init() {
    m_dialogs.messages.clear();
    m_dialogs.openAnswers.clear();
    m_dialogs.openFileTypes.clear();
    m_quits = 0;
    m_window = std::make_unique<Window1>(m_dialogs);
    m_window->setQuitHandler([this] { ++m_quits; });
    m_tester = std::make_unique<QAbstractItemModelTester>(m_window->adressenModel());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void tst_Window1::cleanup() {
    m_tester.reset();
    m_window.reset();
    const QWidgetList windows = QApplication::topLevelWidgets();
    QVERIFY(std::none_of(windows.cbegin(), windows.cend(), [](QWidget* w) { return w->isVisible(); }));
}

void tst_Window1::clickRow(int row) {
    ListBox* list = m_window->Adressen();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(nameIndex(row)).center());
}

void tst_Window1::loadAbh() {
    load(*m_window, cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")})));
}

// ---- Layout

void tst_Window1::controlsKeepTheirLockedEdges_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("atStart");
    QTest::addColumn<QRect>("widened"); // content 240 wider and 120 higher

    QTest::newRow("Adressen: all edges") << "Adressen" << QRect(30, 14, 910, 414) << QRect(30, 14, 1150, 534);
    QTest::newRow("Label2: left, bottom") << "Label2" << QRect(478, 441, 516, 20) << QRect(478, 561, 516, 20);
    QTest::newRow("adrData: right, bottom")
        << "adrData" << QRect(724, 373, 201, 100) << QRect(964, 493, 201, 100);
    QTest::newRow("SearchField: left, top")
        << "SearchField" << QRect(25, 440, 259, 22) << QRect(25, 440, 259, 22);
    QTest::newRow("SearchButton: left, top")
        << "SearchButton" << QRect(296, 441, 100, 20) << QRect(296, 441, 100, 20);
    QTest::newRow("NextButton: left, top")
        << "NextButton" << QRect(408, 441, 58, 20) << QRect(408, 441, 58, 20);
    QTest::newRow("Label1: left, top") << "Label1" << QRect(10, 12, 15, 20) << QRect(10, 12, 15, 20);
}

void tst_Window1::controlsKeepTheirLockedEdges() {
    QFETCH(QString, control);
    auto* widget = m_window->centralWidget()->findChild<QWidget*>(control);
    QVERIFY(widget);
    QCOMPARE(m_window->centralWidget()->size(), QSize(960, 480));
    QTEST(widget->geometry(), "atStart");

    m_window->resize(m_window->size() + QSize(240, 120));
    QTRY_COMPARE(m_window->centralWidget()->size(), QSize(1200, 600));
    QTEST(widget->geometry(), "widened");

    m_window->resize(m_window->size() - QSize(240, 120));
    QTRY_COMPARE(m_window->centralWidget()->size(), QSize(960, 480));
    QTEST(widget->geometry(), "atStart");
}

void tst_Window1::startsEmptyWithItsCaptions() {
    Window1& w = *m_window;
    QCOMPARE(w.windowTitle(), QStringLiteral("Adressen"));
    QCOMPARE(w.centralWidget()->minimumSize(), QSize(800, 480));
    QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.Label2()->text(), QStringLiteral("Doppelclick zeigt mehr Details || Nr. Fett = Favorit"));
    QCOMPARE(w.Label2()->palette().color(QPalette::WindowText), QColor(0x4A, 0x4A, 0x4A));
    QCOMPARE(w.SearchField()->text(), QString());
    QCOMPARE(w.SearchField()->placeholderText(), QStringLiteral("Eingabe"));
    QCOMPARE(w.SearchButton()->text(), QStringLiteral("Name finden"));
    QCOMPARE(w.SearchButton()->toolTip(), QStringLiteral("search name"));
    QCOMPARE(w.NextButton()->text(), QStringLiteral("Weiter"));
    QVERIFY(!w.NextButton()->isEnabled());
    QVERIFY(!w.SearchButton()->isDefault());
    QVERIFY(!w.NextButton()->isDefault());
    QCOMPARE(w.Label1()->text(), QStringLiteral("x"));
    QCOMPARE(w.Label1()->toolTip(), QStringLiteral("clear the sort"));
    QVERIFY(!w.adrData()->isVisible());
    QVERIFY(!w.adrData()->isEnabled());
    QCOMPARE(w.Adressen()->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(!w.Adressen()->showGrid());
    QVERIFY(w.Adressen()->horizontalHeader()->isVisible());
    QCOMPARE(w.Adressen()->horizontalHeader()->sectionResizeMode(1), QHeaderView::Fixed);
    QCOMPARE(w.Adressen()->horizontalHeader()->sortIndicatorSection(), -1);
    QCOMPARE(w.Adressen()->model()->rowCount(), 0);
    QCOMPARE(w.selected(), 0);
}

void tst_Window1::columnsShareTheListWidth() {
    // Enough rows for the scroll bar: the columns then share the narrower viewport, with no gap.
    QStringList names;
    for (int i = 0; i < 60; ++i) {
        names << QStringLiteral("Kontakt %1").arg(i);
    }
    load(*m_window, cards(named(names)));
    ListBox* list = m_window->Adressen();
    QTRY_VERIFY(list->verticalScrollBar()->isVisible());
    const auto visibleWidth = [list] {
        int sum = 0;
        for (int c = 0; c < list->model()->columnCount(); ++c) {
            sum += list->isColumnHidden(c) ? 0 : list->columnWidth(c);
        }
        return sum;
    };
    QTRY_COMPARE(visibleWidth(), list->viewport()->width());
    QVERIFY(list->isColumnHidden(0));
    QVERIFY(list->isColumnHidden(7));

    m_window->resize(m_window->size() + QSize(300, 0));
    QTRY_COMPARE(list->width(), 910 + 300);
    QTRY_COMPARE(visibleWidth(), list->viewport()->width());
    // 1.8 : 1.4 between "Name" and "e-mail"
    QVERIFY(qAbs(list->columnWidth(1) * 1.4 - list->columnWidth(6) * 1.8) <= 3.0);
}

// ---- Detail window

void tst_Window1::detailItemFollowsTheSelection() {
    QAction* detailItem = m_window->AblageDetail();
    QVERIFY(!detailItem->isEnabled());
    loadAbh();
    QVERIFY(!detailItem->isEnabled());

    clickRow(1);
    QVERIFY(detailItem->isEnabled());
    m_window->Adressen()->clearSelection();
    QVERIFY(!detailItem->isEnabled());
    m_window->Adressen()->setListIndex(2);
    QVERIFY(detailItem->isEnabled());
    // A new table has no selection.
    loadAbh();
    QVERIFY(!detailItem->isEnabled());
}

void tst_Window1::detailShortcutDoesNothingWithoutSelection() {
    loadAbh();
    m_window->Adressen()->setFocus();
    QTest::keyClick(m_window->Adressen(), Qt::Key_D, Qt::ControlModifier);
    QVERIFY(!m_window->detail()->isVisible());
    QCOMPARE(m_window->selected(), 0);
}

void tst_Window1::opensTheDetailWindow_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("row");
    QTest::newRow("double-click") << "double-click" << 1;
    QTest::newRow("Ctrl+D") << "shortcut" << 2;
    QTest::newRow("menu item") << "menu" << 0;
}

void tst_Window1::opensTheDetailWindow() {
    QFETCH(QString, how);
    QFETCH(int, row);
    loadAbh();
    clickRow(row);
    ListBox* list = m_window->Adressen();
    if (how == QLatin1String("double-click")) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(nameIndex(row)).center());
    } else if (how == QLatin1String("shortcut")) {
        QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    } else {
        m_window->AblageDetail()->trigger();
    }

    Detail* detail = m_window->detail();
    QTRY_VERIFY(detail->isVisible());
    QCOMPARE(detail->windowModality(), Qt::ApplicationModal);
    QCOMPARE(m_window->selected(), row);
    detail->hide();
    QCOMPARE(m_window->selected(), row);
}

void tst_Window1::doubleClickBelowTheLastRowHandsOverNoRow() {
    loadAbh();
    clickRow(1);
    ListBox* list = m_window->Adressen();
    const QPoint below(40, list->visualRect(nameIndex(2)).bottom() + 40);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);

    QTRY_VERIFY(m_window->detail()->isVisible());
    QCOMPARE(m_window->selected(), -1);
    m_window->detail()->hide();
}

void tst_Window1::nextContinuesBelowTheContactLastOpened() {
    loadAbh();
    m_window->SearchField()->setText(QStringLiteral("ber"));
    QTest::mouseClick(m_window->SearchButton(), Qt::LeftButton); // Bernd, "Weiter" enabled
    m_window->SearchField()->setText(QStringLiteral("nna"));
    clickRow(2);
    QTest::mouseDClick(m_window->Adressen()->viewport(), Qt::LeftButton, {},
                       m_window->Adressen()->visualRect(nameIndex(2)).center());
    QTRY_VERIFY(m_window->detail()->isVisible());
    m_window->detail()->hide();

    // Hanna was opened last: "Weiter" starts past the last row, so again at the top, on Anna.
    QTest::mouseClick(m_window->NextButton(), Qt::LeftButton);
    QCOMPARE(m_window->selected(), 0);
}

void tst_Window1::activationHidesTheDetailWindow() {
    QPointer<Detail> first = m_window->detail();
    QVERIFY(first);
    QCOMPARE(m_window->detail(), first.data());
    first->show();
    QVERIFY(QTest::qWaitForWindowActive(first.data()));

    m_window->activateWindow();
    QTRY_VERIFY(!first->isVisible());

    // Destroyed by its close box, it comes back fresh on the next use.
    delete first.data();
    QVERIFY(m_window->detail());
    QVERIFY(!m_window->detail()->isVisible());
}

// ---- Drag and drop

void tst_Window1::dragCarriesTheSelectedRowAsText_data() {
    QTest::addColumn<QStringList>("contact");
    QTest::addColumn<QString>("cellsBeforePos");
    QTest::newRow("name only: six tabs before Pos")
        << QStringList{QStringLiteral("Anna")} << QStringLiteral("Anna\t\t\t\t\t\t");
    QTest::newRow("name, company, mobile")
        << QStringList{QStringLiteral("Jürgen Müller"), QStringLiteral("Bäckerei"),
                       QStringLiteral("+49 171 1")}
        << QStringLiteral("Jürgen Müller\tBäckerei\t0171 1\t\t\t\t");
}

void tst_Window1::dragCarriesTheSelectedRowAsText() {
    QFETCH(QStringList, contact);
    QFETCH(QString, cellsBeforePos);
    load(*m_window, cards({{QStringLiteral("Erster")}, contact}));
    const QString pos = m_window->adressenModel()->cell(1, 7);
    QVERIFY(!pos.isEmpty());

    QVERIFY(!m_window->Adressen()->createDragData()); // nothing selected, no drag
    clickRow(1);
    std::unique_ptr<QMimeData> data(m_window->Adressen()->createDragData());
    QVERIFY(data);
    QCOMPARE(data->formats(), QStringList{QStringLiteral("text/plain")});
    QCOMPARE(data->text(), cellsBeforePos + pos + QLatin1Char('\t'));
    QCOMPARE(data->text().count(QLatin1Char('\t')), 7);
}

void tst_Window1::dropImportsTheFirstVcfOnly_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("title");
    QTest::newRow("one vcf") << QStringList{QStringLiteral("anna.vcf")} << true
                             << QStringLiteral("file name: anna.vcf");
    QTest::newRow("two vcf: only the first")
        << QStringList{QStringLiteral("carla.vcf"), QStringLiteral("anna.vcf")} << true
        << QStringLiteral("file name: carla.vcf");
    QTest::newRow("text file refused")
        << QStringList{QStringLiteral("dora.txt")} << false << QStringLiteral("Adressen");
    QTest::newRow("vcf after a text file refused")
        << QStringList{QStringLiteral("dora.txt"), QStringLiteral("anna.vcf")} << false
        << QStringLiteral("Adressen");
    QTest::newRow("no file at all") << QStringList() << false << QStringLiteral("Adressen");
}

void tst_Window1::dropImportsTheFirstVcfOnly() {
    QFETCH(QStringList, files);
    QFETCH(bool, accepted);
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) {
        urls << QUrl::fromLocalFile(dataFile(file));
    }
    if (urls.isEmpty()) {
        data.setText(QStringLiteral("Anna\t"));
    } else {
        data.setUrls(urls);
    }
    const QPoint at(200, 200);

    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    enter.setAccepted(false);
    QApplication::sendEvent(m_window.get(), &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    if (accepted) {
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_window.get(), &drop);
        QVERIFY(drop.isAccepted());
    }

    QTEST(m_window->windowTitle(), "title");
    QCOMPARE(m_window->adressenModel()->rowCount(), accepted ? m_window->adrDataModel()->rowCount() : 0);
    QCOMPARE(m_dialogs.messages, QStringList());
}

// ---- Keyboard in the list

void tst_Window1::typingInTheListStartsASearch_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("routed");
    QTest::addColumn<int>("rowAfter"); // row 1 is selected before the key

    QTest::newRow("letter m") << int(Qt::Key_M) << QStringLiteral("m") << 0 << true << 1;
    QTest::newRow("capital B") << int(Qt::Key_B) << QStringLiteral("B") << int(Qt::ShiftModifier) << true
                               << 1;
    QTest::newRow("umlaut ü") << int(Qt::Key_Udiaeresis) << QStringLiteral("ü") << 0 << true << 1;
    QTest::newRow("digit") << int(Qt::Key_7) << QStringLiteral("7") << 0 << true << 1;
    QTest::newRow("arrow down moves the selection") << int(Qt::Key_Down) << QString() << 0 << false << 2;
    QTest::newRow("arrow up") << int(Qt::Key_Up) << QString() << 0 << false << 0;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << QString() << 0 << false << 2;
    QTest::newRow("home") << int(Qt::Key_Home) << QString() << 0 << false << 0;
    QTest::newRow("end") << int(Qt::Key_End) << QString() << 0 << false << 2;
    QTest::newRow("escape") << int(Qt::Key_Escape) << QStringLiteral("\x1b") << 0 << false << 1;
    QTest::newRow("shift alone") << int(Qt::Key_Shift) << QString() << int(Qt::ShiftModifier) << false << 1;
    QTest::newRow("ctrl+c") << int(Qt::Key_C) << QStringLiteral("\x03") << int(Qt::ControlModifier) << false
                            << 1;
}

void tst_Window1::typingInTheListStartsASearch() {
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(bool, routed);
    loadAbh();
    m_window->SearchField()->setText(QStringLiteral("alt"));
    m_window->SearchButton()->setDefault(false);
    clickRow(1);
    ListBox* list = m_window->Adressen();
    list->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), list);

    QTest::sendKeyEvent(QTest::Click, list, Qt::Key(key), text, Qt::KeyboardModifiers(modifiers));

    QTEST(list->listIndex(), "rowAfter");
    if (routed) {
        QCOMPARE(QApplication::focusWidget(), m_window->SearchField());
        QCOMPARE(m_window->SearchField()->text(), text);
        QCOMPARE(m_window->SearchField()->cursorPosition(), 1);
        QVERIFY(m_window->SearchButton()->isDefault());
    } else {
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(m_window->SearchField()->text(), QStringLiteral("alt"));
        QVERIFY(!m_window->SearchButton()->isDefault());
    }
}

void tst_Window1::returnInTheListDoesNothing() {
    loadAbh();
    m_window->SearchField()->setText(QStringLiteral("zzz")); // "Name finden" is the default and would miss
    QVERIFY(m_window->SearchButton()->isDefault());
    clickRow(0);
    m_window->Adressen()->setFocus();

    QTest::keyClick(m_window->Adressen(), Qt::Key_Return);

    QCOMPARE(m_dialogs.messages, QStringList());
    QCOMPARE(m_window->SearchField()->text(), QStringLiteral("zzz"));
    QCOMPARE(m_window->Adressen()->listIndex(), 0);
    QCOMPARE(m_window->selected(), 0);
    QVERIFY(!m_window->detail()->isVisible());
}

void tst_Window1::firstKeySelectsTheFirstRow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("lastRow");
    QTest::newRow("home") << int(Qt::Key_Home) << false;
    QTest::newRow("arrow down") << int(Qt::Key_Down) << false;
    QTest::newRow("arrow up") << int(Qt::Key_Up) << false;
    QTest::newRow("end goes to the last row") << int(Qt::Key_End) << true;
}

void tst_Window1::firstKeySelectsTheFirstRow() {
    QFETCH(int, key);
    // An import hands the focus to the list with nothing selected.
    m_window->SearchField()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_window->SearchField());
    m_window->OpenVcf(dataFile(QStringLiteral("anna.vcf")));
    QTRY_COMPARE(QApplication::focusWidget(), m_window->Adressen());
    QCOMPARE(m_window->Adressen()->listIndex(), -1);

    QTest::keyClick(m_window->Adressen(), Qt::Key(key));

    QFETCH(bool, lastRow);
    QCOMPARE(m_window->Adressen()->listIndex(), lastRow ? m_window->adressenModel()->rowCount() - 1 : 0);
    QVERIFY(m_window->AblageDetail()->isEnabled());
}

// ---- Sorting

void tst_Window1::labelXRestoresFileOrder() {
    load(*m_window,
         cards(named({QStringLiteral("Zora"), QStringLiteral("Anton"), QStringLiteral("Moritz")})));
    const auto column = [](const AddressTableModel* model, int c) {
        QStringList texts;
        for (int r = 0; r < model->rowCount(); ++r) {
            texts << model->cell(r, c);
        }
        return texts;
    };
    const QStringList adrDataIds = column(m_window->adrDataModel(), 0);
    QHeaderView* header = m_window->Adressen()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));

    QCOMPARE(column(m_window->adressenModel(), 1),
             (QStringList{QStringLiteral("Anton"), QStringLiteral("Moritz"), QStringLiteral("Zora")}));
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(column(m_window->adrDataModel(), 0), adrDataIds);

    QTest::mouseClick(m_window->Label1(), Qt::LeftButton);

    QCOMPARE(column(m_window->adressenModel(), 0),
             (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(column(m_window->adressenModel(), 1),
             (QStringList{QStringLiteral("Zora"), QStringLiteral("Anton"), QStringLiteral("Moritz")}));
    QCOMPARE(header->sortIndicatorSection(), -1);
    QCOMPARE(column(m_window->adrDataModel(), 0), adrDataIds);
}

// ---- Menu commands

void tst_Window1::openAsksForAFileOfTheKnownTypes_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("rows");
    QTest::newRow("file chosen") << dataFile(QStringLiteral("anna.vcf"))
                                 << QStringLiteral("file name: anna.vcf") << 2;
    QTest::newRow("cancelled") << QString() << QStringLiteral("file name: carla.vcf") << 1;
}

void tst_Window1::openAsksForAFileOfTheKnownTypes() {
    QFETCH(QString, answer);
    m_window->OpenVcf(dataFile(QStringLiteral("carla.vcf")));
    m_dialogs.openAnswers << answer;

    QTest::keyClick(m_window.get(), Qt::Key_O, Qt::ControlModifier);

    QCOMPARE(m_dialogs.openFileTypes, QStringList{QStringLiteral("vcf Files;text File")});
    QTEST(m_window->windowTitle(), "title");
    QTEST(m_window->adressenModel()->rowCount(), "rows");
    QCOMPARE(m_dialogs.messages, QStringList());
}

void tst_Window1::closingQuitsTheApplication_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("close box") << "close box";
    QTest::newRow("Schließen, Ctrl+W") << "shortcut";
    QTest::newRow("Schließen from the menu") << "menu";
}

void tst_Window1::closingQuitsTheApplication() {
    QFETCH(QString, how);
    QVERIFY(m_window->detail()); // exists, hidden
    if (how == QLatin1String("close box")) {
        m_window->close();
    } else if (how == QLatin1String("shortcut")) {
        QTest::keyClick(m_window.get(), Qt::Key_W, Qt::ControlModifier);
    } else {
        m_window->AblageSchliessen()->trigger();
    }
    QCOMPARE(m_quits, 1);
    QVERIFY(!m_window->isVisible());
}

QTEST_MAIN(tst_Window1)
#include "tst_window1.moc"
