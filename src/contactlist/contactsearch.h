#pragma once

#include "contactlist/contactlist.h"
#include "contacts/fields.h"

#include <QString>

namespace tovanel {

// The name search: a number is looked for in the telephone columns, an e-mail address in the e-mail
// column, any other text in the names, or in the companies when no name in the whole list holds it. A
// text found in the companies is looked for there again when the search goes on from its hit.
class ContactSearch final {
public:
    struct Hit {
        int row = -1; // -1: found nowhere
        // The hit lies below the row the search began on.
        bool belowStart = false;
        // Rows remain below the hit, where the search can go on.
        bool rowsBelow = false;
    };

    // The first row at or after `start` that holds `text`, ignoring letter case. A start that is no row
    // of the list starts at the top.
    Hit find(const ContactList& list, const QString& text, int start);
    // The last row at or before `start` that holds `text`, in the column the search is in; a start that is
    // no row of the list starts at the bottom.
    Hit findBefore(const ContactList& list, const QString& text, int start);
    // The next text looked for in names or companies starts with the names again, as a new text would.
    void reset() { m_text.clear(); }

private:
    // The last text looked for in names or companies, and where it was found.
    QString m_text;
    Field m_column = Field::Name;
};

} // namespace tovanel
