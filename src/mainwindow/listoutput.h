#pragma once

#include "export/contactexport.h"

#include <QString>

class QWidget;

namespace tovanel {

class ContactListModel;
class Dialogs;

// The format of an export to `path` chosen under the save dialog's `filter` (an index of
// exportFileFilters()): the filter's where the name has its extension or, under the folder filter, none of
// ours; else the one the extension names (typing "x.xlsx" under "vCard 3.0" writes XLSX), or nothing.
std::optional<ExportFormat> chosenExportFormat(const QString& path, int filter);

// The contact list as shown, in its order, out of the program: to a file of the user's choice
// ("Exportieren …") or to a printer ("Drucken …"). Both show progress with "Abbrechen" while they run
// and tell the user, through `dialogs`, why a file could not be written.
struct ListOutput {
    Dialogs& dialogs;
    QWidget* window;
    const ContactListModel& model;
    // The save dialog's filter last chosen in this run, preselected the next time.
    ExportFormat& lastFilter;
    // The file the list was read from; the suggested name and the phone list's heading come from it.
    QString sourcePath;
    bool sortedByName = false;
    // How long writing may take before the progress window shows.
    int progressDelayMs = 500;

    void exportToFile() const;
    void print() const;

private:
    // The list as shown, headed with the file's name, or "a.vcf und 2 weitere".
    ExportRequest request(ExportProgress progress) const;
};

} // namespace tovanel
