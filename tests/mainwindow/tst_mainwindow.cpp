#include "contrast.h"
#include "detailwindow/detailrows.h"
#include "detailwindow/detailwindow.h"
#include "menubar/appmenubar.h"
#include "platform/listbox.h"
#include "tempfiles.h"
#include "windowfixture.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <memory>

using namespace tovanel;

class tst_MainWindow : public QObject, private WindowFixture {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Layout
    void controlsFollowTheWindowSize_data();
    void controlsFollowTheWindowSize();
    void hintTextStaysReadable_data();
    void hintTextStaysReadable();
    void startsEmpty();
    void columnsShareTheListWidth();

    // Detail window
    void detailItemFollowsTheSelection();
    void detailOpensOnlyForAContact();
    void opensTheDetailWindow_data();
    void opensTheDetailWindow();
    void nextContinuesBelowTheContactLastOpened();
    void activationHidesTheDetailWindow();

    // Drag and drop
    void dragCarriesTheSelectedRowAsText_data();
    void dragCarriesTheSelectedRowAsText();
    void dropImportsItsVcardFiles_data();
    void dropImportsItsVcardFiles();

    // Keyboard in the list
    void typingInTheListStartsASearch_data();
    void typingInTheListStartsASearch();
    void returnInTheListOpensTheSelectedContact_data();
    void returnInTheListOpensTheSelectedContact();
    void tabGoesFieldFindNextListX();
    void firstKeySelectsTheFirstRow_data();
    void firstKeySelectsTheFirstRow();

    // Sorting
    void labelXRestoresFileOrder();
    void keyboardSorts_data();
    void keyboardSorts();
    void filterNarrowsTheListAndCounts_data();
    void filterNarrowsTheListAndCounts();
    void groupMenuNamesTheListsGroups_data();
    void groupMenuNamesTheListsGroups();
    void duplicatesAreMarkedOnceFound();

    // Menu commands
    void openAsksForAFileOfTheKnownTypes_data();
    void openAsksForAFileOfTheKnownTypes();
    void closingQuitsTheApplication_data();
    void closingQuitsTheApplication();

private:
    QModelIndex nameIndex(int row) const { return window->contactModel()->index(row, ContactColumn::Name); }
    void clickRow(int row);
    void loadAbh();
};

void tst_MainWindow::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void tst_MainWindow::init() {
    QVERIFY(open());
}

void tst_MainWindow::cleanup() {
    close();
    QVERIFY(noWindowVisible());
}

void tst_MainWindow::clickRow(int row) {
    ListBox* list = window->contactList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(nameIndex(row)).center());
}

// Anna and Bernd in "Familie", Bernd in "Sport & Spiel" too, Hanna in no group.
void tst_MainWindow::loadAbh() {
    QByteArray vcf = cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")}));
    vcf.replace("FN:Anna\r\n", "FN:Anna\r\nCATEGORIES:Familie\r\n");
    vcf.replace("FN:Bernd\r\n", "FN:Bernd\r\nCATEGORIES:Familie,Sport & Spiel\r\n");
    load(*window, vcf);
}

// ---- Layout

void tst_MainWindow::controlsFollowTheWindowSize_data() {
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<bool>("grow"); // else they keep their size and their distance to the bottom
    QTest::newRow("the list grows both ways") << QStringList{QStringLiteral("Adressen")} << true;
    QTest::newRow("the search row stays at the bottom")
        << QStringList{QStringLiteral("SearchField"), QStringLiteral("SearchButton"),
                       QStringLiteral("NextButton")}
        << false;
}

