// The search of the main window: "Name finden" searches from the top, "Weiter" below the last hit,
// and Return goes to whichever of the two the search has made the default button. A number is looked
// for in the telephone columns, an e-mail address in the e-mail column, any other text in the names,
// or in the companies when no name holds it.
#include "addresstablemodel.h"
#include "dialogs.h"
#include "listbox.h"
#include "mainwindow.h"
#include "searchtext.h"

#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>

namespace {

// The first row in [from, to) with a field that holds the needle, or -1. The fields are read where the
// table keeps them, without a copy per row: a search through a million contacts stays well under the
// time a click may take.
template <typename Matches>
int firstRow(const AddressTableModel& model, int from, int to, std::initializer_list<Field> fields,
             Matches matches) {
    const ContactTable& table = model.table();
    for (int row = from; row < to; ++row) {
        const qsizetype contact = model.contactAt(row);
        for (const Field field : fields) {
            if (matches(table.text(contact, field))) {
                return row;
            }
        }
    }
    return -1;
}

} // namespace

int MainWindow::findRow(const QString& text, int from, int to, Field column) const {
    const AddressTableModel& model = *m_contactModel;
    if (column == Field::MobilePhone) {
        const NumberNeedle needle(text);
        QVarLengthArray<char, 64> scratch;
        return firstRow(model, from, to, {Field::MobilePhone, Field::HomePhone, Field::WorkPhone},
                        [&](QStringView number) { return needle.foundIn(number, scratch); });
    }
    const FoldedNeedle needle(text);
    // An empty text is found nowhere; a search without text would otherwise stop on the first row.
    if (needle.isEmpty()) {
        return -1;
    }
    return firstRow(model, from, to, {column}, [&](QStringView field) { return needle.foundIn(field); });
}

int MainWindow::findNameOrCompany(const QString& text, int from, int to, int* company) const {
    const FoldedNeedle needle(text);
    *company = -1;
    if (needle.isEmpty()) {
        return -1;
    }
    // One pass for both columns: a miss reads every row once, not twice.
    const AddressTableModel& model = *m_contactModel;
    const ContactTable& table = model.table();
    for (int row = from; row < to; ++row) {
        const qsizetype contact = model.contactAt(row);
        if (needle.foundIn(table.text(contact, Field::Name))) {
            return row;
        }
        if (*company < 0 && needle.foundIn(table.text(contact, Field::Company))) {
            *company = row;
        }
    }
    return -1;
}

int MainWindow::searchName(const QString& text, int start) {
    const int count = m_contactModel->rowCount();
    const int from = start >= 0 && start < count ? start : 0;
    int hit = -1;
    switch (searchKind(text)) {
    case SearchKind::Number:
        hit = findRow(text, from, count, Field::MobilePhone);
        break;
    case SearchKind::Email:
        hit = findRow(text, from, count, Field::Email);
        break;
    case SearchKind::Text:
        // "Weiter" stays in the column where this text was first found.
        if (text != m_searchText) {
            m_searchColumn = Field::Name;
        }
        if (m_searchColumn == Field::Company) {
            hit = findRow(text, from, count, Field::Company);
        } else {
            // A company counts only for a text that is in no name at all, above the start or below.
            int company = -1;
            hit = findNameOrCompany(text, from, count, &company);
            if (hit < 0 && company >= 0 && findRow(text, 0, from, Field::Name) < 0) {
                hit = company;
                m_searchColumn = Field::Company;
            }
        }
        m_searchText = text;
        break;
    }
    // Having passed over a row, the search can go on from the hit: "Weiter" takes Return from here.
    if (hit > from) {
        m_searchButton->setDefault(false);
        m_nextButton->setDefault(true);
        m_nextButton->setEnabled(true);
    }
    if (hit >= 0) {
        return hit;
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
    m_searchText.clear();
    m_selected = searchName(m_searchField->text(), 0);
    showSearchResult();
}

void MainWindow::findNext() {
    m_selected = searchName(m_searchField->text(), m_selected + 1);
    showSearchResult();
}

void MainWindow::showSearchResult() {
    if (m_selected == -1) {
        m_dialogs.message(QStringLiteral("Leider nicht gefunden"));
        m_searchField->setFocus();
        m_searchField->selectAll();
        return;
    }
    m_contactList->setListIndex(m_selected);
    m_contactList->setFocus();
}
