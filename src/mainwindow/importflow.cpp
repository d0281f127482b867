#include "mainwindow/importflow.h"

#include "contactlist/contactlistmodel.h"
#include "contacts/duplicates.h"
#include "mainwindow/importprogress.h"
#include "platform/dialogs.h"
#include "platform/displaytext.h"
#include "platform/filetypes.h"
#include "platform/germantext.h"
#include "vcard/importmessages.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableView>
#include <QWidget>
#include <QtMath>
#include <new>

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
      m_findDuplicates([](const ContactTable& table) { return findDuplicateGroups(table); }) {}

void ImportFlow::open(const QString& path) {
    QString next = path;
    while (!next.isEmpty() && importOne(next)) {
        next = m_dialogs.openFile(FileTypes::OpenFilter);
    }
}

VcardReadResult ImportFlow::read(const QString& path) {
    // The progress window and the wait cursor must be gone again before any message is shown.
    ImportProgress progress(&m_window, m_progressDelayMs);
    return m_reading(path, [&progress](qint64 done, qint64 total) { return progress.update(done, total); });
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

QString ImportFlow::listName(const ContactTable& list) {
    if (list.fileCount() == 0) {
        return {};
    }
    // A direction control in the name must not turn "gnp.exe" into "exe.png" in the title either.
    QString name = shownFileName(list.fileSource(0)->path);
    if (list.fileCount() > 1) {
        name += QStringLiteral(" und %1 weitere").arg(germanNumber(list.fileCount() - 1));
    }
    return name;
}

QString ImportFlow::title(const ContactTable& list) {
    return QStringLiteral("file name: ") + listName(list);
}

void ImportFlow::show(std::shared_ptr<ContactTable> list) {
    // Duplicates are a help, not the list: without the memory to find them it shows unmarked.
    try {
        list->setDuplicateGroups(m_findDuplicates ? m_findDuplicates(*list) : std::vector<std::uint32_t>());
    } catch (const std::bad_alloc&) {
        list->setDuplicateGroups({});
    }
    m_contactList.setTable(list);
    m_addressList.setTable(list);
}

bool ImportFlow::importOne(const QString& path) {
    Previous previous = hold();
    m_file = path;
    m_window.setWindowTitle(QStringLiteral("file name: ") + shownFileName(path));
    m_contactList.setTable(nullptr);
    m_addressList.setTable(nullptr);

    VcardReadResult result;
    std::unique_ptr<char[]> viewRoom;
    auto list = std::make_shared<ContactTable>();
    try {
        result = read(path);
        if (result.table && result.status != VcardReadResult::Status::Cancelled) {
            viewRoom = m_viewRoom(result.table->size());
            list->reserveFiles(1);
        }
    } catch (const std::bad_alloc&) {
        result.status = VcardReadResult::Status::OutOfMemory;
    }
    const QStringList messages = ImportMessages::forResult(result, path);
    if (result.status == VcardReadResult::Status::Cancelled ||
        result.status == VcardReadResult::Status::OutOfMemory) {
        result.table.reset();
        list.reset();
        restore(std::move(previous));
    } else {
        previous = {};
        // Taking over the reading's storage costs no memory: the list was empty.
        list->appendFile(*result.table);
        result.table.reset();
        viewRoom.reset();
        show(std::move(list));
        if (result.status == VcardReadResult::Status::ReadToEnd) {
            emit readToEnd();
            if (m_list != nullptr) {
                m_list->setFocus();
            }
        }
    }
    for (const QString& message : messages) {
        m_dialogs.message(message);
    }
    return result.status == VcardReadResult::Status::StrayEnd;
}

} // namespace tovanel
