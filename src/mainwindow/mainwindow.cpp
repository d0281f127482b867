#include "mainwindow/mainwindow.h"

#include "contactlist/contactlistmodel.h"
#include "detailwindow/detailwindow.h"
#include "detailwindow/valuemenu.h"
#include "mainwindow/birthdaywindow.h"
#include "mainwindow/contactlistmenu.h"
#include "mainwindow/hintlabel.h"
#include "mainwindow/importflow.h"
#include "mainwindow/importprogress.h"
#include "mainwindow/listfilter.h"
#include "mainwindow/listoutput.h"
#include "menubar/appmenubar.h"
#include "platform/accessiblelistbox.h"
#include "platform/dialogs.h"
#include "platform/edgelocks.h"
#include "platform/filetypes.h"
#include "platform/germantext.h"
#include "platform/listbox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QUrl>
#include <algorithm>

namespace tovanel {

namespace {
// The controls are laid out for a window of this size; the edge locks carry them along from there.
constexpr QSize DesignSize(960, 480);

} // namespace

MainWindow::MainWindow(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs),
      m_contactModel(new ContactListModel(ContactListModel::List::Contacts, this)),
      m_addressModel(new ContactListModel(ContactListModel::List::Addresses, this)),
      m_quit([] { QCoreApplication::quit(); }), m_progressDelay(ImportProgress::DefaultDelayMs) {
    setObjectName(QStringLiteral("Window1"));
    m_menuBar = new AppMenuBar(this);
    setMenuBar(m_menuBar);

    setWindowTitle(QStringLiteral("Adressen"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    createControls();
    m_importFlow =
        new ImportFlow(*this, m_filePath, *m_contactModel, *m_addressModel, m_dialogs, m_contactList);
    connect(m_importFlow, &ImportFlow::readToEnd, this, &MainWindow::fileReadToEnd);
    // The sizes are those of the window's content; a menu bar inside the window comes on top.
    const int menuHeight = m_menuBar->isNativeMenuBar() ? 0 : m_menuBar->sizeHint().height();
    resize(DesignSize.width(), DesignSize.height() + menuHeight);
    connectHandlers();
    connectViewChoices();
    setAcceptDrops(true);
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("content"));
    central->setMinimumSize(800, 480);
    central->setMaximumSize(32000, 32000);
    setCentralWidget(central);
    central->resize(DesignSize);
    auto* locks = new EdgeLocks(central, DesignSize);

    installListBoxAccessibility();
    createContactList(central, *locks);

    // The filter and the count above the list, which gave up their height.
    m_filter = new ListFilter(central, *m_contactModel, *m_menuBar, m_dialogs);
    locks->place(m_filter->field(), {30, 12, 280, 24}, Qt::LeftEdge | Qt::TopEdge);
    locks->place(m_filter->countLabel(), {320, 14, 620, 20}, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge);
    connect(m_filter, &ListFilter::toList, this, [this] {
        if (m_contactList->selectedRow() < 0 && m_contactModel->rowCount() > 0) {
            m_contactList->selectRow(0);
        }
        m_contactList->setFocus();
    });

    auto* hint =
        new HintLabel(QStringLiteral("Doppelclick zeigt mehr Details || Nr. Fett = Favorit"), central);
    hint->followPalette();
    m_hintLabel = hint;
    m_hintLabel->setObjectName(QStringLiteral("Label2"));
    m_hintLabel->setAutoFillBackground(true);
    m_hintLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    locks->place(m_hintLabel, {478, 441, 516, 20}, Qt::LeftEdge | Qt::BottomEdge);

    createAddressList(central, *locks);
    createSearchRow(central, *locks);

    m_clearSortLabel = new QLabel(QStringLiteral("x"), central);
    m_clearSortLabel->setObjectName(QStringLiteral("Label1"));
    m_clearSortLabel->setAccessibleName(QStringLiteral("Sortierung aufheben"));
    m_clearSortLabel->setAlignment(Qt::AlignCenter);
    m_clearSortLabel->setToolTip(QStringLiteral("clear the sort"));
    // Reached by Tab after the list and pressed with Space or Return; a label draws no focus of its own.
    m_clearSortLabel->setFocusPolicy(Qt::StrongFocus);
    m_clearSortLabel->setStyleSheet(QStringLiteral("QLabel:focus { border: 1px solid palette(highlight); }"));
    locks->place(m_clearSortLabel, {10, 40, 15, 20}, Qt::LeftEdge | Qt::TopEdge);

    setTabOrder(m_searchField, m_searchButton);
    setTabOrder(m_searchButton, m_nextButton);
    setTabOrder(m_nextButton, m_filter->field());
    setTabOrder(m_filter->field(), m_contactList);
    setTabOrder(m_contactList, m_clearSortLabel);
}

void MainWindow::createContactList(QWidget* central, EdgeLocks& locks) {
    m_contactList = new ListBox(central);
    m_contactList->setObjectName(QStringLiteral("Adressen"));
    m_contactList->setAccessibleName(QStringLiteral("Kontakte"));
    m_contactList->setModel(m_contactModel);
    // No sort column at start: the rows stay in file order until a heading is clicked.
    m_contactList->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_contactList->setSortingEnabled(true);
    // The last share is the file column's, there only while the list holds several files.
    m_contactList->setColumnWidths(QStringLiteral("0,1.8*,0.8*,1*,1*,1*,1.4*, 0, 0.8*"));
    m_contactList->setDragEnabled(true);
    m_contactList->setDragDropMode(QAbstractItemView::DragOnly);
    m_contactList->setTypeAheadEnabled(false);
    m_contactList->setDragText([this] { return dragText(); });
    m_contactList->setDragFormats(
        [this](QMimeData& data) { addCardToDrag(data, contactOfRow(m_contactList->selectedRow())); });
    connect(m_contactList, &ListBox::menuRequested, this, [this](const QModelIndex& index, const QPoint& at) {
        if (QMenu* menu = index.isValid() ? cellMenu(index.row(), index.column()) : nullptr) {
            m_contactList->selectRow(index.row());
            popUpMenu(menu, at);
        }
    });
    locks.place(m_contactList, {30, 42, 910, 386},
                Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
}

void MainWindow::createAddressList(QWidget* central, EdgeLocks& locks) {
    m_addressList = new ListBox(central);
    m_addressList->setObjectName(QStringLiteral("adrData"));
    m_addressList->setModel(m_addressModel);
    // Never laid out, so its rows need no places: without a model its vertical header keeps no record
    // per row, which for a million contacts is the size of the list's own order.
    m_addressList->verticalHeader()->setModel(nullptr);
    m_addressList->setFocusPolicy(Qt::NoFocus);
    m_addressList->setFrameShape(QFrame::NoFrame);
    m_addressList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_addressList->setDragEnabled(false);
    locks.place(m_addressList, {724, 373, 201, 100}, Qt::RightEdge | Qt::BottomEdge);
    // A window of its own that is never shown: accessibility tools list a window's controls, hidden
    // ones too, and this list is only the import's bookkeeping.
    m_addressList->setWindowFlag(Qt::Window);
    m_addressList->setVisible(false);
    m_addressList->setEnabled(false);
}

void MainWindow::createSearchRow(QWidget* central, EdgeLocks& locks) {
    // The search row stays with the window's bottom edge, below the list that grows above it.
    m_searchField = new QLineEdit(central);
    m_searchField->setObjectName(QStringLiteral("SearchField"));
    m_searchField->setAccessibleName(QStringLiteral("Name suchen"));
    m_searchField->setPlaceholderText(QStringLiteral("Eingabe"));
    locks.place(m_searchField, {25, 440, 259, 22}, Qt::LeftEdge | Qt::BottomEdge);

    // The buttons take no focus from a mouse click, so the search text keeps it and Return keeps working.
    m_searchButton = new QPushButton(QStringLiteral("Name finden"), central);
    m_searchButton->setObjectName(QStringLiteral("SearchButton"));
    m_searchButton->setToolTip(QStringLiteral("search name"));
    m_searchButton->setFocusPolicy(Qt::TabFocus);
    locks.place(m_searchButton, {296, 441, 100, 20}, Qt::LeftEdge | Qt::BottomEdge);

    m_nextButton = new QPushButton(QStringLiteral("Weiter"), central);
    m_nextButton->setObjectName(QStringLiteral("NextButton"));
    m_nextButton->setToolTip(QStringLiteral("search next"));
    m_nextButton->setFocusPolicy(Qt::TabFocus);
    m_nextButton->setEnabled(false);
    locks.place(m_nextButton, {408, 441, 58, 20}, Qt::LeftEdge | Qt::BottomEdge);
}

void MainWindow::connectViewChoices() {
    connect(m_menuBar->givenFirstAction(), &QAction::triggered, this,
            [this] { m_contactModel->setNameOrder(NameOrder::GivenFirst); });
    connect(m_menuBar->familyFirstAction(), &QAction::triggered, this,
            [this] { m_contactModel->setNameOrder(NameOrder::FamilyFirst); });
    for (int column = 0; column < ContactColumn::Count; ++column) {
        if (QAction* action = m_menuBar->columnAction(column)) {
            connect(action, &QAction::toggled, this, &MainWindow::showChosenColumns);
        }
    }
    QHeaderView* header = m_contactList->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& at) {
        if (m_menuBar->columnsMenu()->isEnabled()) {
            popUpMenu(m_menuBar->columnsMenu(), header->viewport()->mapToGlobal(at));
        }
    });
    // The file column is there while the list holds several files.
    connect(m_contactModel, &QAbstractItemModel::modelReset, this, [this] {
        m_contactList->setColumnShown(ContactColumn::File, m_contactModel->table().fileCount() > 1);
    });
    m_contactList->setColumnShown(ContactColumn::File, false);
    showChosenColumns();
}

void MainWindow::showChosenColumns() {
    std::vector<int> added;
    for (int column = 0; column < ContactColumn::Count; ++column) {
        if (const QAction* action = m_menuBar->columnAction(column)) {
            m_contactList->setColumnShown(column, action->isChecked());
            if (isAddedColumn(column) && action->isChecked()) {
                added.push_back(column);
            }
        }
    }
    if (!m_contactModel->setAddedColumns(std::move(added))) {
        m_dialogs.message(outOfMemoryTo(QStringLiteral("die Liste zu filtern")));
    }
}

void MainWindow::connectHandlers() {
    connect(m_contactList, &ListBox::doubleClick, this, &MainWindow::openDetail);
    m_contactList->installEventFilter(this);
    m_clearSortLabel->installEventFilter(this);

    // "Detail" follows the selection at once, so its shortcut is right without the menu being opened.
    connect(m_contactList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateDetailAction);
    // A new table drops the selection without a selection signal.
    connect(m_contactModel, &QAbstractItemModel::modelReset, this, [this] {
        m_contactList->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        m_search.reset();
        updateDetailAction();
    });
    connect(m_contactModel, &QAbstractItemModel::layoutChanged, this, &MainWindow::updateDetailAction);
    // Queued: the header's click handler is still on the stack when the sort gives up.
    connect(
        m_contactModel, &ContactListModel::sortFailed, this,
        [this] { m_dialogs.message(outOfMemoryTo(QStringLiteral("die Liste zu sortieren"))); },
        Qt::QueuedConnection);
    connect(m_menuBar->fileMenu(), &QMenu::aboutToShow, this, &MainWindow::updateDetailAction);

    connect(m_menuBar->openAction(), &QAction::triggered, this, &MainWindow::askAndOpen);
    connect(m_menuBar->addFilesAction(), &QAction::triggered, this, &MainWindow::askAndAdd);
    connect(m_menuBar->detailAction(), &QAction::triggered, this, &MainWindow::openDetail);
    connect(m_menuBar->exportAction(), &QAction::triggered, this,
            [this] { writeList(&ListOutput::exportToFile); });
    connect(m_menuBar->printAction(), &QAction::triggered, this, [this] { writeList(&ListOutput::print); });
    connect(m_menuBar->closeAction(), &QAction::triggered, this, &MainWindow::close);
    // The menu's own handler copies from a focused text control; the list has none, so this one serves it.
    connect(m_menuBar->copyAction(), &QAction::triggered, this, [this] {
        if (QApplication::focusWidget() == m_contactList) {
            copySelected();
        }
    });
    for (int column = ContactColumn::Name; column <= ContactColumn::Email; ++column) {
        QAction* sort = m_menuBar->sortAction(column);
        sort->setEnabled(true);
        connect(sort, &QAction::triggered, this, [this, column] { sortByColumn(column); });
    }
    m_menuBar->fileOrderAction()->setEnabled(true);
    connect(m_menuBar->fileOrderAction(), &QAction::triggered, this, &MainWindow::clearSort);

    connect(m_searchField, &QLineEdit::textChanged, this, &MainWindow::searchTextChanged);
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::findFromTop);
    connect(m_nextButton, &QPushButton::clicked, this, &MainWindow::findNext);
    connect(m_menuBar->findNextAction(), &QAction::triggered, this, [this] { findAgain(true); });
    connect(m_menuBar->findPreviousAction(), &QAction::triggered, this, [this] { findAgain(false); });
    connect(m_menuBar->birthdaysAction(), &QAction::triggered, this, [this] {
        showBirthdays();
        m_birthdays->show();
        m_birthdays->raise();
        m_birthdays->activateWindow();
    });
    // An open "Geburtstage" window follows the list: another file, another filter.
    const auto followList = [this] {
        if (m_birthdays && m_birthdays->isVisible()) {
            showBirthdays();
        }
    };
    connect(m_contactModel, &QAbstractItemModel::modelReset, this, followList);
    connect(m_contactModel, &QAbstractItemModel::layoutChanged, this, followList);
    updateDetailAction();
}