void tst_MainWindow::controlsFollowTheWindowSize() {
    QFETCH(QStringList, controls);
    QFETCH(bool, grow);
    QWidget* content = window->centralWidget();
    const QSize start = content->size();
    QCOMPARE(start, QSize(960, 480));
    QList<std::pair<QWidget*, QRect>> placed;
    for (const QString& name : controls) {
        auto* widget = content->findChild<QWidget*>(name);
        QVERIFY(widget);
        placed.append({widget, widget->geometry()});
    }
    // The window's frame around the content (the menu bar) stays the same at every size.
    const QSize frame = window->size() - content->size();
    // Large, then asked for less than the smallest content the window allows.
    for (const auto& [asked, size] :
         {std::pair(QSize(1400, 900), QSize(1400, 900)), std::pair(QSize(100, 100), QSize(800, 480))}) {
        window->resize(frame + asked);
        QTRY_COMPARE(content->size(), size);
        const QSize change = size - start;
        for (const auto& [widget, before] : placed) {
            const QRect now = widget->geometry();
            QCOMPARE(now.left(), before.left());
            if (grow) {
                QCOMPARE(now.top(), before.top());
                QCOMPARE(now.size(), before.size() + change);
            } else {
                QCOMPARE(now.top(), before.top() + change.height());
                QCOMPARE(now.size(), before.size());
            }
        }
    }
}

void tst_MainWindow::hintTextStaysReadable_data() {
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QColor>("placeholder"); // the dark theme's
    QTest::addColumn<QColor>("hint");

    QTest::newRow("light: the designed grey") << false << QColor() << QColor(0x4A, 0x4A, 0x4A);
    QTest::newRow("dark: the theme's placeholder colour")
        << true << QColor(0xa0, 0xa0, 0xa0) << QColor(0xa0, 0xa0, 0xa0);
    QTest::newRow("dark: too faint a placeholder gives the text colour")
        << true << QColor(0xfc, 0xfc, 0xfc, 100) << QColor(0xfc, 0xfc, 0xfc);
}

void tst_MainWindow::hintTextStaysReadable() {
    QFETCH(bool, dark);
    QFETCH(QColor, placeholder);
    const QPalette before = QApplication::palette();
    if (dark) {
        // Switched while the window is open, as a desktop's theme switch does.
        switchPalette(darkPalette(placeholder));
    }
    auto* hint = window->centralWidget()->findChild<QLabel*>(QStringLiteral("Label2"));
    QVERIFY(hint);
    const QColor text = hint->palette().color(QPalette::WindowText);
    const QColor background = hint->palette().color(QPalette::Window);
    switchPalette(before);
    QTEST(text, "hint");
    QVERIFY2(wcagContrast(text, background) >= 4.5,
             qPrintable(QString::number(wcagContrast(text, background))));
}

void tst_MainWindow::startsEmpty() {
    MainWindow& w = *window;
    QCOMPARE(w.windowTitle(), QStringLiteral("Adressen"));
    QCOMPARE(w.centralWidget()->minimumSize(), QSize(800, 480));
    QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.searchField()->text(), QString());
    QVERIFY(!w.nextButton()->isEnabled());
    QVERIFY(!w.searchButton()->isDefault());
    QVERIFY(!w.nextButton()->isDefault());
    QVERIFY(!w.addressList()->isVisible());
    QVERIFY(!w.addressList()->isEnabled());
    QCOMPARE(w.contactList()->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(!w.contactList()->showGrid());
    QVERIFY(w.contactList()->horizontalHeader()->isVisible());
    QCOMPARE(w.contactList()->horizontalHeader()->sectionResizeMode(1), QHeaderView::Fixed);
    QCOMPARE(w.contactList()->horizontalHeader()->sortIndicatorSection(), -1);
    QCOMPARE(w.contactList()->model()->rowCount(), 0);
    QCOMPARE(w.selected(), 0);
}

void tst_MainWindow::columnsShareTheListWidth() {
    // Enough rows for the scroll bar: the columns then share the narrower viewport, with no gap.
    QStringList names;
    for (int i = 0; i < 60; ++i) {
        names << QStringLiteral("Kontakt %1").arg(i);
    }
    load(*window, cards(named(names)));
    ListBox* list = window->contactList();
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

    window->resize(window->size() + QSize(300, 0));
    QTRY_COMPARE(list->width(), 910 + 300);
    QTRY_COMPARE(visibleWidth(), list->viewport()->width());
    // 1.8 : 1.4 between "Name" and "e-mail"
    QVERIFY(qAbs(list->columnWidth(1) * 1.4 - list->columnWidth(6) * 1.8) <= 3.0);
}

// ---- Detail window

