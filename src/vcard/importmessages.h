#pragma once

#include <QString>
#include <QStringList>

namespace tovanel {

struct DocumentFiles;
struct VcardReadResult;

// The German texts the program tells the user about an import. Reading a file only returns a result; the
// window decides what to show.
namespace ImportMessages {

QString strayEnd();
QString nothingImported();
QString cannotRead(const QString& path, const QString& reason);
// The file is no longer what the import read, so a card's bytes cannot be found in it again.
QString changedSinceRead(const QString& path);
// The same as the reason a card was not read, after the file's name.
QString changedSinceReadReason();
// A card over CardLimits::CardBytes, which nothing reads.
QString cardTooLarge(qint64 bytes);
// Memory ran out while the file was read; the previous list stays.
QString outOfMemory(const QString& path);

// The messages, in order, that the reading of `path` calls for: none for a file read to its end with at
// least one card, and none for a cancelled reading.
QStringList forResult(const VcardReadResult& result, const QString& path);

} // namespace ImportMessages

// The German reason for a failed open or read, for messages.
QString readFailureReason(const QString& path, const QString& deviceError);

namespace ImportMessages {

// How the reading of one of several files went, for the one message told after all of them.
struct FileOutcome {
    QString path;
    enum class Kind { Read, StrayEnd, NoContacts, NotRead, AlreadyListed } kind = Kind::Read;
    qsizetype contacts = 0;
    QString reason; // NotRead: why (German)
};

// The message after reading several files: first the files not read and why, the files read only in
// part, and `notes`; then how many files and contacts were read; the files read last. A file name that
// two files share comes with its folders. Empty when every file was read to its end and there are no
// notes.
QString forFiles(const QList<FileOutcome>& outcomes, const QStringList& notes);

// The notes about the folders a request named: those without a vCard file and those that could not be read.
QStringList forFolders(const DocumentFiles& files);

} // namespace ImportMessages

} // namespace tovanel
