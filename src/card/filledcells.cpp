#include "card/filledcells.h"

#include "vcard/cardrules.h"

#include <algorithm>

namespace tovanel {

void FilledCells::see(CardLines& card, const CardLine& line) {
    if (line.name == "TEL") {
        if (const std::optional<Field> field = CardRules::telephoneField(line.parameters)) {
            Held& held = m_telephones[size_t(int(*field) - int(Field::MobilePhone))];
            if (CardRules::replacesNumber(held.holds, held.preferred, line.parameters.pref)) {
                held = {line.start, line.parameters.pref, !card.telephone(line).isEmpty()};
            }
        }
    } else if (line.name == "ADR") {
        (CardRules::isWorkAddress(line.parameters) ? workAddress : homeAddress) = line.start;
    } else if (const std::optional<Field> field = CardRules::textField(line.name)) {
        m_text[size_t(*field)] = line.start;
    }
}

bool FilledCells::holdsNumber(qint64 start) const {
    return std::any_of(m_telephones.begin(), m_telephones.end(),
                       [start](const Held& h) { return h.line == start; });
}

} // namespace tovanel
