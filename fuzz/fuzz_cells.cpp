// The spreadsheet writers (and the birthday calendar) on arbitrary bytes. Taken as UTF-16, the input goes
// through the rule of what a cell may hold; read as vCard text, it is written as the CSV files, the phone
// book and an Excel table into memory. No cell may keep what the rule drops, and no export of a list that was
// read may fail.
#include "export/contactexport.h"
#include "vcard/vcardreader.h"

#include <QBuffer>
#include <QDir>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <vector>

using namespace tovanel;

namespace {
void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool heldByCell(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF) {
            return false;
        }
        if (text.at(i).isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate()) {
                return false;
            }
            ++i;
        } else if (text.at(i).isLowSurrogate()) {
            return false;
        }
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));

    const QStringView units(reinterpret_cast<const char16_t*>(input.constData()), input.size() / 2);
    QString scratch;
    const QString held = spreadsheetText(units, scratch).toString();
    check(held.size() <= units.size());
    check(heldByCell(held));
    QString again;
    check(spreadsheetText(held, again) == held);

    QByteArray vcard = input;
    QBuffer in(&vcard);
    in.open(QIODevice::ReadOnly);
    const VcardReadResult read = readVcard(in);
    if (!read.table) {
        return 0;
    }
    read.table->setGroups(std::make_shared<const ContactGroups>(findContactGroups(*read.table)));
    std::vector<std::uint32_t> order(size_t(read.table->size()));
    std::iota(order.begin(), order.end(), 0u);
    // Every other input as the user may see the list: names turned round, every column added.
    std::vector<int> added;
    if (size % 2 == 1) {
        for (int column = ContactColumn::FirstAdded; column < ContactColumn::Count; ++column) {
            added.push_back(column);
        }
    }
    const ExportRequest request{
        .list = {*read.table, order, added.empty() ? NameOrder::GivenFirst : NameOrder::FamilyFirst, added}};
    // The folder only holds the workbook's temporary files while it is written.
    const QString path = QDir::tempPath() + QStringLiteral("/fuzz_cells.out");
    for (const ExportFormat format :
         {ExportFormat::Csv, ExportFormat::CsvGoogle, ExportFormat::CsvOutlook, ExportFormat::FritzBox,
          ExportFormat::Xlsx, ExportFormat::BirthdayCalendar}) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        check(writeContacts(request, out, path, format).status == ExportResult::Status::Written);
        if (format == ExportFormat::Csv || format == ExportFormat::CsvGoogle) {
            check(heldByCell(QString::fromUtf8(out.data())));
        }
    }
    return 0;
}
