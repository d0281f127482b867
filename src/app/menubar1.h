#pragma once

#include <QHash>
#include <QMenuBar>

class QAction;
class QMenu;

// The application's menu bar: "&Ablage" and "&Bearbeiten". Every item carries its name as objectName, so
// windows and the application attach their handlers by name. The standard editing items work on whichever
// text control has the keyboard focus.
class MenuBar1 final : public QMenuBar {
    Q_OBJECT
public:
    explicit MenuBar1(QWidget* parent = nullptr);

    // The menu item (or the action of a menu) of that name, nullptr when there is none.
    QAction* item(const QString& name) const;
    QMenu* menu(const QString& name) const;

private:
    void Untitled0(); // the file menu
    void Untitled1(); // the edit menu

    QMenu* addNamedMenu(const QString& name, const QString& caption);
    QAction* addItem(const QString& menuName, const QString& name, const QString& caption,
                     const QString& shortcut = {});
    QAction* addSeparator(const QString& menuName, const QString& name);
    void connectEditItems();

    QHash<QString, QMenu*> m_menus;
    QHash<QString, QAction*> m_items;
};
