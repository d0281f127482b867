// The search of the main window: "Name finden" searches from the top, "Weiter" below the last hit,
// and Return goes to whichever of the two the search has made the default button. A number is looked
// for in the telephone columns, an e-mail address in the e-mail column, any other text in the names,
// or in the companies when no name holds it.
#include "addresstablemodel.h"
#include "dialogs.h"
#include "listbox.h"
#include "searchtext.h"
#include "window1.h"

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

int Window1::findRow(const QString& text, int from, int to, Field column) const {
    const AddressTableModel& model = *m_adressenModel;
    if (column == Field::TelMobil) {
        const NumberNeedle needle(text);
        QVarLengthArray<char, 64> scratch;
        return firstRow(model, from, to, {Field::TelMobil, Field::TelPrivat, Field::TelArbeit},
                        [&](QStringView number) { return needle.foundIn(number, scratch); });
    }
    const FoldedNeedle needle(text);
    // An empty text is found nowhere; a search without text would otherwise stop on the first row.
    if (needle.isEmpty()) {
        return -1;
    }
    return firstRow(model, from, to, {column}, [&](QStringView field) { return needle.foundIn(field); });
}

int Window1::findNameOrCompany(const QString& text, int from, int to, int* company) const {
    const FoldedNeedle needle(text);
    *company = -1;
    if (needle.isEmpty()) {
        return -1;
    }
    // One pass for both columns: a miss reads every row once, not twice.
    const AddressTableModel& model = *m_adressenModel;
    const ContactTable& table = model.table();
    for (int row = from; row < to; ++row) {
        const qsizetype contact = model.contactAt(row);
        if (needle.foundIn(table.text(contact, Field::Name))) {
            return row;
        }
        if (*company < 0 && needle.foundIn(table.text(contact, Field::Firma))) {
            *company = row;
        }
    }
    return -1;
}

int Window1::searchName(const QString& text, int start) {
    const int count = m_adressenModel->rowCount();
    const int from = start >= 0 && start < count ? start : 0;
    int hit = -1;
    switch (searchKind(text)) {
    case SearchKind::Number:
        hit = findRow(text, from, count, Field::TelMobil);
        break;
    case SearchKind::Email:
        hit = findRow(text, from, count, Field::Email);
        break;
    case SearchKind::Text:
        // "Weiter" stays in the column where this text was first found.
        if (text != m_searchText) {
            m_searchColumn = Field::Name;
        }
        if (m_searchColumn == Field::Firma) {
            hit = findRow(text, from, count, Field::Firma);
        } else {
            // A company counts only for a text that is in no name at all, above the start or below.
            int company = -1;
            hit = findNameOrCompany(text, from, count, &company);
            if (hit < 0 && company >= 0 && findRow(text, 0, from, Field::Name) < 0) {
                hit = company;
                m_searchColumn = Field::Firma;
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

void Window1::searchTextChanged() {
    m_searchButton->setDefault(true);
    m_nextButton->setDefault(false);
}

void Window1::findFromTop() {
    // A search from the top decides the column afresh.
    m_searchText.clear();
    m_selected = searchName(m_searchField->text(), 0);
    showSearchResult();
}

void Window1::findNext() {
    m_selected = searchName(m_searchField->text(), m_selected + 1);
    showSearchResult();
}

void Window1::showSearchResult() {
    if (m_selected == -1) {
        m_dialogs.message(QStringLiteral("Leider nicht gefunden"));
        m_searchField->setFocus();
        m_searchField->selectAll();
        return;
    }
    m_adressen->setListIndex(m_selected);
    m_adressen->setFocus();
}
