#pragma once

#include "sourceview.h"

#include <QList>
#include <QMainWindow>
#include <QRect>
#include <functional>

class AddressTableModel;
class DetailRows;
class Dialogs;
class MenuBar1;
class ListBox;
class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The detail window of one contact: its 13 fields as label/value rows, or its vCard text read anew from
// the file. A value is shown with its label on double-click, dragged out as text, or copied with
// "Wert Kopieren".
class Detail final : public QMainWindow {
    Q_OBJECT
public:
    // Everything the window reads from the main window, read afresh whenever it is needed.
    struct Source {
        const AddressTableModel* adressen = nullptr;
        const AddressTableModel* adrData = nullptr;
        std::function<int()> selected;    // the main window's `selected`
        std::function<QString()> vcfFile; // the main window's `VcfFile`
    };

    Detail(Source source, Dialogs& dialogs, QWidget* parent = nullptr);

    // Empties the label/value list (the main window does this before handing over a contact).
    void clearListe();
    // Set by the main window when it hands over a contact; the next activation builds the list.
    bool newDetail = false;
    // Shows the window modally (application-modal, returns at once).
    void showModal();

    ListBox* Liste() const { return m_liste; }
    QPushButton* PushButton1() const { return m_pushButton1; }
    QLabel* Label1() const { return m_label1; }
    QPushButton* sourceButton() const { return m_sourceButton; }
    QPlainTextEdit* sourceText() const { return m_sourceText; }
    // "Wert Kopieren" (Ctrl+Y), live while this window is the active one.
    QAction* EditCopyVal() const { return m_editCopyVal; }
    // The application's menu bar in this window; the main window forwards its application items.
    MenuBar1* menuBar1() const { return m_menuBar; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void createMenuBar();
    void Event_Activate();
    void PushButton1_Action();
    void Liste_DoubleClick();
    void sourceButton_Action();
    bool EditCopyVal_Action();
    void updateCopyEnabled();
    void showList();
    // The contact (file order) of row `selected` of Adressen, -1 when that is no row.
    qsizetype selectedContact() const;

    Source m_source;
    Dialogs& m_dialogs;
    DetailRows* m_rows;
    ListBox* m_liste = nullptr;
    QPushButton* m_pushButton1 = nullptr;
    QLabel* m_label1 = nullptr;
    QPushButton* m_sourceButton = nullptr;
    SourceView* m_sourceText = nullptr;
    QAction* m_editCopyVal = nullptr;
    MenuBar1* m_menuBar = nullptr;
    qsizetype m_contact = -1; // file order; -1: the list shows no contact
};
