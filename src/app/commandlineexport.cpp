#include "app/commandlineexport.h"

#include "export/contactexport.h"
#include "platform/displaytext.h"
#include "vcard/importmessages.h"
#include "vcard/vcardreader.h"

#include <QFileInfo>
#include <numeric>
#include <vector>

namespace tovanel {

QString exportVcardFile(const QString& vcardPath, const QString& outputPath) {
    const std::optional<ExportFormat> format = exportFormatOf(outputPath);
    if (!format) {
        return QStringLiteral("tovanel: %1 hat keine bekannte Endung (.xlsx, .csv, .vcf oder .pdf)")
            .arg(quotedFileName(outputPath));
    }
    const VcardReadResult read = readVcardFile(vcardPath);
    // A file the window would open only with a warning is not exported half.
    if (read.status != VcardReadResult::Status::ReadToEnd) {
        return ImportMessages::forResult(read, vcardPath).join(QLatin1Char('\n'));
    }
    const ContactTable& table = *read.table;
    std::vector<std::uint32_t> fileOrder(size_t(table.size()));
    std::iota(fileOrder.begin(), fileOrder.end(), 0u);
    const ExportRequest request{
        .list = {table, fileOrder},
        .title = listName(table),
    };
    const ExportResult result = exportContacts(request, outputPath, *format);
    return result.status == ExportResult::Status::Written ? QString() : result.error;
}

} // namespace tovanel
