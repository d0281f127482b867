#pragma once

#include "export/contactrecords.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace tovanel {

// The CSV files Google Contacts and Outlook import as they are.
std::unique_ptr<ContactRecords> googleCsvRecords();
std::unique_ptr<ContactRecords> outlookCsvRecords();

// Their headings, in the order the files have them.
QStringList googleCsvHeadings();
QStringList outlookCsvHeadings();

// What the user learns when `count` cards could no longer be read and went into `path` with only the
// list's cells (German); empty for none.
QString unreadCardsNotice(const QString& path, qint64 count);

} // namespace tovanel
