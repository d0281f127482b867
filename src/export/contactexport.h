#pragma once

#include "contactlist/contactsearch.h"
#include "platform/regularfile.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>

class QIODevice;

namespace tovanel {

// The file formats the contact list can be written to. The exporters take the list as it is shown (a
// sequence of contacts of one table), so whatever order or selection the list has is what is written.
// Vcard is vCard 3.0, each card written anew; VcardOriginal copies each card's bytes as its file holds them.
// BirthdayCalendar is an iCalendar file of the contacts' birthdays and anniversaries. Folder writes one
// vCard 3.0 file per contact into a folder.
enum class ExportFormat {
    Xlsx,
    Csv,
    CsvGoogle,
    CsvOutlook,
    Vcard,
    Vcard4,
    Vcard21,
    VcardOriginal,
    FritzBox,
    Pdf,
    BirthdayCalendar,
    Folder,
};
inline constexpr int ExportFormatCount = int(ExportFormat::Folder) + 1;

// The save dialog's filters, the default first, in ExportFormat order.
QStringList exportFileFilters();
// The format a file name asks for by its extension (any case), or nothing: ".vcf" is vCard 3.0, ".csv" the
// CSV for Excel, ".xml" the FRITZ!Box phone book, ".ics" the birthday calendar.
std::optional<ExportFormat> exportFormatOf(const QString& path);
// The format a command line names ("vcard3", "csv-google", "folder" …), or nothing.
std::optional<ExportFormat> exportFormatNamed(QStringView name);
// The names exportFormatNamed takes, in ExportFormat order.
QStringList exportFormatNames();
// The heading of every field in Field order, each one different: a spreadsheet's reader tells columns by
// their heading.
QStringList exportHeadings();

// Called every few hundred contacts with the contacts written and their number; returns whether to go on.
using ExportProgress = std::function<bool(qsizetype done, qsizetype total)>;

struct ExportRequest {
    ContactList list;
    ExportProgress progress = {};
    // The phone list's heading (the file's name) and whether it gets a letter before each initial.
    QString title = {};
    bool sortedByName = false;
};

struct ExportResult {
    enum class Status { Written, Cancelled, Failed };
    Status status = Status::Written;
    // Failed: German, for the user.
    QString error;
    // Written: what the user should still know about the file (German), such as cells that were shortened;
    // empty when there is nothing.
    QString notice = {};
};

// Why the list must not be written to `path` (German, for a message): it is a file the list was read
// from, or something other than a regular file (a folder, a pipe, a device, a socket), which an export
// would replace or hang on. Empty when it may be.
QString exportRefusal(const ContactTable& table, const QString& path);
// The same for a target of `format`: a Folder export goes into a new folder or an empty one, and is refused
// anything else (a file, a folder holding anything), as it overwrites nothing.
QString exportRefusal(const ContactTable& table, const QString& path, ExportFormat format);

// Writes the list to `path` in `format`. The file appears whole or not at all: a cancelled or failed export
// leaves whatever was there before, and no partial file.
ExportResult exportContacts(const ExportRequest& request, const QString& path, ExportFormat format);

// The writing itself, onto `out` (open for writing), which the caller commits or discards by the result:
// every write is checked, and one the device takes only in part fails the export. `path` names the target
// in messages; the XLSX's temporary files are made in its folder.
ExportResult writeContacts(const ExportRequest& request, QIODevice& out, const QString& path,
                           ExportFormat format);

// A cell's text without what a spreadsheet cannot hold or drops unseen: control characters but tab and line
// breaks (a leading NUL would hide a formula from the guard), lone surrogates, U+FFFE and U+FFFF. Gives
// `text` itself when nothing is dropped, else a view of `scratch`.
QStringView spreadsheetText(QStringView text, QString& scratch);

} // namespace tovanel
