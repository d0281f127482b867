#pragma once

#include <QMainWindow>

#include <functional>

class AddressTableModel;
class Dialogs;

// The detail window of one contact: its 13 fields as label/value rows, or its vCard text.
// (Skeleton: the detail-window work fills it in. The main window relies only on what is declared here.)
class Detail final : public QMainWindow {
    Q_OBJECT
public:
    // Everything the window reads from the main window, read afresh whenever it is needed.
    struct Source {
        const AddressTableModel* adressen = nullptr;
        const AddressTableModel* adrData = nullptr;
        std::function<int()> selected;     // the main window's `selected`
        std::function<QString()> vcfFile;  // the main window's `VcfFile`
    };

    Detail(Source source, Dialogs& dialogs, QWidget* parent = nullptr);

    // Empties the label/value list (the main window does this before handing over a contact).
    void clearListe();
    // Set by the main window when it hands over a contact; the next activation builds the list.
    bool newDetail = false;
    // Shows the window modally (application-modal, returns at once).
    void showModal();

private:
    Source m_source;
    Dialogs& m_dialogs;
};