void tst_MainWindow::detailItemFollowsTheSelection() {
    QAction* detailItem = window->appMenuBar()->detailAction();
    QVERIFY(!detailItem->isEnabled());
    loadAbh();
    QVERIFY(!detailItem->isEnabled());

    clickRow(1);
    QVERIFY(detailItem->isEnabled());
    window->contactList()->clearSelection();
    QVERIFY(!detailItem->isEnabled());
    window->contactList()->selectRow(2);
    QVERIFY(detailItem->isEnabled());
    // A new table has no selection.
    loadAbh();
    QVERIFY(!detailItem->isEnabled());
}

void tst_MainWindow::detailOpensOnlyForAContact() {
    loadAbh();
    ListBox* list = window->contactList();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(!window->detail()->isVisible());
    QCOMPARE(window->selected(), 0);
    // Nor does a double-click below the last row, where no contact is.
    const QPoint below(40, list->visualRect(nameIndex(2)).bottom() + 40);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
    QVERIFY(!window->detail()->isVisible());
    QCOMPARE(window->selected(), 0);
}

void tst_MainWindow::opensTheDetailWindow_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("row"); // clicked first
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("sorted");  // by name, descending
    QTest::addColumn<QString>("name"); // the one the detail window shows
    QTest::newRow("double-click") << "double-click" << 1 << 1 << false << "Bernd";
    QTest::newRow("Ctrl+D") << "shortcut" << 2 << 2 << false << "Hanna";
    QTest::newRow("menu item") << "menu" << 0 << 0 << false << "Anna";
    QTest::newRow("menu item, list sorted") << "menu" << 0 << 0 << true << "Hanna";
}

void tst_MainWindow::opensTheDetailWindow() {
    QFETCH(QString, how);
    QFETCH(int, row);
    QFETCH(bool, sorted);
    loadAbh();
    if (sorted) {
        window->contactList()->sortByColumn(ContactColumn::Name, Qt::DescendingOrder);
    }
    clickRow(row);
    ListBox* list = window->contactList();
    if (how == QLatin1String("double-click")) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(nameIndex(row)).center());
    } else if (how == QLatin1String("shortcut")) {
        QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    } else {
        window->appMenuBar()->detailAction()->trigger();
    }

    DetailWindow* detail = window->detail();
    QTRY_VERIFY(detail->isVisible());
    QCOMPARE(detail->windowModality(), Qt::ApplicationModal);
    QTEST(window->selected(), "selected");
    const QAbstractItemModel* rows = detail->list()->model();
    QTEST(rows->index(int(Field::Name), DetailRows::Value).data().toString(), "name");
    detail->hide();
    QTEST(window->selected(), "selected");
}

void tst_MainWindow::nextContinuesBelowTheContactLastOpened() {
    loadAbh();
    window->searchField()->setText(QStringLiteral("ber"));
    QTest::mouseClick(window->searchButton(), Qt::LeftButton); // Bernd, "Weiter" enabled
    window->searchField()->setText(QStringLiteral("nna"));
    clickRow(2);
    QTest::mouseDClick(window->contactList()->viewport(), Qt::LeftButton, {},
                       window->contactList()->visualRect(nameIndex(2)).center());
    QTRY_VERIFY(window->detail()->isVisible());
    window->detail()->hide();

    // Hanna was opened last: "Weiter" starts past the last row, so again at the top, on Anna.
    QTest::mouseClick(window->nextButton(), Qt::LeftButton);
    QCOMPARE(window->selected(), 0);
}

void tst_MainWindow::activationHidesTheDetailWindow() {
    QPointer<DetailWindow> first = window->detail();
    QVERIFY(first);
    QCOMPARE(window->detail(), first.data());
    first->show();
    QVERIFY(QTest::qWaitForWindowActive(first.data()));

    window->activateWindow();
    QTRY_VERIFY(!first->isVisible());

    // Destroyed by its close box, it comes back fresh on the next use.
    delete first.data();
    QVERIFY(window->detail());
    QVERIFY(!window->detail()->isVisible());
}

// ---- Drag and drop

