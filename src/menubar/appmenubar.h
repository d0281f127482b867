#pragma once

#include "contacts/fields.h"

#include <QMenuBar>

class QAction;
class QActionGroup;
class QMenu;

namespace tovanel {

// The application's menu bar: "&Ablage" and "&Bearbeiten". Each window carries its own and attaches its
// handlers to the actions it serves; every item keeps a stable objectName for tests and accessibility.
// The standard editing items work on whichever text control has the keyboard focus.
class AppMenuBar final : public QMenuBar {
    Q_OBJECT
public:
    explicit AppMenuBar(QWidget* parent = nullptr);

    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* editMenu() const { return m_editMenu; }
    // "Sortieren" in "Bearbeiten": one item per visible list column, and the file order.
    QMenu* sortMenu() const { return m_sortMenu; }

    QAction* openAction() const { return m_open; }
    QAction* addFilesAction() const { return m_add; }
    QAction* detailAction() const { return m_detail; }
    // The list as shown, to a file or to paper.
    QAction* exportAction() const { return m_export; }
    QAction* printAction() const { return m_print; }
    QAction* closeAction() const { return m_close; }
    QAction* quitAction() const { return m_quit; }
    QAction* aboutAction() const { return m_about; }
    QAction* undoAction() const { return m_undo; }
    QAction* cutAction() const { return m_cut; }
    QAction* copyAction() const { return m_copy; }
    QAction* copyValueAction() const { return m_copyValue; }
    QAction* pasteAction() const { return m_paste; }
    QAction* clearAction() const { return m_clear; }
    QAction* selectAllAction() const { return m_selectAll; }
    // Sorting by contact list column `column` (ContactColumn::Name … Email, Ctrl+1 … Ctrl+6); nullptr for
    // others.
    QAction* sortAction(int column) const;
    // Back to the order of the file (Ctrl+0), as the "x" before the list does.
    QAction* fileOrderAction() const { return m_fileOrder; }

    // "Ansicht": the filter field, the next and previous hit, and the quick filters in one exclusive
    // group ("Alle Kontakte" first); the entries of the files of a list come after `fileFilterSeparator`.
    QMenu* viewMenu() const { return m_viewMenu; }
    QAction* filterAction() const { return m_filter; }
    QAction* findNextAction() const { return m_findNext; }
    QAction* findPreviousAction() const { return m_findPrevious; }
    // "Geburtstage": the birthdays and anniversaries of the list, the next first.
    QAction* birthdaysAction() const { return m_birthdays; }
    QActionGroup* quickFilters() const { return m_quickFilters; }
    // "Namen": "Vorname Nachname" (checked at start) or "Nachname, Vorname".
    QAction* givenFirstAction() const { return m_givenFirst; }
    QAction* familyFirstAction() const { return m_familyFirst; }
    // "Spalten": a checkable item per contact list column but the name (ContactColumn::Company … Email
    // and the added columns); nullptr for others. The same menu opens on the column headings.
    QMenu* columnsMenu() const { return m_columnsMenu; }
    QAction* columnAction(int column) const {
        return column >= 0 && column < ContactColumn::Count ? m_columns[column] : nullptr;
    }
    // "Gruppe" after the quick filters: its entries, one exclusive group, are put in by the window that
    // has the list.
    QMenu* groupMenu() const { return m_groupMenu; }
    QActionGroup* groupFilters() const { return m_groupFilters; }
    QAction* fileFilterSeparator() const { return m_fileFilters; }
    static constexpr int SortColumns = ContactColumn::Email - ContactColumn::Name + 1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether `object` is a widget of the window this menu bar serves.
    bool serves(QObject* object) const;
    void createFileMenu();
    void createEditMenu();
    void createSortMenu();
    void createViewMenu();
    QMenu* addNamedMenu(const QString& name, const QString& caption);
    static QAction* addItem(QMenu* menu, const QString& name, const QString& caption,
                            const QString& shortcut = {});

    QMenu* m_fileMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_sortMenu = nullptr;
    QAction* m_sort[SortColumns] = {};
    QAction* m_fileOrder = nullptr;
    QAction* m_open = nullptr;
    QAction* m_add = nullptr;
    QMenu* m_viewMenu = nullptr;
    QAction* m_filter = nullptr;
    QAction* m_findNext = nullptr;
    QAction* m_findPrevious = nullptr;
    QAction* m_birthdays = nullptr;
    QActionGroup* m_quickFilters = nullptr;
    QAction* m_givenFirst = nullptr;
    QAction* m_familyFirst = nullptr;
    QMenu* m_namesMenu = nullptr;
    QMenu* m_columnsMenu = nullptr;
    QAction* m_columns[ContactColumn::Count] = {};
    QMenu* m_groupMenu = nullptr;
    QActionGroup* m_groupFilters = nullptr;
    QAction* m_fileFilters = nullptr;
    QAction* m_detail = nullptr;
    QAction* m_export = nullptr;
    QAction* m_print = nullptr;
    QAction* m_close = nullptr;
    QAction* m_quit = nullptr;
    QAction* m_about = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_cut = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_copyValue = nullptr;
    QAction* m_paste = nullptr;
    QAction* m_clear = nullptr;
    QAction* m_selectAll = nullptr;
};

} // namespace tovanel
