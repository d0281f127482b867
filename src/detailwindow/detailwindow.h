#pragma once

#include "contacts/contactref.h"
#include "detailwindow/sourceview.h"

#include <QFutureWatcher>
#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace tovanel {

class DetailRows;
class Dialogs;
class AppMenuBar;
class ListBox;

// The detail window of one contact: its 13 fields as label/value rows, or its vCard text read anew from
// the file. A value is shown with its label on double-click, dragged out as text, or copied with
// "Wert Kopieren".
class DetailWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit DetailWindow(Dialogs& dialogs, QWidget* parent = nullptr);

    // Shows `contact` as a fresh list, application-modal; returns at once. A reference to no contact
    // gives an empty list.
    void showContact(const ContactRef& contact);

    ListBox* list() const { return m_list; }
    QPushButton* closeButton() const { return m_closeButton; }
    QLabel* hintLabel() const { return m_hintLabel; }
    QPushButton* sourceButton() const { return m_sourceButton; }
    QPlainTextEdit* sourceText() const { return m_sourceText; }
    // "Wert Kopieren" (Ctrl+Y), live while this window is the active one.
    QAction* copyValueAction() const;
    // The context menu of list row `row` (caller owns it); nullptr for no row.
    QMenu* rowMenu(int row);
    // The application's menu bar in this window; the main window forwards its application items.
    AppMenuBar* appMenuBar() const { return m_menuBar; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void createControls();
    void createMenuBar();
    void rebuildRows();
    void showRowMessage();
    void toggleSource();
    void copyValue();
    void updateCopyEnabled();
    void showList();

    Dialogs& m_dialogs;
    DetailRows* m_rows;
    ListBox* m_list = nullptr;
    QPushButton* m_closeButton = nullptr;
    QLabel* m_hintLabel = nullptr;
    QPushButton* m_sourceButton = nullptr;
    SourceView* m_sourceText = nullptr;
    AppMenuBar* m_menuBar = nullptr;
    // A contact was handed over; the next activation builds its list.
    bool m_newDetail = false;
    // The contact the list shows, so that list and source always show the same card.
    ContactRef m_contact;
    // A photo being decoded for the clipboard; the next copy replaces it.
    QPointer<QFutureWatcher<QImage>> m_copying;
};

} // namespace tovanel
