#pragma once

#include "contactlist/contactlistmodel.h"
#include "contacts/contactref.h"
#include "vcard/importmessages.h"
#include "vcard/vcardreader.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace tovanel {

class Dialogs;

// Imports a vCard file into the window's two lists and tells the user what went wrong, if anything. The
// reading itself shows nothing; this is where its result becomes the window's file, title, lists and
// messages.
class ImportFlow final : public QObject {
    Q_OBJECT
public:
    // `window` shows the file's name in its title and parents the progress window; `file` is the window's
    // remembered file; `list` takes the focus after a file was read to its end.
    ImportFlow(QWidget& window, QString& file, ContactListModel& contactModel, ContactListModel& addressModel,
               Dialogs& dialogs, QWidget* list);

    // Reads files into one list, in place of the open one or (`add`) behind it, leaving out files the list
    // holds already; empty paths (a cancelled open dialog) are no files. Cancelling, or running out of
    // memory (reading, or making room for the views), leaves the lists, the file and the title as they
    // were before.
    //
    // One file in place of the list: the lists are emptied while it is read; a file that cannot be read
    // at all leaves them, the file and the title as they were; each message of the reading is told on its
    // own; after an "END" line outside a card the user is asked for another file, read in its place.
    // Several files (or one added): what went wrong with any of them is told in one message at the end,
    // together with `notes` (e.g. folders without a vCard file); a file that cannot be read never costs
    // the others, and nothing read leaves the list as it was.
    void open(const QStringList& paths, bool add = false, const QStringList& notes = {});
    void open(const QString& path);

    // A file read takes longer than this before the progress window shows.
    void setProgressDelay(int ms) { m_progressDelayMs = ms; }

    // The reading, readVcardFile unless replaced (tests: a reading that is cancelled or runs out of
    // memory). It may throw std::bad_alloc.
    using Reading = std::function<VcardReadResult(const QString& path, const ReadProgress& progress)>;
    void setReading(Reading reading) { m_reading = std::move(reading); }

    // Takes the memory the lists and their views need besides the table for `rows` rows, held until the
    // table is handed to them; throws std::bad_alloc when it is not there. Qt's views allocate it where a
    // failure cannot be caught, so it is asked for first. Replaceable for tests.
    using ViewRoom = std::function<std::unique_ptr<char[]>(qsizetype rows)>;
    void setViewRoom(ViewRoom room) { m_viewRoom = std::move(room); }

    // Finds the contacts that are the same person in a list just read (findDuplicateGroups unless
    // replaced); may throw std::bad_alloc. It runs on a thread of its own once the list is shown, and the
    // marks come when it is done.
    using FindDuplicates = std::function<std::vector<std::uint32_t>(const ContactTable& table)>;
    void setFindDuplicates(FindDuplicates find) { m_findDuplicates = std::move(find); }

    // "file name: " and the list's name (listName): "file name: a.vcf und 2 weitere".
    static QString title(const ContactTable& list);

signals:
    // A file was read to its end.
    void readToEnd();
    // The duplicates of the list shown were found and marked.
    void duplicatesMarked();

private:
    // What reading a batch of files gave.
    struct Batch {
        std::shared_ptr<ContactTable> list;
        QList<ImportMessages::FileOutcome> outcomes;
        bool cancelled = false;
        QString outOfMemoryIn; // the file that did not fit, when memory ran out
        bool readToEnd = false;
        // One file in place of the list: its own messages, and whether it stopped at a stray "END".
        QStringList messages;
        bool strayEnd = false;
    };
    Batch readBatch(const QStringList& paths, const std::shared_ptr<const ContactTable>& before,
                    bool inPlace);
    // Reads a batch into the lists and tells what went wrong; returns whether one file in place of the
    // list stopped at an "END" line outside a card.
    bool readFiles(const QStringList& paths, bool adding, const QStringList& notes, bool inPlace);
    // The lists as the user left them, for a reading that is given up.
    struct Previous {
        QString file;
        QString title;
        ContactListModel::Shown contacts;
        std::shared_ptr<const ContactTable> addresses;
        int sortColumn = -1;
        Qt::SortOrder sortOrder = Qt::AscendingOrder;
    };
    Previous hold() const;
    void restore(Previous previous);
    // Hands a list just read to both models and starts looking for its duplicates.
    void show(std::shared_ptr<ContactTable> list);
    // Marks the duplicates found, on the list they were looked for in, whether or not it is shown now (an
    // import given up puts it back).
    void markFoundDuplicates();

    QWidget& m_window;
    QString& m_file;
    ContactListModel& m_contactList;
    ContactListModel& m_addressList;
    Dialogs& m_dialogs;
    QWidget* m_list;
    int m_progressDelayMs;
    Reading m_reading;
    ViewRoom m_viewRoom;
    FindDuplicates m_findDuplicates;
    // The list whose duplicates are being looked for, and what was found (nothing: memory ran out).
    std::shared_ptr<ContactTable> m_duplicatesOf;
    std::future<std::optional<std::vector<std::uint32_t>>> m_duplicatesFound;
    QTimer m_duplicatesPoll;
};

} // namespace tovanel
