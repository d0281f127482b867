#include "contactlist/contactsearch.h"

#include "contactlist/searchtext.h"
#include "contacts/contacttable.h"

#include <initializer_list>

namespace tovanel {

namespace {

// The first row in [from, to) with a field that holds the needle, or -1. The fields are read where the
// table keeps them, without a copy per row: a search through a million contacts stays well under the
// time a click may take.
template <typename Matches>
int firstRow(const ContactList& list, int from, int to, std::initializer_list<Field> fields,
             Matches matches) {
    for (int row = from; row < to; ++row) {
        const qsizetype contact = list.contactAt(row);
        for (const Field field : fields) {
            if (matches(list.table.text(contact, field))) {
                return row;
            }
        }
    }
    return -1;
}

int findNumber(const ContactList& list, const QString& text, int from, int to) {
    const NumberNeedle needle(text);
    QVarLengthArray<char, 64> scratch;
    return firstRow(list, from, to, {Field::MobilePhone, Field::HomePhone, Field::WorkPhone},
                    [&](QStringView number) { return needle.foundIn(number, scratch); });
}

int findText(const ContactList& list, const QString& text, int from, int to, Field field) {
    const FoldedNeedle needle(text);
    // An empty text is found nowhere; a search without text would otherwise stop on the first row.
    if (needle.isEmpty()) {
        return -1;
    }
    return firstRow(list, from, to, {field}, [&](QStringView value) { return needle.foundIn(value); });
}

// The first row in [from, to) whose name holds `text`, or -1 and in `company` the first whose company
// does.
int findNameOrCompany(const ContactList& list, const QString& text, int from, int to, int* company) {
    const FoldedNeedle needle(text);
    *company = -1;
    if (needle.isEmpty()) {
        return -1;
    }
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

// The last row in [0, from] with a field that holds the needle, or -1.
template <typename Matches>
int lastRow(const ContactList& list, int from, std::initializer_list<Field> fields, Matches matches) {
    for (int row = from; row >= 0; --row) {
        const qsizetype contact = list.contactAt(row);
        for (const Field field : fields) {
            if (matches(list.table.text(contact, field))) {
                return row;
            }
        }
    }
    return -1;
}

} // namespace

ContactSearch::Hit ContactSearch::findBefore(const ContactList& list, const QString& text, int start) {
    const int from = start >= 0 && start < list.rows ? start : list.rows - 1;
    int row = -1;
    if (searchKind(text) == SearchKind::Number) {
        const NumberNeedle needle(text);
        QVarLengthArray<char, 64> scratch;
        row = lastRow(list, from, {Field::MobilePhone, Field::HomePhone, Field::WorkPhone},
                      [&](QStringView number) { return needle.foundIn(number, scratch); });
    } else if (const FoldedNeedle needle(text); !needle.isEmpty()) {
        const Field field = searchKind(text) == SearchKind::Email ? Field::Email
                            : text == m_text                      ? m_column
                                                                  : Field::Name;
        const auto holds = [&](QStringView value) { return needle.foundIn(value); };
        row = lastRow(list, from, {field}, holds);
        if (row < 0 && field == Field::Name) {
            row = lastRow(list, from, {Field::Company}, holds);
        }
    }
    return {row, false, row >= 0 && row + 1 < list.rows};
}

ContactSearch::Hit ContactSearch::find(const ContactList& list, const QString& text, int start) {
    const int from = start >= 0 && start < list.rows ? start : 0;
    int row = -1;
    switch (searchKind(text)) {
    case SearchKind::Number:
        row = findNumber(list, text, from, list.rows);
        break;
    case SearchKind::Email:
        row = findText(list, text, from, list.rows, Field::Email);
        break;
    case SearchKind::Text:
        // Going on with the same text stays in the column where it was first found.
        if (text != m_text) {
            m_column = Field::Name;
        }
        if (m_column == Field::Company) {
            row = findText(list, text, from, list.rows, Field::Company);
        } else {
            // A company counts only for a text that is in no name at all, above the start or below.
            int company = -1;
            row = findNameOrCompany(list, text, from, list.rows, &company);
            if (row < 0 && company >= 0 && findText(list, text, 0, from, Field::Name) < 0) {
                row = company;
                m_column = Field::Company;
            }
        }
        m_text = text;
        break;
    }
    return {row, row > from, row >= 0 && row + 1 < list.rows};
}

} // namespace tovanel