void tst_MainWindow::dragCarriesTheSelectedRowAsText_data() {
    QTest::addColumn<QStringList>("contact");
    QTest::addColumn<QString>("cellsBeforePos");
    QTest::addColumn<QString>("copied"); // by Ctrl+C in the list: "Name" to "e-mail"
    QTest::newRow("name only: six tabs before Pos")
        << QStringList{QStringLiteral("Anna")} << QStringLiteral("Anna\t\t\t\t\t\t")
        << QStringLiteral("Anna\t\t\t\t\t");
    QTest::newRow("name, company, mobile")
        << QStringList{QStringLiteral("Jürgen Müller"), QStringLiteral("Bäckerei"),
                       QStringLiteral("+49 171 1")}
        << QStringLiteral("Jürgen Müller\tBäckerei\t0171 1\t\t\t\t")
        << QStringLiteral("Jürgen Müller\tBäckerei\t0171 1\t\t\t");
    QTest::newRow("all six columns") << QStringList{QStringLiteral("Eva"), QStringLiteral("F"),
                                                    QStringLiteral("1"),   QStringLiteral("e@x.de"),
                                                    QStringLiteral("2"),   QStringLiteral("3")}
                                     << QStringLiteral("Eva\tF\t1\t2\t3\te@x.de\t")
                                     << QStringLiteral("Eva\tF\t1\t2\t3\te@x.de");
}

void tst_MainWindow::dragCarriesTheSelectedRowAsText() {
    QFETCH(QStringList, contact);
    QFETCH(QString, cellsBeforePos);
    TempFiles files;
    window->openFile(files.write(QStringLiteral("zwei.vcf"), cards({{QStringLiteral("Erster")}, contact})));
    QTRY_COMPARE(window->contactModel()->rowCount(), 2);
    const QString pos = window->contactModel()->cell(1, ContactColumn::EndPosition);
    QVERIFY(!pos.isEmpty());

    QVERIFY(!window->contactList()->createDragData()); // nothing selected, no drag
    clickRow(1);
    std::unique_ptr<QMimeData> data(window->contactList()->createDragData());
    QVERIFY(data);
    QCOMPARE(data->formats(), (QStringList{QStringLiteral("text/plain"), QStringLiteral("text/vcard")}));
    QCOMPARE(data->text(), cellsBeforePos + pos + QLatin1Char('\t'));
    // Programs that take a vCard get the card as the file holds it.
    QCOMPARE(data->data(QStringLiteral("text/vcard")), cards({contact}));
    QCOMPARE(data->text().count(QLatin1Char('\t')), 7);

    QGuiApplication::clipboard()->clear();
    window->contactList()->setFocus();
    QTest::keyClick(window->contactList(), Qt::Key_C, Qt::ControlModifier);
    QTEST(QGuiApplication::clipboard()->text(), "copied");
}

void tst_MainWindow::dropImportsItsVcardFiles_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("title");
    QTest::newRow("one vcf") << QStringList{QStringLiteral("anna.vcf")} << true
                             << QStringLiteral("file name: anna.vcf");
    QTest::newRow("two vcf: one list") << QStringList{QStringLiteral("carla.vcf"), QStringLiteral("anna.vcf")}
                                       << true << QStringLiteral("file name: carla.vcf und 1 weitere");
    QTest::newRow("vcard, the other extension")
        << QStringList{QStringLiteral("berta.vcard")} << true << QStringLiteral("file name: berta.vcard");
    QTest::newRow("text file refused")
        << QStringList{QStringLiteral("dora.txt")} << false << QStringLiteral("Adressen");
    QTest::newRow("text file left out") << QStringList{QStringLiteral("dora.txt"), QStringLiteral("anna.vcf")}
                                        << true << QStringLiteral("file name: anna.vcf");
    QTest::newRow("no file at all") << QStringList() << false << QStringLiteral("Adressen");
}

void tst_MainWindow::dropImportsItsVcardFiles() {
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
    QApplication::sendEvent(window.get(), &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    if (accepted) {
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &drop);
        QVERIFY(drop.isAccepted());
    }

    QTEST(window->windowTitle(), "title");
    QCOMPARE(window->contactModel()->rowCount(), accepted ? window->addressModel()->rowCount() : 0);
    QCOMPARE(dialogs.messages, QStringList());
}

// ---- Keyboard in the list

