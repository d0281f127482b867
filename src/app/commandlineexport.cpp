#include "app/commandlineexport.h"

#include "platform/displaytext.h"
#include "platform/documentpaths.h"
#include "vcard/importmessages.h"
#include "vcard/vcardreader.h"

#include <QFileInfo>
#include <memory>
#include <new>
#include <numeric>
#include <vector>

namespace tovanel {

namespace {

// Each line of a message as a command-line program writes it: "tovanel: …". The blank lines between the
// parts of a message about several files are left out, so that every line a script reads says who speaks.
QString commandLineError(const QString& message) {
    QStringList lines = message.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines) {
        line.prepend(QStringLiteral("tovanel: "));
    }
    return lines.join(QLatin1Char('\n'));
}

// The list to write, or the German message why there is none.
struct ReadList {
    std::shared_ptr<ContactTable> table;
    QString failure;
};

// One file named: its own messages, as the window tells them when it opens the file in place of the list.
ReadList readOneFile(const QString& path) {
    VcardReadResult read = readVcardFile(path);
    // A file the window would open only with a warning is not exported half, and one without a contact
    // gives no file with nothing but headings.
    if (const QStringList messages = ImportMessages::forResult(read, path);
        read.status != VcardReadResult::Status::ReadToEnd || !messages.isEmpty()) {
        return {.table = nullptr, .failure = messages.join(QLatin1Char('\n'))};
    }
    return {.table = std::move(read.table), .failure = {}};
}

// Several files, or a folder: one list, as the window reads a batch, and the one message the window would
// show after it. Whatever that message would warn of (a file not read, read in part, without contacts, a
// folder without vCard files) fails the export, as it does for one file: nothing is written half.
ReadList readSeveralFiles(const QStringList& paths) {
    using Outcome = ImportMessages::FileOutcome;
    const DocumentFiles files = expandDocumentPaths(paths);
    QStringList notes = ImportMessages::forFolders(files);
    auto list = std::make_shared<ContactTable>();
    QList<Outcome> outcomes;
    QString current = files.files.value(0);
    try {
        list->reserveFiles(files.files.size());
        for (const QString& path : files.files) {
            current = path;
            VcardReadResult read = readVcardFile(path);
            if (read.status == VcardReadResult::Status::OutOfMemory) {
                return {.table = nullptr, .failure = ImportMessages::outOfMemory(path)};
            }
            const qsizetype contacts = read.table->size();
            if (read.status == VcardReadResult::Status::ReadError) {
                outcomes.append({path, Outcome::Kind::NotRead, 0, read.error});
                continue;
            }
            if (contacts == 0) {
                outcomes.append({path, Outcome::Kind::NoContacts, 0, {}});
                continue;
            }
            const bool strayEnd = read.status == VcardReadResult::Status::StrayEnd;
            outcomes.append({path, strayEnd ? Outcome::Kind::StrayEnd : Outcome::Kind::Read, contacts, {}});
            list->appendFile(*read.table);
        }
    } catch (const std::bad_alloc&) {
        return {.table = nullptr, .failure = ImportMessages::outOfMemory(current)};
    }
    if (const QString message = ImportMessages::forFiles(outcomes, notes); !message.isEmpty()) {
        return {.table = nullptr, .failure = message};
    }
    return {.table = std::move(list), .failure = {}};
}

} // namespace

CommandLineExport exportVcardFiles(const QStringList& paths, const QString& outputPath,
                                   std::optional<ExportFormat> format, NameOrder names) {
    if (!format) {
        format = exportFormatOf(outputPath);
    }
    if (!format) {
        return {.message =
                    QStringLiteral("tovanel: %1 hat keine bekannte Endung (.xlsx, .csv, .vcf, .xml, .pdf "
                                   "oder .ics); ein anderes Format nennt --format")
                        .arg(quotedFileName(outputPath))};
    }
    const bool oneFile = paths.size() == 1 && !QFileInfo(paths.constFirst()).isDir();
    const ReadList read = oneFile ? readOneFile(paths.constFirst()) : readSeveralFiles(paths);
    if (!read.table) {
        return {.message = commandLineError(read.failure)};
    }
    const ContactTable& table = *read.table;
    std::vector<std::uint32_t> fileOrder(size_t(table.size()));
    std::iota(fileOrder.begin(), fileOrder.end(), 0u);
    const ExportRequest request{
        .list = {.table = table, .contacts = fileOrder, .nameOrder = names},
        .title = listName(table),
    };
    const ExportResult result = exportContacts(request, outputPath, *format);
    if (result.status != ExportResult::Status::Written) {
        return {.message = commandLineError(result.error)};
    }
    return {.written = true,
            .message = result.notice.isEmpty() ? QString() : commandLineError(result.notice)};
}

} // namespace tovanel
