// Reading several files into one list: the part of ImportFlow that a single file does not need.
#include "contactlist/contactlistmodel.h"
#include "mainwindow/importflow.h"
#include "mainwindow/importprogress.h"
#include "platform/dialogs.h"
#include "vcard/importmessages.h"

#include <new>

namespace tovanel {

namespace {

using Outcome = ImportMessages::FileOutcome;

} // namespace

void ImportFlow::open(const QStringList& paths, bool add, const QStringList& notes) {
    const bool adding = add && m_contactList.contactCount() > 0 && m_contactList.table().fileCount() > 0;
    if (paths.size() == 1 && !adding && notes.isEmpty()) {
        open(paths.constFirst());
        return;
    }
    if (paths.isEmpty()) {
        if (!notes.isEmpty()) {
            m_dialogs.message(notes.join(QLatin1Char('\n')));
        }
        return;
    }
    Previous previous = hold();
    const std::shared_ptr<const ContactTable> before = adding ? m_contactList.sharedTable() : nullptr;

    // One progress window over the bytes of all files; the stamps also tell a file the list has already.
    std::vector<FileStamp> stamps;
    stamps.reserve(size_t(paths.size()));
    qint64 total = 0;
    for (const QString& path : paths) {
        stamps.push_back(fileStampOf(path));
        total += std::max<qint64>(0, stamps.back().size);
    }
    QList<Outcome> outcomes;
    auto list = std::make_shared<ContactTable>();
    std::vector<FileStamp> listed;
    bool stopped = false;
    QString outOfMemoryIn;
    QString current;
    std::unique_ptr<char[]> viewRoom;
    {
        ImportProgress progress(&m_window, m_progressDelayMs);
        qint64 doneBefore = 0;
        try {
            if (before) {
                list->appendShared(*before);
                for (int file = 0; file < before->fileCount(); ++file) {
                    listed.push_back(before->fileSource(file)->stamp);
                }
            }
            for (qsizetype i = 0; i < paths.size(); ++i) {
                const QString& path = paths.at(i);
                current = path;
                const FileStamp& stamp = stamps[size_t(i)];
                const qint64 size = std::max<qint64>(0, stamp.size);
                if (std::any_of(listed.begin(), listed.end(),
                                [&](const FileStamp& s) { return s.sameFileAs(stamp); })) {
                    outcomes.append({path, Outcome::Kind::AlreadyListed, 0, {}});
                    doneBefore += size;
                    continue;
                }
                VcardReadResult result = m_reading(
                    path, [&](qint64 done, qint64) { return progress.update(doneBefore + done, total); });
                doneBefore += size;
                if (result.status == VcardReadResult::Status::Cancelled) {
                    stopped = true;
                    break;
                }
                if (result.status == VcardReadResult::Status::OutOfMemory) {
                    outOfMemoryIn = path;
                    break;
                }
                if (result.status == VcardReadResult::Status::ReadError) {
                    outcomes.append({path, Outcome::Kind::NotRead, 0, result.error});
                    continue;
                }
                const qsizetype contacts = result.table->size();
                if (contacts == 0) {
                    outcomes.append({path, Outcome::Kind::NoContacts, 0, {}});
                    continue;
                }
                const bool strayEnd = result.status == VcardReadResult::Status::StrayEnd;
                outcomes.append(
                    {path, strayEnd ? Outcome::Kind::StrayEnd : Outcome::Kind::Read, contacts, {}});
                listed.push_back(result.table->fileCount() > 0 ? result.table->fileSource(0)->stamp : stamp);
                list->appendFile(*result.table);
            }
            if (!stopped && outOfMemoryIn.isEmpty()) {
                current = paths.constFirst(); // the list as a whole does not fit
                viewRoom = m_viewRoom(list->size());
            }
        } catch (const std::bad_alloc&) {
            outOfMemoryIn = current.isEmpty() ? paths.constFirst() : current;
        }
    }
    // Nothing read is no reason to lose the list either: the message says why.
    if (stopped || !outOfMemoryIn.isEmpty() || list->fileCount() == (before ? before->fileCount() : 0)) {
        list.reset();
        restore(std::move(previous));
        if (!outOfMemoryIn.isEmpty()) {
            m_dialogs.message(ImportMessages::outOfMemory(outOfMemoryIn));
            return;
        }
        if (stopped) {
            return;
        }
    } else {
        previous = {};
        viewRoom.reset();
        m_file = list->fileSource(0)->path;
        m_window.setWindowTitle(title(*list));
        show(std::move(list));
        emit readToEnd();
        if (m_list != nullptr) {
            m_list->setFocus();
        }
    }
    const QString message = ImportMessages::forFiles(outcomes, notes);
    if (!message.isEmpty()) {
        m_dialogs.message(message);
    }
}

} // namespace tovanel
