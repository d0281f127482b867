#include "app/commandlineexport.h"

#include "export/contactexport.h"
#include "platform/displaytext.h"
#include "vcard/importmessages.h"
#include "vcard/vcardreader.h"

#include <QFileInfo>
#include <numeric>
#include <vector>

namespace tovanel {

namespace {

// Each line of a message as a command-line program writes it: "tovanel: …".
QString commandLineError(const QString& message) {
    QStringList lines = message.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line.prepend(QStringLiteral("tovanel: "));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

CommandLineExport exportVcardFile(const QString& vcardPath, const QString& outputPath) {
    const std::optional<ExportFormat> format = exportFormatOf(outputPath);
    if (!format) {
        return {.message =
                    QStringLiteral("tovanel: %1 hat keine bekannte Endung (.xlsx, .csv, .vcf oder .pdf)")
                        .arg(quotedFileName(outputPath))};
    }
    const VcardReadResult read = readVcardFile(vcardPath);
    // A file the window would open only with a warning is not exported half, and one without a contact
    // gives no file with nothing but headings.
    if (const QStringList messages = ImportMessages::forResult(read, vcardPath);
        read.status != VcardReadResult::Status::ReadToEnd || !messages.isEmpty()) {
        return {.message = commandLineError(messages.join(QLatin1Char('\n')))};
    }
    const ContactTable& table = *read.table;
    std::vector<std::uint32_t> fileOrder(size_t(table.size()));
    std::iota(fileOrder.begin(), fileOrder.end(), 0u);
    const ExportRequest request{
        .list = {table, fileOrder},
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
