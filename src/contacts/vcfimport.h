#pragma once

#include "vcardreader.h"

#include <QString>
#include <functional>

class AddressTableModel;
class Dialogs;

// What the window around an import does at its steps.
struct ImportHooks {
    // A file was handed to the import: remember it and show its name in the title.
    std::function<void(const QString& path)> fileChosen;
    // The reading was cancelled or ran out of memory: put back what fileChosen changed (the file remembered
    // before it and that file's title). The import puts the previous lists back itself.
    std::function<void()> fileAbandoned;
    // The file was read to its end (the application's "openOK"); the list takes the focus.
    std::function<void()> readToEnd;
    // Progress of the reading, for a long import; returning false cancels it.
    ReadProgress progress;
    // Reads the file in place of readVcardFile(path, progress). The reading is the import's one long step:
    // a window wraps it in its wait cursor and progress display, which must be gone again before any
    // message of the import is shown.
    std::function<VcardReadResult(const QString& path)> read;
};

// Message texts of the import.
namespace ImportMessages {
QString strayEnd();
QString nothingImported();
QString cannotRead(const QString& path, const QString& reason);
// The file is no longer what the import read, so a card's bytes cannot be found in it again.
QString changedSinceRead(const QString& path);
// Memory ran out while the file was read; the previous list stays.
QString outOfMemory(const QString& path);
} // namespace ImportMessages

// Reads a vCard file into the two lists and tells the user what went wrong, if anything. An empty path
// (a cancelled open dialog) changes nothing. After an "END" line outside a card the user is asked for
// another file, which is imported in place of this one. A cancelled reading, and one that ran out of
// memory, leave the lists and the chosen file as they were before.
void OpenVcf(const QString& path, AddressTableModel& adressen, AddressTableModel& adrData, Dialogs& dialogs,
             const ImportHooks& hooks);
