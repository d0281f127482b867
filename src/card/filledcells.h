#pragma once

#include "contacts/fields.h"
#include "vcard/cardlines.h"

#include <array>

namespace tovanel {

// The lines of a card that the import put in the fixed cells, found by its own rules; lines are told apart
// by where they start. The detail list shows the other lines besides the cells, and the portable card may
// leave the other numbers and addresses out before these.
class FilledCells final {
public:
    FilledCells() { m_text.fill(-1); }

    // Takes the card's lines in file order.
    void see(CardLines& card, const CardLine& line);

    bool holdsNumber(qint64 start) const;
    // Whether the line starting at `start` fills `field` (EMAIL, NOTE, ORG).
    bool fills(Field field, qint64 start) const { return m_text[size_t(field)] == start; }

    qint64 homeAddress = -1;
    qint64 workAddress = -1;

private:
    struct Held {
        qint64 line = -1;
        bool preferred = false;
        bool holds = false;
    };
    std::array<Held, 3> m_telephones;
    std::array<qint64, FieldCount> m_text;
};

} // namespace tovanel
