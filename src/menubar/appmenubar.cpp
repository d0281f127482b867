#include "menubar/appmenubar.h"

#include "contactlist/listcolumns.h"
#include "contacts/fields.h"
#include "platform/accesskeys.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <algorithm>

namespace tovanel {

namespace {

// Any text control has these slots; a focused widget without the slot (a list, a button) ignores the item.
void invokeOnFocused(const char* slot) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) {
        return;
    }
    const QByteArray signature = QByteArray(slot) + "()";
    if (focus->metaObject()->indexOfSlot(signature.constData()) >= 0) {
        QMetaObject::invokeMethod(focus, slot);
    }
}

// "Löschen" removes the selection; Qt's text controls have no slot for that, only for clearing all.
void clearFocusedSelection() {
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        if (!line->isReadOnly() && line->hasSelectedText()) {
            line->del();
        }
    } else if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        if (!text->isReadOnly()) {
            text->textCursor().removeSelectedText();
        }
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        if (!plain->isReadOnly()) {
            plain->textCursor().removeSelectedText();
        }
    }
}

} // namespace

AppMenuBar::AppMenuBar(QWidget* parent) : QMenuBar(parent) {
    setObjectName(QStringLiteral("MenuBar1"));
    createFileMenu();
    createEditMenu();
    createViewMenu();
    for (QMenu* menu :
         {m_fileMenu, m_editMenu, m_sortMenu, m_viewMenu, m_namesMenu, m_columnsMenu, m_groupMenu}) {
        giveAccessKeys(*menu);
        // The view menu gets items of the list's files later.
        connect(menu, &QMenu::aboutToShow, menu, [menu] { giveAccessKeys(*menu); });
    }
    // The key goes to the focused field before any window sees it.
    qApp->installEventFilter(this);
}

