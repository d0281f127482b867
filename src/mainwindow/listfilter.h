#pragma once

#include "contactlist/contactfilter.h"

#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QLineEdit;
class QWidget;

namespace tovanel {

class ContactListModel;
class AppMenuBar;
class Dialogs;

// The filter above the contact list: a field that narrows the list as the user types, the count of the
// contacts shown and held, the quick filters of the "Ansicht" menu (one entry per file while the list
// holds several) and its "Gruppe" menu. The field and the menus combine; the list model does the narrowing.
class ListFilter final : public QObject {
    Q_OBJECT
public:
    ListFilter(QWidget* parent, ContactListModel& model, AppMenuBar& menus, Dialogs& dialogs);

    QLineEdit* field() const { return m_field; }
    QLabel* countLabel() const { return m_count; }
    // Ctrl+F: the field takes the focus with its text selected.
    void focusField();

    // "1.234 von 1.000.000 Kontakten" while a filter narrows the list, else "1.000.000 Kontakte".
    static QString countText(qsizetype shown, qsizetype total, bool filtered);

signals:
    // Return or the down arrow in the field: the user goes on to the list.
    void toList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void updateCount();
    // A new list: its files in the menu, and the field and menu showing the filter it has.
    void followList();
    ContactFilter::Quick checkedQuick(int* file) const;
    // The list's groups in the "Gruppe" menu, `checked` (a ContactFilter::group) checked.
    void fillGroupMenu(int checked);

    ContactListModel& m_model;
    AppMenuBar& m_menus;
    Dialogs& m_dialogs;
    QLineEdit* m_field;
    QLabel* m_count;
    QList<QAction*> m_fileEntries;
    bool m_following = false;
};

} // namespace tovanel