void tst_MainWindow::typingInTheListStartsASearch_data() {
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

void tst_MainWindow::typingInTheListStartsASearch() {
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(bool, routed);
    loadAbh();
    window->searchField()->setText(QStringLiteral("alt"));
    window->searchButton()->setDefault(false);
    clickRow(1);
    ListBox* list = window->contactList();
    list->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), list);

    QTest::sendKeyEvent(QTest::Click, list, Qt::Key(key), text, Qt::KeyboardModifiers(modifiers));

    QTEST(list->selectedRow(), "rowAfter");
    if (routed) {
        QCOMPARE(QApplication::focusWidget(), window->searchField());
        QCOMPARE(window->searchField()->text(), text);
        QCOMPARE(window->searchField()->cursorPosition(), 1);
        QVERIFY(window->searchButton()->isDefault());
    } else {
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(window->searchField()->text(), QStringLiteral("alt"));
        QVERIFY(!window->searchButton()->isDefault());
    }
}

void tst_MainWindow::returnInTheListOpensTheSelectedContact_data() {
    QTest::addColumn<int>("row"); // clicked first, -1: none
    QTest::newRow("a row selected: its detail window") << 1;
    QTest::newRow("nothing selected: nothing") << -1;
}

void tst_MainWindow::returnInTheListOpensTheSelectedContact() {
    QFETCH(int, row);
    loadAbh();
    window->searchField()->setText(QStringLiteral("zzz")); // "Name finden" is the default and would miss
    QVERIFY(window->searchButton()->isDefault());
    if (row >= 0) {
        clickRow(row);
    }
    window->contactList()->setFocus();

    QTest::keyClick(window->contactList(), Qt::Key_Return);

    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(window->searchField()->text(), QStringLiteral("zzz"));
    QCOMPARE(window->detail()->isVisible(), row >= 0);
    QCOMPARE(window->selected(), row >= 0 ? row : 0);
    window->detail()->hide();
}

void tst_MainWindow::tabGoesFieldFindNextListX() {
    loadAbh();
    window->nextButton()->setEnabled(true);
    window->searchField()->setFocus();
    const QList<QWidget*> order{window->searchButton(), window->nextButton(),     window->filterField(),
                                window->contactList(),  window->clearSortLabel(), window->searchField()};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void tst_MainWindow::firstKeySelectsTheFirstRow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("lastRow");
    QTest::newRow("home") << int(Qt::Key_Home) << false;
    QTest::newRow("arrow down") << int(Qt::Key_Down) << false;
    QTest::newRow("arrow up") << int(Qt::Key_Up) << false;
    QTest::newRow("end goes to the last row") << int(Qt::Key_End) << true;
}

void tst_MainWindow::firstKeySelectsTheFirstRow() {
    QFETCH(int, key);
    // An import hands the focus to the list with nothing selected.
    window->searchField()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), window->searchField());
    window->openFile(dataFile(QStringLiteral("anna.vcf")));
    QTRY_COMPARE(QApplication::focusWidget(), window->contactList());
    QCOMPARE(window->contactList()->selectedRow(), -1);

    QTest::keyClick(window->contactList(), Qt::Key(key));

    QFETCH(bool, lastRow);
    QCOMPARE(window->contactList()->selectedRow(), lastRow ? window->contactModel()->rowCount() - 1 : 0);
    QVERIFY(window->appMenuBar()->detailAction()->isEnabled());
}

// ---- Sorting

