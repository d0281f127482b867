#include "platform/documentpaths.h"

#include "platform/filetypes.h"
#include "platform/regularfile.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <utility>

namespace tovanel {

namespace {

using Identity = std::pair<quint64, quint64>; // device, inode

Identity identityOf(const struct stat& info) {
    return {quint64(info.st_dev), quint64(info.st_ino)};
}

// systemErrorReason speaks of a file where the folder itself may not be read.
QString folderErrorReason(int error, const QString& folder) {
    return error == EACCES || error == EPERM
               ? QStringLiteral("Keine Berechtigung, den Ordner „%1“ zu öffnen.").arg(folder)
               : systemErrorReason(error, folder);
}

struct Entry {
    QString name;
    QByteArray nativeName;
    Identity identity;
};

class Expander final {
public:
    Expander() : m_collator(QLocale(QLocale::German, QLocale::Germany)) { m_collator.setNumericMode(true); }

    void add(const QString& path) {
        struct stat info {};
        if (::stat(nativeFileName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            addFile(path);
            return;
        }
        // A folder named a second time has nothing more to give, nor anything more to tell.
        if (alreadyLookedThrough(identityOf(info), 0)) {
            return;
        }
        const qsizetype unreadableBefore = m_result.unreadableFolders.size();
        const qsizetype found = lookThrough(path, identityOf(info), 0);
        // A folder whose only subfolders could not be read may well hold vCard files: that is told instead.
        if (found == 0 && m_result.unreadableFolders.size() == unreadableBefore) {
            m_result.foldersWithoutVcards.append(path);
        }
    }

    DocumentFiles take() { return std::move(m_result); }

private:
    // `path` once: the same file by device and inode, or by its absolute name where it cannot be looked
    // at (the reader then reports it).
    void addFile(const QString& path) {
        const FileStamp stamp = fileStampOf(path);
        const bool added = stamp.isValid()
                               ? addOnce(m_files, Identity{stamp.device, stamp.inode})
                               : addOnce(m_missing, QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
        if (added) {
            m_result.files.append(path);
        }
    }

    template <typename Set, typename Key> static bool addOnce(Set& set, const Key& key) {
        const qsizetype before = set.size();
        set.insert(key);
        return set.size() != before;
    }

    // True when the folder was looked through already with at least as many levels below it as now; a
    // link back to a folder above is one of those, so a loop ends there.
    bool alreadyLookedThrough(const Identity& folder, int depth) const {
        const auto seen = m_folders.constFind(folder);
        return seen != m_folders.cend() && *seen <= depth;
    }

    // Adds the vCard files in `folder` and below it; returns how many there are, those already added
    // included. A folder that cannot be read is listed as such, a subfolder as well as the one named: its
    // contacts are missing from the list, and the user would not know why.
    qsizetype lookThrough(const QString& folder, const Identity& identity, int depth) {
        m_folders.insert(identity, depth);
        QList<Entry> files;
        QList<Entry> subfolders;
        if (const int error = list(folder, depth < DocumentFolderDepth, files, subfolders); error != 0) {
            m_result.unreadableFolders.append({folder, folderErrorReason(error, folder)});
            return 0;
        }
        const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        for (const Entry& file : std::as_const(files)) {
            if (addOnce(m_files, file.identity)) {
                m_result.files.append(prefix + file.name);
            }
        }
        qsizetype found = files.size();
        for (const Entry& subfolder : std::as_const(subfolders)) {
            if (!alreadyLookedThrough(subfolder.identity, depth + 1)) {
                found += lookThrough(prefix + subfolder.name, subfolder.identity, depth + 1);
            }
        }
        return found;
    }

    // The folder's vCard files and (with `withSubfolders`) its subfolders, each sorted; the system's error
    // number when it cannot be opened, else 0. Read with the system's calls rather than QDir, which turns
    // names that are not UTF-8 into ones that name no file.
    int list(const QString& folder, bool withSubfolders, QList<Entry>& files, QList<Entry>& subfolders) {
        QByteArray native = nativeFileName(folder);
        if (!native.endsWith('/')) {
            native += '/';
        }
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.constData()), &::closedir);
        if (!dir) {
            return errno;
        }
        while (const dirent* entry = ::readdir(dir.get())) {
            const QByteArray name(entry->d_name);
            if (name.startsWith('.')) {
                continue; // hidden, or the folder itself and the one above
            }
            // Follows links: a linked file or folder counts as what it points to.
            struct stat info {};
            if (::stat((native + name).constData(), &info) != 0) {
                continue;
            }
            Entry found{fileNameFromNative(name), name, identityOf(info)};
            if (S_ISREG(info.st_mode) && FileTypes::matches(FileTypes::VcfFiles, found.name)) {
                files.append(std::move(found));
            } else if (S_ISDIR(info.st_mode) && withSubfolders) {
                subfolders.append(std::move(found));
            }
        }
        sortByName(files);
        sortByName(subfolders);
        return 0;
    }

    void sortByName(QList<Entry>& entries) const {
        std::sort(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
            const int order = m_collator.compare(a.name, b.name);
            // Names the collation holds equal still come in one order every time.
            return order != 0 ? order < 0 : a.nativeName < b.nativeName;
        });
    }

    QCollator m_collator;
    DocumentFiles m_result;
    QSet<Identity> m_files;
    QSet<QString> m_missing;
    QHash<Identity, int> m_folders; // each folder looked through, with the level it was looked at from
};

} // namespace

DocumentFiles expandDocumentPaths(const QStringList& paths) {
    Expander expander;
    for (const QString& path : paths) {
        if (!path.isEmpty()) {
            expander.add(path);
        }
    }
    return expander.take();
}

} // namespace tovanel
