#include "menubar1.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>

MenuBar1::MenuBar1(QWidget* parent) : QMenuBar(parent) {
    setObjectName(QStringLiteral("MenuBar1"));
    Untitled0();
    Untitled1();
    connectEditItems();
}

QAction* MenuBar1::item(const QString& name) const {
    return m_items.value(name, nullptr);
}

QMenu* MenuBar1::menu(const QString& name) const {
    return m_menus.value(name, nullptr);
}

void MenuBar1::Untitled0() {
    addNamedMenu(QStringLiteral("FileMenu"), QStringLiteral("&Ablage"));
    const QString file = QStringLiteral("FileMenu");
    addItem(file, QStringLiteral("AblageOeffnen"), QStringLiteral("Öffnen"), QStringLiteral("Ctrl+O"));
    // Only a window that has a contact selected turns this one on.
    addItem(file, QStringLiteral("AblageDetail"), QStringLiteral("Detail"), QStringLiteral("Ctrl+D"))
        ->setEnabled(false);
    addSeparator(file, QStringLiteral("UntitledItem1"));
    addItem(file, QStringLiteral("AblageSchließen"), QStringLiteral("Schließen"), QStringLiteral("Ctrl+W"));
    addItem(file, QStringLiteral("FileQuit"), QStringLiteral("Beenden"), QStringLiteral("Ctrl+Q"))
        ->setMenuRole(QAction::QuitRole);
    addItem(file, QStringLiteral("UeberTovanel"), QStringLiteral("Über Tovanel"))
        ->setMenuRole(QAction::AboutRole);
}

void MenuBar1::Untitled1() {
    addNamedMenu(QStringLiteral("EditMenu"), QStringLiteral("&Bearbeiten"));
    const QString edit = QStringLiteral("EditMenu");
    addItem(edit, QStringLiteral("EditUndo"), QStringLiteral("&Rückgängig"), QStringLiteral("Ctrl+Z"));
    addSeparator(edit, QStringLiteral("UntitledMenu1"));
    addItem(edit, QStringLiteral("EditCut"), QStringLiteral("&Ausschneiden"), QStringLiteral("Ctrl+X"));
    addItem(edit, QStringLiteral("EditCopy"), QStringLiteral("&Kopieren"), QStringLiteral("Ctrl+C"));
    addItem(edit, QStringLiteral("EditCopyVal"), QStringLiteral("Wert Kopieren"), QStringLiteral("Ctrl+Y"));
    addItem(edit, QStringLiteral("EditPaste"), QStringLiteral("&Einfügen"), QStringLiteral("Ctrl+V"));
    addItem(edit, QStringLiteral("EditClear"), QStringLiteral("&Löschen"));
    addSeparator(edit, QStringLiteral("UntitledMenu0"));
    addItem(edit, QStringLiteral("EditSelectAll"), QStringLiteral("&Alles auswählen"),
            QStringLiteral("Ctrl+A"));
}

QMenu* MenuBar1::addNamedMenu(const QString& name, const QString& caption) {
    QMenu* menu = addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_menus.insert(name, menu);
    m_items.insert(name, menu->menuAction());
    return menu;
}

QAction* MenuBar1::addItem(const QString& menuName, const QString& name, const QString& caption,
                           const QString& shortcut) {
    QAction* action = m_menus.value(menuName)->addAction(caption);
    action->setObjectName(name);
    // Only the two items that say so belong in the application menu; no guessing from captions.
    action->setMenuRole(QAction::NoRole);
    if (!shortcut.isEmpty()) {
        action->setShortcut(QKeySequence(shortcut));
    }
    m_items.insert(name, action);
    return action;
}

QAction* MenuBar1::addSeparator(const QString& menuName, const QString& name) {
    QAction* separator = m_menus.value(menuName)->addSeparator();
    separator->setObjectName(name);
    m_items.insert(name, separator);
    return separator;
}

namespace {

// The editing commands of the three kinds of text control the program has; other widgets ignore them.
template <typename Edit> void editText(Edit* edit, const QString& command) {
    if (command == QLatin1String("EditUndo")) {
        edit->undo();
    } else if (command == QLatin1String("EditCut")) {
        edit->cut();
    } else if (command == QLatin1String("EditCopy")) {
        edit->copy();
    } else if (command == QLatin1String("EditPaste")) {
        edit->paste();
    } else if (command == QLatin1String("EditSelectAll")) {
        edit->selectAll();
    }
}

void clearSelection(QWidget* widget) {
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (!line->isReadOnly() && line->hasSelectedText()) {
            line->del();
        }
    } else if (auto* text = qobject_cast<QTextEdit*>(widget)) {
        if (!text->isReadOnly()) {
            text->textCursor().removeSelectedText();
        }
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        if (!plain->isReadOnly()) {
            plain->textCursor().removeSelectedText();
        }
    }
}

void editFocused(const QString& command) {
    QWidget* focus = QApplication::focusWidget();
    if (command == QLatin1String("EditClear")) {
        clearSelection(focus);
    } else if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        editText(line, command);
    } else if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        editText(text, command);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        editText(plain, command);
    }
}

} // namespace

void MenuBar1::connectEditItems() {
    for (const char* name : {"EditUndo", "EditCut", "EditCopy", "EditPaste", "EditClear", "EditSelectAll"}) {
        const QString command = QString::fromLatin1(name);
        connect(item(command), &QAction::triggered, this, [command] { editFocused(command); });
    }
}
