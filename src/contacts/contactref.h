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

// The source of a table read from `path`, with the stamp the reading took.
inline std::shared_ptr<const ContactSource> tableSource(const QString& path, const ContactTable& table) {
    return std::make_shared<const ContactSource>(ContactSource{path, table.sourceStamp()});
}

// Contact `contact` of `table`, read from `path`.
inline ContactRef contactInFile(std::shared_ptr<const ContactTable> table, qsizetype contact,
                                const QString& path) {
    std::shared_ptr<const ContactSource> source = table ? tableSource(path, *table) : nullptr;
    return {std::move(table), contact, std::move(source)};
}

} // namespace tovanel
