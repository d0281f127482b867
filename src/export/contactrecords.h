#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace tovanel {

class ContactTable;

// A format written contact by contact: what stands before the first record, one record per contact, what
// stands after the last. The export's loop around it reports progress, hands the bytes to the file in
// large pieces and checks every write, so a format is only its bytes.
class ContactRecords {
public:
    ContactRecords() = default;
    virtual ~ContactRecords() = default;
    Q_DISABLE_COPY_MOVE(ContactRecords)

    virtual QByteArray head() = 0;
    // Appends the record of `contact` of `table` to `out`; a contact the format has no record for (a phone
    // book entry without a number) adds nothing, and the format counts it for its notice.
    virtual void append(QByteArray& out, const ContactTable& table, qsizetype contact) = 0;
    virtual QByteArray tail() { return {}; }
    // Why the export cannot go on (German, naming `path`), such as a source file that is gone; asked after
    // each record and at the end. Empty while all is well.
    virtual QString failure(const QString& path) const {
        Q_UNUSED(path)
        return {};
    }
    // What the user should know once the file is written (German, naming `path`), such as contacts left
    // out; empty when there is nothing.
    virtual QString notice(const QString& path) const {
        Q_UNUSED(path)
        return {};
    }
};

} // namespace tovanel
