#include "mainwindow/importflow.h"

#include "contactlist/contactlistmodel.h"
#include "contacts/duplicates.h"
#include "mainwindow/importprogress.h"
#include "platform/dialogs.h"
#include "platform/displaytext.h"
#include "platform/filetypes.h"
#include "platform/germantext.h"
#include "platform/regularfile.h"
#include "vcard/importmessages.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableView>
#include <QWidget>
#include <QtMath>
#include <chrono>
#include <new>
#include <system_error>
#include <thread>

namespace tovanel {

namespace {

// The contact list's order (4 bytes a row) and the record the vertical header of the contact list's view
// keeps per row (8 bytes, hidden header or not: the table view asks it where each row lies), in an array
// whose size Qt rounds up to a power of two. The hidden address list's view keeps none.
qsizetype viewBytes(qsizetype rows) {
    constexpr quint64 ArrayHeader = 16;
    return 4 * rows + qsizetype(qNextPowerOfTwo(quint64(8 * rows) + ArrayHeader));
}

// What showing the list takes after that: painting, the first sort's smaller buffers, a message box.
constexpr qsizetype ViewHeadroom = 16 << 20;

std::unique_ptr<char[]> roomForViews(qsizetype rows) {
    return std::unique_ptr<char[]>(new char[size_t(viewBytes(rows) + ViewHeadroom)]);
}

} // namespace

ImportFlow::ImportFlow(QWidget& window, QString& file, ContactListModel& contactModel,
                       ContactListModel& addressModel, Dialogs& dialogs, QWidget* list)
    : QObject(&window), m_window(window), m_file(file), m_contactList(contactModel),
      m_addressList(addressModel), m_dialogs(dialogs), m_list(list),
      m_progressDelayMs(ImportProgress::DefaultDelayMs),
      m_reading([](const QString& path, const ReadProgress& progress) {
          return readVcardFile(path, {.progress = progress});
      }),
      m_viewRoom(roomForViews),
      m_findDuplicates([](const ContactTable& table) { return findDuplicateGroups(table); }) {
    m_duplicatesPoll.setInterval(20);
    connect(&m_duplicatesPoll, &QTimer::timeout, this, &ImportFlow::markFoundDuplicates);
}

ImportFlow::Previous ImportFlow::hold() const {
    Previous previous{m_file, m_window.windowTitle(), m_contactList.shown(), m_addressList.sharedTable(),
                      -1,     Qt::AscendingOrder};
    if (auto* view = qobject_cast<QTableView*>(m_list)) {
        previous.sortColumn = view->horizontalHeader()->sortIndicatorSection();
        previous.sortOrder = view->horizontalHeader()->sortIndicatorOrder();
    }
    return previous;
}

void ImportFlow::restore(Previous previous) {
    // Put back in the order the user left it, with its sort mark, without sorting anew.
    m_contactList.restore(std::move(previous.contacts));
    m_addressList.setTable(std::move(previous.addresses));
    if (auto* view = qobject_cast<QTableView*>(m_list)) {
        const QSignalBlocker quiet(view->horizontalHeader());
        view->horizontalHeader()->setSortIndicator(previous.sortColumn, previous.sortOrder);
    }
    m_file = previous.file;
    m_window.setWindowTitle(previous.title);
}

QString ImportFlow::title(const ContactTable& list) {
    return QStringLiteral("file name: ") + tovanel::listName(list);
}

void ImportFlow::show(std::shared_ptr<ContactTable> list) {
    m_contactList.setTable(list);
    m_addressList.setTable(list);
    // The duplicates are a help, not the list: it shows at once, and they are marked when found (a
    // million contacts take about half a second). A list shown before they are found leaves its search
    // to finish on its own, holding that list, and its marks unmade.
    m_duplicatesPoll.stop();
    m_duplicatesOf.reset();
    m_duplicatesFound = {};
    if (!m_findDuplicates || list->size() == 0) {
        return;
    }
    auto task = std::make_shared<std::packaged_task<std::optional<std::vector<std::uint32_t>>()>>(
        [find = m_findDuplicates, list]() -> std::optional<std::vector<std::uint32_t>> {
            try {
                return find(*list);
            } catch (const std::bad_alloc&) {
                return std::nullopt;
            }
        });
    m_duplicatesFound = task->get_future();
    m_duplicatesOf = std::move(list);
    try {
        std::thread([task] { (*task)(); }).detach();
    } catch (const std::system_error&) {
        (*task)(); // no thread to be had: found here
    }
    m_duplicatesPoll.start();
}

void ImportFlow::markFoundDuplicates() {
    if (!m_duplicatesFound.valid() ||
        m_duplicatesFound.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return;
    }
    m_duplicatesPoll.stop();
    std::optional<std::vector<std::uint32_t>> found = m_duplicatesFound.get();
    const std::shared_ptr<ContactTable> list = std::move(m_duplicatesOf);
    if (!found) {
        return;
    }
    // Only this thread reads a table's duplicate marks; the threads that read it besides (the list's
    // keys, the detail window's pictures) never look at them.
    list->setDuplicateGroups(std::move(*found));
    if (m_contactList.sharedTable() == list) {
        m_contactList.duplicatesMarked();
        emit duplicatesMarked();
    }
}

void ImportFlow::open(const QString& path) {
    open(QStringList{path});
}

void ImportFlow::open(const QStringList& named, bool add, const QStringList& notes) {
    QStringList paths = named;
    paths.removeAll(QString());
    if (paths.isEmpty()) {
        if (!notes.isEmpty()) {
            m_dialogs.message(notes.join(QLatin1Char('\n')));
        }
        return;
    }
    const bool adding = add && m_contactList.contactCount() > 0 && m_contactList.table().fileCount() > 0;
    // One file in place of the list goes the way it always went: the list is emptied while it is read,
    // whatever it gives (even nothing) is shown under its name with its own messages, and after an "END"
    // line outside a card the user is asked for another file, read in its place.
    const bool inPlace = paths.size() == 1 && !adding && notes.isEmpty();
    while (readFiles(paths, adding, inPlace ? QStringList() : notes, inPlace) && inPlace) {
        const QString next = m_dialogs.openFile(FileTypes::OpenFilter);
        if (next.isEmpty()) {
            break;
        }
        paths = {next};
    }
}

bool ImportFlow::readFiles(const QStringList& paths, bool adding, const QStringList& notes, bool inPlace) {
    Previous previous = hold();
    const std::shared_ptr<const ContactTable> before = adding ? m_contactList.sharedTable() : nullptr;
    if (inPlace) {
        m_file = paths.constFirst();
        m_window.setWindowTitle(QStringLiteral("file name: ") + shownFileName(m_file));
        m_contactList.setTable(nullptr);
        m_addressList.setTable(nullptr);
    }
    Batch batch = readBatch(paths, before, inPlace);
    const int filesBefore = before ? before->fileCount() : 0;
    // Nothing read is no reason to lose the list either: the message says why.
    const bool keepPrevious =
        batch.cancelled || !batch.outOfMemoryIn.isEmpty() || batch.list->fileCount() == filesBefore;
    if (keepPrevious) {
        batch.list.reset();
        restore(std::move(previous));
    } else {
        previous = {};
        if (!inPlace) {
            m_file = batch.list->fileSource(0)->path;
        }
        if (batch.list->fileCount() > 0) {
            m_window.setWindowTitle(title(*batch.list));
        }
        show(std::move(batch.list));
        if (batch.readToEnd) {
            emit readToEnd();
            if (m_list != nullptr) {
                m_list->setFocus();
            }
        }
    }
    if (inPlace) {
        for (const QString& message : batch.messages) {
            m_dialogs.message(message);
        }
        return batch.strayEnd;
    }
    if (!batch.outOfMemoryIn.isEmpty()) {
        m_dialogs.message(ImportMessages::outOfMemory(batch.outOfMemoryIn));
    } else if (!batch.cancelled) {
        if (const QString message = ImportMessages::forFiles(batch.outcomes, notes); !message.isEmpty()) {
            m_dialogs.message(message);
        }
    }
    return false;
}

} // namespace tovanel