DetailWindow* MainWindow::detail() {
    if (!m_detail) {
        m_detail = new DetailWindow(m_dialogs, this);
        // The application's own items work from the detail window's menu bar as from this one.
        const AppMenuBar* detailMenus = m_detail->appMenuBar();
        connect(detailMenus->quitAction(), &QAction::triggered, m_menuBar->quitAction(), &QAction::trigger);
        connect(detailMenus->aboutAction(), &QAction::triggered, m_menuBar->aboutAction(), &QAction::trigger);
        connect(detailMenus->exportAction(), &QAction::triggered, m_menuBar->exportAction(),
                &QAction::trigger);
        connect(detailMenus->printAction(), &QAction::triggered, m_menuBar->printAction(), &QAction::trigger);
    }
    return m_detail;
}

// Window events

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        hideDetailWindow();
    }
}

void MainWindow::hideDetailWindow() {
    // A detail window that was never opened need not be built just to be hidden; building it at the
    // first activation would hold up the window's first paint at start-up.
    if (m_detail) {
        m_detail->hide();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_quit) {
        m_quit();
    }
}

void MainWindow::updateDetailAction() {
    m_menuBar->detailAction()->setEnabled(m_contactList->selectedRow() > -1);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Not a dialog, so Return is not taken to the default button for us. What reaches the window here
    // was left alone by the focused control (the search field passes Return on).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        for (QPushButton* button : {m_searchButton, m_nextButton}) {
            if (button->isDefault() && button->isEnabled()) {
                button->click();
                event->accept();
                return;
            }
        }
    }
    QMainWindow::keyPressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_contactList && event->type() == QEvent::KeyPress) {
        return handleListKey(static_cast<QKeyEvent*>(event));
    }
    if (watched == m_clearSortLabel && event->type() == QEvent::MouseButtonPress) {
        clearSort();
        return false;
    }
    if (watched == m_clearSortLabel && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            clearSort();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// The contact list

QString MainWindow::dragText() const {
    return m_contactModel->dragText(m_contactList->selectedRow());
}

bool MainWindow::handleListKey(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // After a hit Return walks on through the hits; otherwise it opens the selected contact. It
        // never starts a search of its own from here.
        if (m_nextButton->isDefault() && m_nextButton->isEnabled()) {
            m_nextButton->click();
        } else if (m_contactList->selectedRow() >= 0) {
            openDetail();
        }
        event->accept();
        return true;
    }
    if (event->matches(QKeySequence::Copy)) {
        copySelected();
        event->accept();
        return true;
    }
    // Only a key that types something starts a search; navigation, Tab, Escape and shortcuts keep their
    // meaning in the list. Ctrl together with Alt is AltGr on some systems and does type.
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool command = (mods & (Qt::ControlModifier | Qt::MetaModifier)) &&
                         !(mods.testFlag(Qt::ControlModifier) && mods.testFlag(Qt::AltModifier));
    const QString text = event->text();
    const bool printable =
        !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); });
    if (command || !printable) {
        return false;
    }
    m_searchField->setFocus();
    m_searchField->setText(text);
    m_searchField->setCursorPosition(int(text.size()));
    // The text may not have changed (the same letter again); the search starts from the top all the same.
    searchTextChanged();
    return true;
}

