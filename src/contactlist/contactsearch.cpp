#include "contactlist/contactsearch.h"

#include "contactlist/searchtext.h"
#include "contacts/contacttable.h"

namespace tovanel {

namespace {

// The first row in [from, to) with one of `fields` holding the needle, or -1. The fields are read where
// the table keeps them, without a copy per row: a search through a million contacts stays well under the
// time a click may take.
int firstRow(const ContactList& list, int from, int to, std::span<const Field> fields, SearchNeedle& needle) {
    for (int row = from; row < to; ++row) {
        if (needle.foundIn(list.table, list.contactAt(row), fields)) {
            return row;
        }
    }
    return -1;
}

// The last row in [0, from] with one of `fields` holding the needle, or -1.
int lastRow(const ContactList& list, int from, std::span<const Field> fields, SearchNeedle& needle) {
    for (int row = from; row >= 0; --row) {
        if (needle.foundIn(list.table, list.contactAt(row), fields)) {
            return row;
        }
    }
    return -1;
}

// The first row in [from, to) whose name holds the needle, or -1 and in `company` the first whose
// company does.
int findNameOrCompany(const ContactList& list, SearchNeedle& needle, int from, int to, int* company) {
    *company = -1;
    // One pass for both columns: a miss reads every row once, not twice.
    for (int row = from; row < to; ++row) {
        const qsizetype contact = list.contactAt(row);
        if (needle.foundIn(list.table.text(contact, Field::Name))) {
            return row;
        }
        if (*company < 0 && needle.foundIn(list.table.text(contact, Field::Company))) {
            *company = row;
        }
    }
    return -1;
}

std::span<const Field> only(const Field& field) {
    return {&field, 1};
}

} // namespace

ContactSearch::Hit ContactSearch::findBefore(const ContactList& list, const QString& text, int start) {
    const int from = start >= 0 && start < list.rows() ? start : list.rows() - 1;
    SearchNeedle needle(text, searchKind(text));
    int row = -1;
    if (needle.kind() != SearchKind::Text) {
        row = lastRow(list, from, searchFields(needle.kind()), needle);
    } else if (!needle.isEmpty()) {
        const Field field = text == m_text ? m_column : Field::Name;
        row = lastRow(list, from, only(field), needle);
        if (row < 0 && field == Field::Name) {
            row = lastRow(list, from, only(Field::Company), needle);
        }
    }
    return {row, false, row >= 0 && row + 1 < list.rows()};
}

ContactSearch::Hit ContactSearch::find(const ContactList& list, const QString& text, int start) {
    const int rows = list.rows();
    const int from = start >= 0 && start < rows ? start : 0;
    SearchNeedle needle(text, searchKind(text));
    int row = -1;
    if (needle.kind() != SearchKind::Text) {
        row = needle.isEmpty() ? -1 : firstRow(list, from, rows, searchFields(needle.kind()), needle);
    } else {
        // Going on with the same text stays in the column where it was first found.
        if (text != m_text) {
            m_column = Field::Name;
        }
        // An empty text is found nowhere; a search without text would otherwise stop on the first row.
        if (needle.isEmpty()) {
            row = -1;
        } else if (m_column == Field::Company) {
            row = firstRow(list, from, rows, only(Field::Company), needle);
        } else {
            // A company counts only for a text that is in no name at all, above the start or below.
            int company = -1;
            row = findNameOrCompany(list, needle, from, rows, &company);
            if (row < 0 && company >= 0 && firstRow(list, 0, from, only(Field::Name), needle) < 0) {
                row = company;
                m_column = Field::Company;
            }
        }
        m_text = text;
    }
    return {row, row > from, row >= 0 && row + 1 < rows};
}

} // namespace tovanel
