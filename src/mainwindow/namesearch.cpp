// The name search of the main window: "Name finden" searches from the top, "Weiter" below the last hit,
// and Return goes to whichever of the two the search has made the default button.
#include "addresstablemodel.h"
#include "dialogs.h"
#include "listbox.h"
#include "window1.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStringMatcher>

int Window1::searchName(const QString& text, int start) {
    const int count = m_adressenModel->rowCount();
    int i = start >= 0 && start < count ? start : 0;
    bool passedOver = false;
    // The names are read where the table keeps them, without a copy per row: a search through a million
    // contacts stays well under the time a click may take. An empty text is found nowhere; a search
    // without text would otherwise stop on the first row.
    const ContactTable& table = m_adressenModel->table();
    const QStringMatcher matcher(text, Qt::CaseInsensitive);
    while (i < count) {
        if (!text.isEmpty() && matcher.indexIn(table.text(m_adressenModel->contactAt(i), Field::Name)) >= 0) {
            break;
        }
        ++i;
        passedOver = true;
    }
    // Having passed over a row, the search can go on from the hit: "Weiter" takes Return from here.
    if (passedOver) {
        m_searchButton->setDefault(false);
        m_nextButton->setDefault(true);
        m_nextButton->setEnabled(true);
    }
    if (i < count) {
        return i;
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
        m_searchField->selectAll();
        return;
    }
    m_adressen->setListIndex(m_selected);
    m_adressen->setFocus();
}