void tst_MainWindow::labelXRestoresFileOrder() {
    load(*window, cards(named({QStringLiteral("Zora"), QStringLiteral("Anton"), QStringLiteral("Moritz")})));
    const auto column = [](const ContactListModel* model, int c) {
        QStringList texts;
        for (int r = 0; r < model->rowCount(); ++r) {
            texts << model->cell(r, c);
        }
        return texts;
    };
    const QStringList addressListIds = column(window->addressModel(), 0);
    QHeaderView* header = window->contactList()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));

    QCOMPARE(column(window->contactModel(), 1),
             (QStringList{QStringLiteral("Anton"), QStringLiteral("Moritz"), QStringLiteral("Zora")}));
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(column(window->addressModel(), 0), addressListIds);

    QTest::mouseClick(window->clearSortLabel(), Qt::LeftButton);

    QCOMPARE(column(window->contactModel(), 0),
             (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(column(window->contactModel(), 1),
             (QStringList{QStringLiteral("Zora"), QStringLiteral("Anton"), QStringLiteral("Moritz")}));
    QCOMPARE(header->sortIndicatorSection(), -1);
    QCOMPARE(column(window->addressModel(), 0), addressListIds);
}

void tst_MainWindow::keyboardSorts_data() {
    QTest::addColumn<QString>("keys"); // "1".."6", "0" with Ctrl; "space"/"return" on the x
    QTest::addColumn<int>("section");
    QTest::addColumn<QStringList>("names");
    const QString zam = QStringLiteral("Zora,Anton,Moritz");
    QTest::newRow("Ctrl+1 by name") << "1" << 1 << QStringLiteral("Anton,Moritz,Zora").split(u',');
    QTest::newRow("Ctrl+1 again reverses") << "1,1" << 1 << QStringLiteral("Zora,Moritz,Anton").split(u',');
    QTest::newRow("three times: ascending again")
        << "1,1,1" << 1 << QStringLiteral("Anton,Moritz,Zora").split(u',');
    QTest::newRow("Ctrl+2 by company") << "1,2" << 2 << QStringLiteral("Moritz,Zora,Anton").split(u',');
    QTest::newRow("Ctrl+6 by e-mail") << "6" << 6 << QStringLiteral("Anton,Zora,Moritz").split(u',');
    QTest::newRow("Ctrl+0 file order") << "1,0" << -1 << zam.split(u',');
    QTest::newRow("space on the x") << "1,space" << -1 << zam.split(u',');
    QTest::newRow("return on the x") << "2,return" << -1 << zam.split(u',');
}

void tst_MainWindow::keyboardSorts() {
    QFETCH(QString, keys);
    load(*window, cards({{QStringLiteral("Zora"), QStringLiteral("B"), {}, QStringLiteral("a@x")},
                         {QStringLiteral("Anton"), QStringLiteral("C"), {}, QStringLiteral("")},
                         {QStringLiteral("Moritz"), QStringLiteral("A"), {}, QStringLiteral("b@x")}}));
    window->contactList()->setFocus();
    for (const QString& key : keys.split(u',')) {
        if (key == QLatin1String("space") || key == QLatin1String("return")) {
            window->clearSortLabel()->setFocus();
            QCOMPARE(QApplication::focusWidget(), window->clearSortLabel());
            QTest::keyClick(window->clearSortLabel(),
                            key == QLatin1String("space") ? Qt::Key_Space : Qt::Key_Return);
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(Qt::Key_0 + key.toInt()),
                            Qt::ControlModifier);
        }
    }
    QTEST(window->contactList()->horizontalHeader()->sortIndicatorSection(), "section");
    QStringList names;
    for (int r = 0; r < window->contactModel()->rowCount(); ++r) {
        names << window->contactModel()->cell(r, ContactColumn::Name);
    }
    QTEST(names, "names");
    QCOMPARE(dialogs.messages, QStringList());
}

