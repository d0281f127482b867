#pragma once

#include "contacts/contacttable.h"
#include "vcard/propertyline.h"

#include <optional>

namespace tovanel {

// Which line of a card fills which fixed cell. The import and the reading of the whole card both decide
// by these rules, so that the rows shown besides the cells are exactly the lines the cells left out.
namespace CardRules {

// The telephone cell a TEL line fills: none for fax and pager numbers and for numbers of no known kind.
inline std::optional<Field> telephoneField(const PropertyLexer::Parameters& parameters) {
    if (parameters.faxOrPager()) {
        return std::nullopt;
    }
    if (parameters.cell) {
        return Field::MobilePhone;
    }
    if (parameters.home) {
        return Field::HomePhone;
    }
    if (parameters.work) {
        return Field::WorkPhone;
    }
    return std::nullopt;
}

// Whether a number takes the place of the one its cell holds. The later number wins, except that a number
// marked preferred is not given up for one that is not: the bold number is then the favourite.
inline bool replacesNumber(bool cellHolds, bool heldPreferred, bool preferred) {
    return !cellHolds || preferred || !heldPreferred;
}

// Whether an ADR line fills the work address cells (else the private ones); the last line of each wins.
inline bool isWorkAddress(const PropertyLexer::Parameters& parameters) {
    return parameters.work;
}

// The cell an EMAIL, NOTE or ORG line fills; the last line of each kind wins, as the import takes them.
inline std::optional<Field> textField(QByteArrayView name) {
    if (name == "EMAIL") {
        return Field::Email;
    }
    if (name == "NOTE") {
        return Field::Note;
    }
    if (name == "ORG") {
        return Field::Company;
    }
    return std::nullopt;
}

// An N value is a name when its family, given or additional part holds text: a title alone is none.
inline constexpr int NameParts = 5;
// The order in which N's parts (family;given;additional;prefix;suffix) make up a name.
inline constexpr int NameOrder[NameParts] = {3, 1, 2, 0, 4};
inline bool isNamePart(int part) {
    return part <= 2;
}

} // namespace CardRules

} // namespace tovanel
