#pragma once

#include <QString>
#include <QStringList>

struct VcardReadResult;

// The German texts the program tells the user about an import. Reading a file only returns a result; the
// window decides what to show.
namespace ImportMessages {

QString strayEnd();
QString nothingImported();
QString cannotRead(const QString& path, const QString& reason);
// The file is no longer what the import read, so a card's bytes cannot be found in it again.
QString changedSinceRead(const QString& path);
// Memory ran out while the file was read; the previous list stays.
QString outOfMemory(const QString& path);

// The messages, in order, that the reading of `path` calls for: none for a file read to its end with at
// least one card, and none for a cancelled reading.
QStringList forResult(const VcardReadResult& result, const QString& path);

} // namespace ImportMessages

// The German reason for a failed open or read, for messages.
QString readFailureReason(const QString& path, const QString& deviceError);
