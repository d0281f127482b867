// The one reading loop of ImportFlow: every file of a batch read under one progress window into one list.
#include "contactlist/contactlistmodel.h"
#include "mainwindow/importflow.h"
#include "mainwindow/importprogress.h"
#include "vcard/importmessages.h"

#include <QSet>
#include <algorithm>
#include <new>

namespace tovanel {

ImportFlow::Batch ImportFlow::readBatch(const QStringList& paths,
                                        const std::shared_ptr<const ContactTable>& before, bool inPlace) {
    using Outcome = ImportMessages::FileOutcome;
    Batch batch;
    batch.list = std::make_shared<ContactTable>();
    // One progress window over the bytes of all files; the stamps also tell a file the list has already.
    std::vector<FileStamp> stamps;
    stamps.reserve(size_t(paths.size()));
    qint64 total = 0;
    for (const QString& path : paths) {
        stamps.push_back(fileStampOf(path));
        total += std::max<qint64>(0, stamps.back().size);
    }
    // The files of the list, by identity: a hundred thousand files are not each compared with all before.
    QSet<std::pair<quint64, quint64>> listed;
    listed.reserve(paths.size() + (before ? before->fileCount() : 0));
    const auto addListed = [&listed](const FileStamp& stamp) {
        if (stamp.isValid()) {
            listed.insert(stamp.identity());
        }
    };
    QString current;
    std::unique_ptr<char[]> viewRoom;
    // The progress window and the wait cursor must be gone again before any message is shown.
    ImportProgress progress(&m_window, m_progressDelayMs);
    qint64 doneBefore = 0;
    try {
        if (before) {
            batch.list->appendShared(*before);
            for (int file = 0; file < before->fileCount(); ++file) {
                addListed(before->fileSource(file)->stamp);
            }
        }
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const QString& path = paths.at(i);
            current = path;
            const FileStamp& stamp = stamps[size_t(i)];
            const qint64 size = std::max<qint64>(0, stamp.size);
            if (stamp.isValid() && listed.contains(stamp.identity())) {
                batch.outcomes.append({path, Outcome::Kind::AlreadyListed, 0, {}});
                doneBefore += size;
                continue;
            }
            VcardReadResult result = m_reading(
                path, [&](qint64 done, qint64) { return progress.update(doneBefore + done, total); });
            doneBefore += size;
            if (inPlace) {
                batch.messages = ImportMessages::forResult(result, path);
                batch.strayEnd = result.status == VcardReadResult::Status::StrayEnd;
                batch.readToEnd = result.status == VcardReadResult::Status::ReadToEnd;
            }
            if (result.status == VcardReadResult::Status::Cancelled) {
                batch.cancelled = true;
                return batch;
            }
            if (result.status == VcardReadResult::Status::OutOfMemory) {
                batch.outOfMemoryIn = path;
                return batch;
            }
            const qsizetype contacts = result.table->size();
            if (result.status == VcardReadResult::Status::ReadError) {
                batch.outcomes.append({path, Outcome::Kind::NotRead, 0, result.error});
            } else if (contacts == 0) {
                batch.outcomes.append({path, Outcome::Kind::NoContacts, 0, {}});
            } else {
                const bool strayEnd = result.status == VcardReadResult::Status::StrayEnd;
                batch.outcomes.append(
                    {path, strayEnd ? Outcome::Kind::StrayEnd : Outcome::Kind::Read, contacts, {}});
            }
            // A file in place of the list is shown even when it held no card: the list then says so. One
            // that could not be read replaces nothing.
            if (result.status != VcardReadResult::Status::ReadError && (inPlace || contacts > 0)) {
                addListed(result.table->fileCount() > 0 ? result.table->fileSource(0)->stamp : stamp);
                batch.list->appendFile(*result.table);
            }
        }
        current = paths.constFirst(); // the list as a whole does not fit
        viewRoom = m_viewRoom(batch.list->size());
        // Groups are a help, not the list: without them (no memory) it shows without groups.
        try {
            batch.list->setGroups(std::make_shared<const ContactGroups>(findContactGroups(*batch.list)));
        } catch (const std::bad_alloc&) {
        }
    } catch (const std::bad_alloc&) {
        batch.outOfMemoryIn = current.isEmpty() ? paths.constFirst() : current;
        if (inPlace) {
            batch.messages = {ImportMessages::outOfMemory(batch.outOfMemoryIn)};
        }
        return batch;
    }
    if (!inPlace) {
        batch.readToEnd = true;
    }
    return batch;
}

} // namespace tovanel
