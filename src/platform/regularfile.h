#pragma once

#include <QString>
#include <QtGlobal>
#include <utility>

class QFile;

namespace tovanel {

// What a file was when it was opened: enough to tell later whether the bytes at known offsets are still
// the ones that were read.
struct FileStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0; // last modification, nanoseconds since the epoch
    // Last change of the file's inode. A rewrite in place can put the modification time back
    // (rsync --inplace -t, cp -p, touch -r); this one nobody but the system can set.
    qint64 changedNs = 0;
    quint64 device = 0;
    quint64 inode = 0;
    bool isValid() const { return size >= 0; }
    // The same file, whatever its name and however it changed since: the same inode on the same device.
    bool sameFileAs(const FileStamp& other) const {
        return isValid() && other.isValid() && identity() == other.identity();
    }
    // What sameFileAs compares, as a key for a set of files; meaningful only for a valid stamp.
    std::pair<quint64, quint64> identity() const { return {device, inode}; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// File names as the system holds them: bytes, UTF-8 as a rule but not always. Qt's own conversion turns
// every byte that is not UTF-8 into U+FFFD, and that name then opens nothing. Here each such byte becomes a
// lone surrogate (U+DC80 + byte) and turns back into the same byte, so a name read from the system names
// the same file again; UTF-8 reads as Qt reads it.
QString fileNameFromNative(const QByteArray& name);
QByteArray nativeFileName(const QString& name);

// Opens `path` for reading and accepts it only when it is a regular file. The open itself never
// blocks (a FIFO without a writer, a terminal or a device would otherwise hang the caller), and the
// check is made on the opened descriptor, so the file cannot be swapped between check and read.
// On success `file` is open for ordinary blocking reads and `stamp` (if given) describes it; on failure
// `reason` (if given) is a German sentence saying why.
bool openRegularFile(const QString& path, QFile& file, FileStamp* stamp = nullptr, QString* reason = nullptr);

// The stamp of what is at `path` now; an invalid stamp when it cannot be looked at.
FileStamp fileStampOf(const QString& path);

// What a file was being used for when the system refused: the reasons differ ("dort zu schreiben").
enum class FileAccess { Read, Write };

// The German sentence for a system error number met while opening, reading or writing `path`: the one
// table of system reasons the program has. Permission problems on a folder on the way to a file read are
// told apart from those on the file itself. An unknown number falls back to the system's own text.
QString systemErrorReason(int errorNumber, const QString& path = {}, FileAccess access = FileAccess::Read);

// The German sentence for a QIODevice error string that came from the system (Qt passes strerror()
// through, alone or inside a longer text); any other text is returned as it stands.
QString deviceErrorReason(const QString& deviceError, const QString& path = {},
                          FileAccess access = FileAccess::Read);

// "„name“ ist keine gewöhnliche Datei." for anything that is not a regular file.
QString notRegularFileReason(const QString& path);

} // namespace tovanel
