#include "contactlist/contactsearch.h"

#include "contactlist/listkeys.h"
#include "contactlist/searchindex.h"
#include "contactlist/searchtext.h"
#include "contacts/contacttable.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tovanel {

namespace {

// Whether contacts hold the text in some of their fields: in a list with a search index one sweep
// through it answers for every contact at once, so a miss in a million contacts stays well under the
// time a keystroke may take; otherwise the fields are read where the table keeps them.
class Finder {
public:
    Finder(const ContactList& list, const QString& text)
        : m_list(list), m_text(text), m_needle(text, searchKind(text)),
          m_index(list.keys != nullptr ? list.keys->searchIndex() : nullptr) {}
    SearchKind kind() const { return m_needle.kind(); }
    bool isEmpty() const { return m_needle.isEmpty(); }

    bool holds(int row, std::span<const Field> fields) {
        const qsizetype contact = m_list.contactAt(row);
        if (m_index == nullptr) {
            return m_needle.foundIn(m_list.table, contact, fields);
        }
        unsigned parts = 0;
        for (const Field field : fields) {
            parts |= field == Field::Name      ? SearchIndex::Name
                     : field == Field::Company ? SearchIndex::Company
                     : field == Field::Email   ? SearchIndex::Email
                                               : SearchIndex::Numbers;
        }
        auto found =
            std::find_if(m_found.begin(), m_found.end(), [&](const auto& f) { return f.first == parts; });
        if (found == m_found.end()) {
            m_found.emplace_back(parts, m_index->holding(m_text, parts));
            found = m_found.end() - 1;
        }
        return found->second.test(contact);
    }

private:
    const ContactList& m_list;
    const QString& m_text;
    SearchNeedle m_needle;
    const SearchIndex* m_index;
    std::vector<std::pair<unsigned, ContactBits>> m_found;
};

// The first row in [from, to) with one of `fields` holding the text, or -1.
int firstRow(int from, int to, std::span<const Field> fields, Finder& finder) {
    for (int row = from; row < to; ++row) {
        if (finder.holds(row, fields)) {
            return row;
        }
    }
    return -1;
}

// The last row in [0, from] with one of `fields` holding the text, or -1.
int lastRow(int from, std::span<const Field> fields, Finder& finder) {
    for (int row = from; row >= 0; --row) {
        if (finder.holds(row, fields)) {
            return row;
        }
    }
    return -1;
}

// The first row in [from, to) whose name holds the text, or -1 and in `company` the first whose company
// does.
int findNameOrCompany(Finder& finder, int from, int to, int* company) {
    *company = -1;
    static constexpr Field Name[] = {Field::Name};
    static constexpr Field Company[] = {Field::Company};
    // One pass for both columns: a miss reads every row once, not twice.
    for (int row = from; row < to; ++row) {
        if (finder.holds(row, Name)) {
            return row;
        }
        if (*company < 0 && finder.holds(row, Company)) {
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
    Finder finder(list, text);
    int row = -1;
    if (finder.kind() != SearchKind::Text) {
        row = lastRow(from, searchFields(finder.kind()), finder);
    } else if (!finder.isEmpty()) {
        const Field field = text == m_text ? m_column : Field::Name;
        row = lastRow(from, only(field), finder);
        if (row < 0 && field == Field::Name) {
            row = lastRow(from, only(Field::Company), finder);
        }
    }
    return {row, false, row >= 0 && row + 1 < list.rows()};
}

ContactSearch::Hit ContactSearch::find(const ContactList& list, const QString& text, int start) {
    const int rows = list.rows();
    const int from = start >= 0 && start < rows ? start : 0;
    Finder finder(list, text);
    int row = -1;
    if (finder.kind() != SearchKind::Text) {
        row = finder.isEmpty() ? -1 : firstRow(from, rows, searchFields(finder.kind()), finder);
    } else {
        // Going on with the same text stays in the column where it was first found.
        if (text != m_text) {
            m_column = Field::Name;
        }
        // An empty text is found nowhere; a search without text would otherwise stop on the first row.
        if (finder.isEmpty()) {
            row = -1;
        } else if (m_column == Field::Company) {
            row = firstRow(from, rows, only(Field::Company), finder);
        } else {
            // A company counts only for a text that is in no name at all, above the start or below.
            int company = -1;
            row = findNameOrCompany(finder, from, rows, &company);
            if (row < 0 && company >= 0 && firstRow(0, from, only(Field::Name), finder) < 0) {
                row = company;
                m_column = Field::Company;
            }
        }
        m_text = text;
    }
    return {row, row > from, row >= 0 && row + 1 < rows};
}

} // namespace tovanel
