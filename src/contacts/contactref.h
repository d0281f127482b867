#pragma once

#include "contacts/contactsource.h"
#include "contacts/contacttable.h"

#include <QString>
#include <memory>

namespace tovanel {

// One contact: the table that holds it, its place there (file order) and the file its card is in. It
// keeps the table alive, so it stays right while the lists move on to another file.
struct ContactRef {
    std::shared_ptr<const ContactTable> table;
    qsizetype contact = -1;
    // Null for a contact known from no file.
    std::shared_ptr<const ContactSource> source;

    bool isValid() const { return table && contact >= 0 && contact < table->size(); }
    QString path() const { return source ? source->path : QString(); }
};

// Contact `contact` of `table`, with the file it was read from.
inline ContactRef contactOf(std::shared_ptr<const ContactTable> table, qsizetype contact) {
    std::shared_ptr<const ContactSource> source = table ? table->sourceOf(contact) : nullptr;
    return {std::move(table), contact, std::move(source)};
}

} // namespace tovanel