void tst_MainWindow::filterNarrowsTheListAndCounts_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("selected");
    const QStringList all{QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")};
    const QStringList nna{QStringLiteral("Anna"), QStringLiteral("Hanna")};
    QTest::newRow("nothing typed") << QString() << QStringLiteral("3 Kontakte") << all << -1;
    QTest::newRow("typed") << QStringLiteral("ctrl+f,nna") << QStringLiteral("2 von 3 Kontakten") << nna
                           << -1;
    QTest::newRow("Esc clears") << QStringLiteral("ctrl+f,nna,esc") << QStringLiteral("3 Kontakte") << all
                                << -1;
    QTest::newRow("Return goes on to the list")
        << QStringLiteral("ctrl+f,nna,return") << QStringLiteral("2 von 3 Kontakten") << nna << 0;
    QTest::newRow("quick filter") << QStringLiteral("AnsichtFavoriten") << QStringLiteral("0 von 3 Kontakten")
                                  << QStringList() << -1;
    QTest::newRow("quick filter and back")
        << QStringLiteral("AnsichtOhneEmail,AnsichtAlle") << QStringLiteral("3 Kontakte") << all << -1;
    QTest::newRow("group") << QStringLiteral("AnsichtGruppe1") << QStringLiteral("2 von 3 Kontakten")
                           << QStringList{QStringLiteral("Anna"), QStringLiteral("Bernd")} << -1;
    QTest::newRow("group and text") << QStringLiteral("ctrl+f,nna,AnsichtGruppe1")
                                    << QStringLiteral("1 von 3 Kontakten")
                                    << QStringList{QStringLiteral("Anna")} << -1;
    QTest::newRow("without group and a quick filter")
        << QStringLiteral("AnsichtOhneGruppe,AnsichtOhneEmail") << QStringLiteral("1 von 3 Kontakten")
        << QStringList{QStringLiteral("Hanna")} << -1;
    QTest::newRow("group and back") << QStringLiteral("AnsichtGruppe2,AnsichtAlleGruppen")
                                    << QStringLiteral("3 Kontakte") << all << -1;
    QTest::newRow("F3 through the filtered list")
        << QStringLiteral("ctrl+f,nna,f3,f3") << QStringLiteral("2 von 3 Kontakten") << nna << 1;
    QTest::newRow("Shift+F3 back") << QStringLiteral("ctrl+f,nna,f3,f3,shift+f3")
                                   << QStringLiteral("2 von 3 Kontakten") << nna << 0;
    QTest::newRow("Shift+F3 from the top: the last hit")
        << QStringLiteral("ctrl+f,n,shift+f3") << QStringLiteral("3 von 3 Kontakten") << all << 2;
}

