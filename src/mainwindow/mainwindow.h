#pragma once

#include "contactlist/contactsearch.h"
#include "contacts/contactref.h"
#include "export/contactexport.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;

namespace tovanel {

class ContactListModel;
class DetailWindow;
class Dialogs;
class EdgeLocks;
class ImportFlow;
class ListBox;
class ListFilter;
struct ListOutput;
class AppMenuBar;
class BirthdayWindow;

// The program's one document window: the contact list, the hidden address list beside it, the name search
// below the list, and every road into a file.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Reads a vCard file into the lists, as openFiles does one path; an empty path changes nothing.
    void openFile(const QString& path);
    // Reads files and folders (their vCard files, a few levels deep) into one list in place of the open
    // one (ImportFlow::open). An empty list changes nothing, and so does any list while an import is still
    // running (a document handed over meanwhile is not queued).
    void openFiles(const QStringList& paths);
    // Adds files and folders to the open list; files already in it are left out.
    void addFiles(const QStringList& paths);
    bool importing() const { return m_importing; }
    // How long a reading may take before the progress window shows.
    void setProgressDelay(int ms) { m_progressDelay = ms; }
    // The first row at or after `start` that holds `text` (ignoring case), as ContactSearch finds it in
    // the list as shown, or -1. Switches the default button as the search goes on.
    int searchName(const QString& text, int start);

    QString filePath() const { return m_filePath; }
    int selected() const { return m_selected; }

    // The one detail window, created on first use and again after it was destroyed.
    DetailWindow* detail();

    // What closing the window does; by default the application quits.
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }

    // Controls.
    ListBox* contactList() const { return m_contactList; }
    ListBox* addressList() const { return m_addressList; }
    QLabel* hintLabel() const { return m_hintLabel; }
    QLineEdit* searchField() const { return m_searchField; }
    // The filter above the list and the count beside it.
    QLineEdit* filterField() const;
    QLabel* countLabel() const;
    QPushButton* searchButton() const { return m_searchButton; }
    QPushButton* nextButton() const { return m_nextButton; }
    // The "x" before the list that brings back file order.
    QLabel* clearSortLabel() const { return m_clearSortLabel; }
    ContactListModel* contactModel() const { return m_contactModel; }
    ContactListModel* addressModel() const { return m_addressModel; }
    // The window's menu bar; the application attaches its own items to it.
    AppMenuBar* appMenuBar() const { return m_menuBar; }

    // The context menu of a cell of the contact list (caller owns it); nullptr outside the shown fields.
    QMenu* cellMenu(int row, int column);

    // The drag text of the selected row: the cells from "Name" to "Pos", each followed by a tab.
    QString dragText() const;
    // What "Kopieren" copies from the list: the selected row's cells from "Name" to "e-mail", tab-separated.
    QString copyText() const;

signals:
    // An import read its file to the end.
    void fileReadToEnd();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createContactList(QWidget* central, EdgeLocks& locks);
    // Never shown: the import's bookkeeping of the address fields.
    void createAddressList(QWidget* central, EdgeLocks& locks);
    // The name search below the list: the field and its two buttons.
    void createSearchRow(QWidget* central, EdgeLocks& locks);
    void connectHandlers();
    // "Ansicht › Namen" and "Ansicht › Spalten" (also on the column headings).
    void connectViewChoices();
    void showChosenColumns();

    void hideDetailWindow();
    void updateDetailAction();
    bool handleListKey(QKeyEvent* event);
    void clearSort();
    // Sorts by a column from the keyboard or menu; the column already sorted by turns round.
    void sortByColumn(int column);
    void copySelected();
    void askAndOpen();
    // "Exportieren …" and "Drucken …": the list as shown.
    void writeList(void (ListOutput::*write)() const);
    void searchTextChanged();
    void findFromTop();
    void findNext();
    // F3 and Shift+F3: the next or previous hit of the search text (else the filter's) in the list as shown.
    void findAgain(bool forward);

    void openDetail();
    // "Geburtstage": the window over the list as shown, opened or brought up to date.
    void showBirthdays();
    // The contact shown in `row` of the list, as the detail window and a drag take it.
    ContactRef contactOfRow(int row) const;
    void showSearchResult();
    // The contact list as it is shown, for the search.
    ContactList shownContacts() const;
    // The vCard files and folders of a drag.
    static QStringList droppedPaths(const QMimeData* data);
    void readFiles(const QStringList& paths, bool add);
    void askAndAdd();

    Dialogs& m_dialogs;
    ContactListModel* m_contactModel;
    ContactListModel* m_addressModel;
    AppMenuBar* m_menuBar = nullptr;
    ListBox* m_contactList = nullptr;
    QLabel* m_hintLabel = nullptr;
    ListBox* m_addressList = nullptr;
    QLineEdit* m_searchField = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_nextButton = nullptr;
    QLabel* m_clearSortLabel = nullptr;
    ListFilter* m_filter = nullptr;
    QPointer<DetailWindow> m_detail;
    QPointer<BirthdayWindow> m_birthdays;
    std::function<void()> m_quit;
    QString m_filePath;
    ImportFlow* m_importFlow = nullptr;
    int m_selected = 0;
    ContactSearch m_search;
    bool m_importing = false;
    int m_progressDelay;
    // The export's format filter last chosen; kept for the run only.
    ExportFormat m_exportFilter = ExportFormat::Xlsx;
};

} // namespace tovanel
