#pragma once

#include "contactlist/contactlistmodel.h"
#include "export/tabledump.h"
#include "vcard/importmessages.h"
#include "vcard/vcardreader.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QStringList>

namespace tovanel {

// A table shown in both lists, as an import leaves the main window's models, with a model tester on each
// list. The reading happens here so that the tests call the reader in one place.
class ImportedLists final {
public:
    // Reads a file as the import does.
    explicit ImportedLists(const QString& path) : ImportedLists(readVcardFile(path), path) {}
    // Reads whatever the device hands out, e.g. a few bytes at a time.
    explicit ImportedLists(QIODevice& device) : ImportedLists(readVcard(device), QString()) {}
    // Reads vCard text from memory.
    explicit ImportedLists(QByteArray bytes) : ImportedLists(read(std::move(bytes)), QString()) {}
    // Shows a table made without the reader.
    explicit ImportedLists(std::shared_ptr<ContactTable> table)
        : ImportedLists(made(std::move(table)), QString()) {}
    Q_DISABLE_COPY_MOVE(ImportedLists)

    const VcardReadResult result;
    const QString path; // empty when not read from a file
    ContactListModel contacts{ContactListModel::List::Contacts};
    ContactListModel addresses{ContactListModel::List::Addresses};

    // What the window would tell the user about this reading.
    QStringList messages() const { return ImportMessages::forResult(result, path); }

    // Reads vCard text from memory without showing it, for lists of a window's own.
    static VcardReadResult read(QByteArray bytes) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        return readVcard(buffer);
    }

    // The rows as `tovanel-bench dump` prints them.
    QStringList dumpLines() const {
        QStringList lines;
        for (int row = 0; row < contacts.rowCount(); ++row) {
            lines << TableDump::row(contacts, addresses, row);
        }
        return lines;
    }

private:
    ImportedLists(VcardReadResult read, QString file) : result(std::move(read)), path(std::move(file)) {
        if (result.table) { // the groups, as the import finds them once the list is read
            result.table->setGroups(std::make_shared<const ContactGroups>(findContactGroups(*result.table)));
        }
        contacts.setTable(result.table);
        addresses.setTable(result.table);
    }
    static VcardReadResult made(std::shared_ptr<ContactTable> table) {
        VcardReadResult result;
        result.table = std::move(table);
        return result;
    }

    QAbstractItemModelTester m_contactsTester{&contacts};
    QAbstractItemModelTester m_addressesTester{&addresses};
};

} // namespace tovanel