void tst_MainWindow::filterNarrowsTheListAndCounts() {
    QFETCH(QString, keys);
    loadAbh();
    for (const QString& key : keys.split(u',', Qt::SkipEmptyParts)) {
        QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        if (key == QLatin1String("ctrl+f")) {
            QTest::keyClick(focused, Qt::Key_F, Qt::ControlModifier);
            QCOMPARE(QApplication::focusWidget(), window->filterField());
        } else if (key == QLatin1String("esc")) {
            QTest::keyClick(focused, Qt::Key_Escape);
        } else if (key == QLatin1String("return")) {
            QTest::keyClick(focused, Qt::Key_Return);
        } else if (key == QLatin1String("f3") || key == QLatin1String("shift+f3")) {
            QTest::keyClick(focused, Qt::Key_F3, key.startsWith(u's') ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (key.startsWith(QLatin1String("Ansicht"))) {
            window->appMenuBar()->findChild<QAction*>(key)->trigger();
        } else {
            QTest::keyClicks(focused, key);
        }
    }
    QTEST(window->countLabel()->text(), "count");
    QStringList names;
    for (int r = 0; r < window->contactModel()->rowCount(); ++r) {
        names << window->contactModel()->cell(r, ContactColumn::Name);
    }
    QTEST(names, "names");
    QTEST(window->contactList()->selectedRow(), "selected");
    QCOMPARE(dialogs.messages, QStringList());
}

void tst_MainWindow::duplicatesAreMarkedOnceFound() {
    // Anna twice by her e-mail address: the list shows at once, and the marks come when they are found.
    QByteArray vcf =
        cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Anna M.")}));
    vcf.replace("FN:Anna\r\n", "FN:Anna\r\nEMAIL:anna@example.org\r\n");
    vcf.replace("FN:Anna M.\r\n", "FN:Anna M.\r\nEMAIL:anna@example.org\r\n");
    TempFiles files;
    window->openFile(files.write(QStringLiteral("doppelt.vcf"), vcf));
    ContactListModel* model = window->contactModel();
    QCOMPARE(model->rowCount(), 3);
    // The duplicates filter, set before they are found, takes them in as they come.
    window->appMenuBar()->findChild<QAction*>(QStringLiteral("AnsichtDoppelte"))->trigger();
    QCOMPARE(model->rowCount(), 0);
    QTRY_COMPARE(model->rowCount(), 2);
    QCOMPARE(nameIndex(1).data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("Doppelt"));
    QCOMPARE(window->countLabel()->text(), QStringLiteral("2 von 3 Kontakten"));
}

void tst_MainWindow::groupMenuNamesTheListsGroups_data() {
    QTest::addColumn<QByteArray>("vcf");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("no groups") << cards(named({QStringLiteral("Anna")})) << QStringList();
    QTest::newRow("groups") << QByteArray() // loadAbh
                            << QStringList{QStringLiteral("Alle Gruppen"), QStringLiteral("Familie (2)"),
                                           QStringLiteral("Sport && Spiel (1)"),
                                           QStringLiteral("Ohne Gruppe (1)")};
    // The largest groups, in name order; the others are left to the filter field.
    QByteArray many = "BEGIN:VCARD\r\nFN:Viele\r\nCATEGORIES:";
    QStringList entries{QStringLiteral("Alle Gruppen")};
    for (int i = 1; i <= 1500; ++i) {
        const QString name = QStringLiteral("G%1").arg(i, 4, 10, QLatin1Char('0'));
        many += (i == 1 ? "" : ",") + name.toLatin1();
        if (i < 200) {
            entries << name + QStringLiteral(" (1)");
        }
    }
    many += "\r\nEND:VCARD\r\n" + cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd")}))
                                      .replace("\r\nEND", "\r\nCATEGORIES:Zebra\r\nEND");
    entries << QStringLiteral("Zebra (2)") << QStringLiteral("… und 1.301 weitere")
            << QStringLiteral("Ohne Gruppe (0)");
    QTest::newRow("very many groups") << many << entries;
}

void tst_MainWindow::groupMenuNamesTheListsGroups() {
    QFETCH(QByteArray, vcf);
    QFETCH(QStringList, entries);
    // A group chosen in the list before: the new list shows all its groups.
    loadAbh();
    window->appMenuBar()->findChild<QAction*>(QStringLiteral("AnsichtGruppe1"))->trigger();
    QCOMPARE(window->countLabel()->text(), QStringLiteral("2 von 3 Kontakten"));
    if (vcf.isEmpty()) {
        loadAbh();
    } else {
        load(*window, vcf);
    }
    QMenu* menu = window->appMenuBar()->groupMenu();
    QCOMPARE(menu->menuAction()->isEnabled(), !entries.isEmpty());
    QStringList shown;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            shown << action->text();
        }
    }
    QCOMPARE(shown, entries);
    if (!entries.isEmpty()) {
        QCOMPARE(window->appMenuBar()->groupFilters()->checkedAction()->text(),
                 QStringLiteral("Alle Gruppen"));
    }
    QVERIFY(!window->countLabel()->text().contains(QStringLiteral(" von ")));
}

// ---- Menu commands

void tst_MainWindow::openAsksForAFileOfTheKnownTypes_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("rows");
    QTest::newRow("file chosen") << dataFile(QStringLiteral("anna.vcf"))
                                 << QStringLiteral("file name: anna.vcf") << 2;
    QTest::newRow("cancelled") << QString() << QStringLiteral("file name: carla.vcf") << 1;
}

void tst_MainWindow::openAsksForAFileOfTheKnownTypes() {
    QFETCH(QString, answer);
    window->openFile(dataFile(QStringLiteral("carla.vcf")));
    dialogs.nextFiles << answer;

    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);

    QCOMPARE(dialogs.openFileTypes, QStringList{QStringLiteral("vcf Files;text File;all Files")});
    QTEST(window->windowTitle(), "title");
    QTEST(window->contactModel()->rowCount(), "rows");
    QCOMPARE(dialogs.messages, QStringList());
}

void tst_MainWindow::closingQuitsTheApplication_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("close box") << "close box";
    QTest::newRow("Schließen, Ctrl+W") << "shortcut";
    QTest::newRow("Schließen from the menu") << "menu";
}

void tst_MainWindow::closingQuitsTheApplication() {
    QFETCH(QString, how);
    QVERIFY(window->detail()); // exists, hidden
    if (how == QLatin1String("close box")) {
        window->close();
    } else if (how == QLatin1String("shortcut")) {
        QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    } else {
        window->appMenuBar()->closeAction()->trigger();
    }
    QCOMPARE(quits, 1);
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
