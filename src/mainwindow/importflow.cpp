#include "importflow.h"

#include "addresstablemodel.h"
#include "dialogs.h"
#include "displaytext.h"
#include "filetypes.h"
#include "importmessages.h"
#include "importprogress.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableView>
#include <QWidget>
#include <QtMath>
#include <new>

namespace {

// The contact list's order (4 bytes a row) and the record the vertical header of each of the two list
// views keeps per row (8 bytes, hidden header or not: the table view asks it where each row lies), in an
// array whose size Qt rounds up to a power of two.
qsizetype viewBytes(qsizetype rows) {
    constexpr quint64 ArrayHeader = 16;
    return 4 * rows + 2 * qsizetype(qNextPowerOfTwo(quint64(8 * rows) + ArrayHeader));
}

// What showing the list takes after that: painting, the first sort's smaller buffers, a message box.
constexpr qsizetype ViewHeadroom = 16 << 20;

std::unique_ptr<char[]> roomForViews(qsizetype rows) {
    return std::unique_ptr<char[]>(new char[size_t(viewBytes(rows) + ViewHeadroom)]);
}

} // namespace

ImportFlow::ImportFlow(QWidget& window, QString& file, AddressTableModel& contactModel,
                       AddressTableModel& addressModel, Dialogs& dialogs, QWidget* list)
    : QObject(&window), m_window(window), m_file(file), m_contactList(contactModel),
      m_addressList(addressModel), m_dialogs(dialogs), m_list(list),
      m_progressDelayMs(ImportProgress::DefaultDelayMs),
      m_reading([](const QString& path, const ReadProgress& progress) {
          return readVcardFile(path, {.progress = progress});
      }),
      m_viewRoom(roomForViews) {}

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

bool ImportFlow::importOne(const QString& path) {
    const QString previousFile = m_file;
    const QString previousTitle = m_window.windowTitle();
    m_file = path;
    // A direction control in the name must not turn "gnp.exe" into "exe.png" in the title either.
    m_window.setWindowTitle(QStringLiteral("file name: ") + displayText(QFileInfo(path).fileName()));
    // The previous tables are held while reading, for a reading that is given up.
    AddressTableModel::Shown previousAdressen = m_contactList.shown();
    std::shared_ptr<const ContactTable> previousAdrData = m_addressList.sharedTable();
    auto* view = qobject_cast<QTableView*>(m_list);
    const int previousSortColumn = view ? view->horizontalHeader()->sortIndicatorSection() : -1;
    const Qt::SortOrder previousSortOrder =
        view ? view->horizontalHeader()->sortIndicatorOrder() : Qt::AscendingOrder;
    m_contactList.setTable(nullptr);
    m_addressList.setTable(nullptr);

    VcardReadResult result;
    std::unique_ptr<char[]> viewRoom;
    try {
        result = read(path);
        if (result.table && result.status != VcardReadResult::Status::Cancelled) {
            viewRoom = m_viewRoom(result.table->size());
        }
    } catch (const std::bad_alloc&) {
        result.status = VcardReadResult::Status::OutOfMemory;
    }
    const QStringList messages = ImportMessages::forResult(result, path);
    if (result.status == VcardReadResult::Status::Cancelled ||
        result.status == VcardReadResult::Status::OutOfMemory) {
        result.table.reset();
        // Put back in the order the user left it, with its sort mark, without sorting anew.
        m_contactList.restore(std::move(previousAdressen));
        m_addressList.setTable(std::move(previousAdrData));
        if (view) {
            const QSignalBlocker quiet(view->horizontalHeader());
            view->horizontalHeader()->setSortIndicator(previousSortColumn, previousSortOrder);
        }
        m_file = previousFile;
        m_window.setWindowTitle(previousTitle);
    } else {
        previousAdressen = {};
        previousAdrData.reset();
        m_source = result.table ? tableSource(path, *result.table) : nullptr;
        viewRoom.reset();
        m_contactList.setTable(result.table);
        m_addressList.setTable(result.table);
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