QString MainWindow::copyText() const {
    return m_contactModel->copyText(m_contactList->selectedRow());
}

void MainWindow::copySelected() {
    const QString text = copyText();
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

void MainWindow::sortByColumn(int column) {
    const QHeaderView* header = m_contactList->horizontalHeader();
    const bool turn =
        header->sortIndicatorSection() == column && header->sortIndicatorOrder() == Qt::AscendingOrder;
    m_contactList->sortByColumn(column, turn ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MainWindow::clearSort() {
    // Back to file order: the contact number is the sort column again, ascending.
    m_contactList->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_contactModel->sort(ContactColumn::Number, Qt::AscendingOrder);
}

// Menu items

void MainWindow::writeList(void (ListOutput::*write)() const) {
    // Before the first file there is no list to write.
    if (m_filePath.isEmpty()) {
        return;
    }
    const bool sortedByName =
        m_contactList->horizontalHeader()->sortIndicatorSection() == ContactColumn::Name;
    const ListOutput output{m_dialogs,  this,         *m_contactModel, m_exportFilter,
                            m_filePath, sortedByName, m_progressDelay};
    (output.*write)();
}

void MainWindow::openDetail() {
    m_selected = m_contactList->selectedRow();
    detail()->showContact(contactOfRow(m_selected));
}

void MainWindow::showBirthdays() {
    if (!m_birthdays) {
        m_birthdays = new BirthdayWindow(this);
        connect(m_birthdays, &BirthdayWindow::contactChosen, this,
                [this](const ContactRef& contact) { detail()->showContact(contact); });
    }
    m_birthdays->showList(m_contactModel->sharedTable(), m_contactModel->shownList().contacts);
}

QMenu* MainWindow::cellMenu(int row, int column) {
    return contactCellMenu(this, *m_contactModel, row, column, contactOfRow(row), m_dialogs);
}

ContactRef MainWindow::contactOfRow(int row) const {
    // Each contact is looked for in its own file.
    if (row < 0 || row >= m_contactModel->rowCount()) {
        return {};
    }
    const qsizetype contact = m_contactModel->contactAt(row);
    return {m_contactModel->sharedTable(), contact, m_contactModel->table().sourceOf(contact)};
}

// The name search

ContactList MainWindow::shownContacts() const {
    return m_contactModel->shownList();
}

int MainWindow::searchName(const QString& text, int start) {
    const ContactSearch::Hit hit = m_search.find(shownContacts(), text, start);
    // After a hit the search can go on below it: "Weiter" takes Return from here. A hit on the row the
    // search began on counts too, or a list whose first row matches could never reach its second hit.
    if (hit.belowStart || hit.rowsBelow) {
        m_searchButton->setDefault(false);
        m_nextButton->setDefault(true);
        m_nextButton->setEnabled(true);
    }
    if (hit.row >= 0) {
        return hit.row;
    }
    m_nextButton->setDefault(false);
    m_nextButton->setEnabled(false);
    m_searchButton->setDefault(true);
    return -1;
}

void MainWindow::searchTextChanged() {
    m_searchButton->setDefault(true);
    m_nextButton->setDefault(false);
}

void MainWindow::findFromTop() {
    // A search from the top decides the column afresh.
    m_search.reset();
    m_selected = searchName(m_searchField->text(), 0);
    showSearchResult();
}

void MainWindow::findNext() {
    m_selected = searchName(m_searchField->text(), m_selected + 1);
    showSearchResult();
}

void MainWindow::findAgain(bool forward) {
    QString text = m_searchField->text();
    if (text.isEmpty()) {
        text = m_filter->field()->text();
    }
    if (text.isEmpty()) {
        return;
    }
    const ContactList list = shownContacts();
    const int current = m_contactList->selectedRow();
    m_selected = forward ? m_search.find(list, text, current + 1).row
                         : m_search.findBefore(list, text, current - 1).row;
    showSearchResult();
}

QLineEdit* MainWindow::filterField() const {
    return m_filter->field();
}

QLabel* MainWindow::countLabel() const {
    return m_filter->countLabel();
}

void MainWindow::showSearchResult() {
    if (m_selected == -1) {
        m_dialogs.message(QStringLiteral("Leider nicht gefunden"));
        m_searchField->setFocus();
        m_searchField->selectAll();
        return;
    }
    m_contactList->selectRow(m_selected);
    m_contactList->setFocus();
}

} // namespace tovanel
