#pragma once

#include "contactlist/contactsearch.h"
#include "platform/regularfile.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tovanel {

// The file formats the contact list can be written to. The exporters take the list as it is shown (a
// sequence of contacts of one table), so whatever order or selection the list has is what is written.
enum class ExportFormat { Xlsx, Csv, Vcard, Pdf };

// The save dialog's filters, the default first, in ExportFormat order.
QStringList exportFileFilters();
// The format a file name asks for by its extension (any case), or nothing.
std::optional<ExportFormat> exportFormatOf(const QString& path);
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
};

// Why the list must not be written to `path` (German, for a message): it is a file the list was read
// from. Empty when it may be.
QString exportRefusal(const ContactTable& table, const QString& path);

// Writes the list to `path` in `format`. The file appears whole or not at all: a cancelled or failed export
// leaves whatever was there before, and no partial file.
ExportResult exportContacts(const ExportRequest& request, const QString& path, ExportFormat format);

} // namespace tovanel