bool AppMenuBar::eventFilter(QObject* watched, QEvent* event) {
    // A text field binds keys of its own that are menu shortcuts here: on Linux desktops Ctrl+E is "end of
    // line" and Ctrl+D "delete". A user who has just filtered the list and presses Ctrl+E wants the export.
    // The editing keys stay the field's: its copy, paste and undo are what the menu's items would do there.
    if (event->type() != QEvent::ShortcutOverride || !serves(watched)) {
        return QMenuBar::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    for (const QKeySequence::StandardKey editing :
         {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::SelectAll}) {
        if (key->matches(editing)) {
            return false;
        }
    }
    const QKeySequence pressed(key->keyCombination());
    const QList<QAction*> items = findChildren<QAction*>();
    const bool menuKey = std::any_of(items.begin(), items.end(), [&pressed](const QAction* item) {
        return item->isEnabled() && item->shortcuts().contains(pressed);
    });
    // Filtered without being accepted, the key is the shortcut's.
    return menuKey;
}

bool AppMenuBar::serves(QObject* object) const {
    const auto* widget = qobject_cast<QWidget*>(object);
    return widget && widget->window() == window() && widget != this;
}

void AppMenuBar::createFileMenu() {
    m_fileMenu = addNamedMenu(QStringLiteral("FileMenu"), QStringLiteral("&Ablage"));
    m_open = addItem(m_fileMenu, QStringLiteral("AblageOeffnen"), QStringLiteral("Öffnen"),
                     QStringLiteral("Ctrl+O"));
    m_add = addItem(m_fileMenu, QStringLiteral("AblageHinzufuegen"), QStringLiteral("Hinzufügen …"),
                    QStringLiteral("Ctrl+Shift+O"));
    m_detail = addItem(m_fileMenu, QStringLiteral("AblageDetail"), QStringLiteral("Detail"),
                       QStringLiteral("Ctrl+D"));
    // Only a window that has a contact selected turns this one on.
    m_detail->setEnabled(false);
    m_export = addItem(m_fileMenu, QStringLiteral("AblageExportieren"), QStringLiteral("Exportieren …"),
                       QStringLiteral("Ctrl+E"));
    m_print = addItem(m_fileMenu, QStringLiteral("AblageDrucken"), QStringLiteral("Drucken …"),
                      QStringLiteral("Ctrl+P"));
    m_fileMenu->addSeparator();
    m_close = addItem(m_fileMenu, QStringLiteral("AblageSchließen"), QStringLiteral("Schließen"),
                      QStringLiteral("Ctrl+W"));
    m_quit =
        addItem(m_fileMenu, QStringLiteral("FileQuit"), QStringLiteral("Beenden"), QStringLiteral("Ctrl+Q"));
    m_quit->setMenuRole(QAction::QuitRole);
    m_about = addItem(m_fileMenu, QStringLiteral("UeberTovanel"), QStringLiteral("Über Tovanel"));
    m_about->setMenuRole(QAction::AboutRole);
}

void AppMenuBar::createEditMenu() {
    m_editMenu = addNamedMenu(QStringLiteral("EditMenu"), QStringLiteral("&Bearbeiten"));
    m_undo = addItem(m_editMenu, QStringLiteral("EditUndo"), QStringLiteral("&Rückgängig"),
                     QStringLiteral("Ctrl+Z"));
    m_editMenu->addSeparator();
    m_cut = addItem(m_editMenu, QStringLiteral("EditCut"), QStringLiteral("&Ausschneiden"),
                    QStringLiteral("Ctrl+X"));
    m_copy = addItem(m_editMenu, QStringLiteral("EditCopy"), QStringLiteral("&Kopieren"),
                     QStringLiteral("Ctrl+C"));
    m_copyValue = addItem(m_editMenu, QStringLiteral("EditCopyVal"), QStringLiteral("Wert Kopieren"),
                          QStringLiteral("Ctrl+Y"));
    m_paste = addItem(m_editMenu, QStringLiteral("EditPaste"), QStringLiteral("&Einfügen"),
                      QStringLiteral("Ctrl+V"));
    m_clear = addItem(m_editMenu, QStringLiteral("EditClear"), QStringLiteral("&Löschen"));
    m_editMenu->addSeparator();
    m_selectAll = addItem(m_editMenu, QStringLiteral("EditSelectAll"), QStringLiteral("Alles aus&wählen"),
                          QStringLiteral("Ctrl+A"));

    connect(m_undo, &QAction::triggered, this, [] { invokeOnFocused("undo"); });
    connect(m_cut, &QAction::triggered, this, [] { invokeOnFocused("cut"); });
    connect(m_copy, &QAction::triggered, this, [] { invokeOnFocused("copy"); });
    connect(m_paste, &QAction::triggered, this, [] { invokeOnFocused("paste"); });
    connect(m_selectAll, &QAction::triggered, this, [] { invokeOnFocused("selectAll"); });
    connect(m_clear, &QAction::triggered, this, &clearFocusedSelection);
    createSortMenu();
}

void AppMenuBar::createSortMenu() {
    m_editMenu->addSeparator();
    m_sortMenu = m_editMenu->addMenu(QStringLiteral("&Sortieren"));
    m_sortMenu->setObjectName(QStringLiteral("SortMenu"));
    m_sortMenu->menuAction()->setObjectName(QStringLiteral("SortMenu"));
    // The list's visible columns, in their order, under their headings.
    for (int i = 0; i < SortColumns; ++i) {
        m_sort[i] = addItem(m_sortMenu, QStringLiteral("Sort%1").arg(i + 1),
                            fieldCaption(Field(int(Field::Name) + i)), QStringLiteral("Ctrl+%1").arg(i + 1));
    }
    m_sortMenu->addSeparator();
    m_fileOrder = addItem(m_sortMenu, QStringLiteral("SortFileOrder"),
                          QStringLiteral("Reihenfolge der Datei"), QStringLiteral("Ctrl+0"));
    // Only a window with a list to sort turns these on.
    for (QAction* action : m_sortMenu->actions()) {
        action->setEnabled(false);
    }
}

void AppMenuBar::createViewMenu() {
    m_viewMenu = addNamedMenu(QStringLiteral("ViewMenu"), QStringLiteral("A&nsicht"));
    m_filter = addItem(m_viewMenu, QStringLiteral("AnsichtFiltern"), QStringLiteral("Filtern"),
                       QStringLiteral("Ctrl+F"));
    m_findNext = addItem(m_viewMenu, QStringLiteral("AnsichtWeitersuchen"), QStringLiteral("Weitersuchen"),
                         QStringLiteral("F3"));
    m_findPrevious = addItem(m_viewMenu, QStringLiteral("AnsichtRueckwaerts"),
                             QStringLiteral("Rückwärts suchen"), QStringLiteral("Shift+F3"));
    m_viewMenu->addSeparator();
    m_birthdays = addItem(m_viewMenu, QStringLiteral("AnsichtGeburtstage"), QStringLiteral("Geburtstage"));
    m_namesMenu = m_viewMenu->addMenu(QStringLiteral("Namen"));
    QMenu* names = m_namesMenu;
    names->setObjectName(QStringLiteral("AnsichtNamen"));
    names->menuAction()->setObjectName(QStringLiteral("AnsichtNamen"));
    auto* nameOrder = new QActionGroup(this);
    m_givenFirst = addItem(names, QStringLiteral("NamenVornameNachname"), QStringLiteral("Vorname Nachname"));
    m_familyFirst =
        addItem(names, QStringLiteral("NamenNachnameVorname"), QStringLiteral("Nachname, Vorname"));
    for (QAction* action : {m_givenFirst, m_familyFirst}) {
        action->setCheckable(true);
        nameOrder->addAction(action);
    }
    m_givenFirst->setChecked(true);
    m_columnsMenu = m_viewMenu->addMenu(QStringLiteral("Spalten"));
    m_columnsMenu->setObjectName(QStringLiteral("AnsichtSpalten"));
    m_columnsMenu->menuAction()->setObjectName(QStringLiteral("AnsichtSpalten"));
    for (int column = ContactColumn::Company; column < ContactColumn::Count; ++column) {
        if (column == ContactColumn::EndPosition || column == ContactColumn::File) {
            continue;
        }
        if (column == ContactColumn::FirstAdded) {
            m_columnsMenu->addSeparator();
        }
        const QString caption = column <= ContactColumn::Email
                                    ? fieldCaption(Field(int(Field::Name) + column - ContactColumn::Name))
                                    : addedColumnCaption(column);
        QAction* action = addItem(m_columnsMenu, QStringLiteral("Spalte%1").arg(column), caption);
        action->setCheckable(true);
        // Today's columns are shown at start, the added ones when asked for.
        action->setChecked(column <= ContactColumn::Email);
        m_columns[column] = action;
    }
    m_viewMenu->addSeparator();
    m_quickFilters = new QActionGroup(this);
    m_quickFilters->setExclusive(true);
    const std::pair<const char*, QString> quick[] = {
        {"AnsichtAlle", QStringLiteral("Alle Kontakte")},
        {"AnsichtFavoriten", QStringLiteral("Nur Favoriten")},
        {"AnsichtOhneTelefon", QStringLiteral("Ohne Telefonnummer")},
        {"AnsichtOhneEmail", QStringLiteral("Ohne E-Mail")},
        {"AnsichtDoppelte", QStringLiteral("Nur Doppelte")},
    };
    for (const auto& [name, caption] : quick) {
        QAction* action = addItem(m_viewMenu, QString::fromLatin1(name), caption);
        action->setCheckable(true);
        m_quickFilters->addAction(action);
    }
    m_quickFilters->actions().constFirst()->setChecked(true);
    m_groupMenu = m_viewMenu->addMenu(QStringLiteral("Gruppe"));
    m_groupMenu->setObjectName(QStringLiteral("AnsichtGruppe"));
    m_groupMenu->menuAction()->setObjectName(QStringLiteral("AnsichtGruppe"));
    m_groupFilters = new QActionGroup(this);
    m_groupFilters->setExclusive(true);
    // The files of a list of several follow here, put in by the window that has the list.
    m_fileFilters = m_viewMenu->addSeparator();
    // Only a window with a list turns these on.
    for (QAction* action : m_viewMenu->actions()) {
        action->setEnabled(false);
    }
}

QAction* AppMenuBar::sortAction(int column) const {
    return column >= ContactColumn::Name && column <= ContactColumn::Email
               ? m_sort[column - ContactColumn::Name]
               : nullptr;
}

QMenu* AppMenuBar::addNamedMenu(const QString& name, const QString& caption) {
    QMenu* menu = addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction* AppMenuBar::addItem(QMenu* menu, const QString& name, const QString& caption,
                             const QString& shortcut) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    // Only the two items that say so belong in the application menu; no guessing from captions.
    action->setMenuRole(QAction::NoRole);
    if (!shortcut.isEmpty()) {
        action->setShortcut(QKeySequence(shortcut));
    }
    return action;
}

} // namespace tovanel
