#include "export/contactexport.h"

#include "contacts/contacttable.h"
#include "contacts/telephone.h"
#include "export/phonelist.h"
#include "platform/displaytext.h"
#include "platform/germantext.h"
#include "platform/linereader.h"
#include "vcard/cardsource.h"
#include "vcard/importmessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <array>
#include <cerrno>
#include <cstring>
#include <locale.h>
#include <memory>
#include <xlsxwriter.h>

namespace tovanel {

namespace {

// Progress is told this often; a callback per contact would cost more than the writing.
constexpr int ProgressStep = 256;
// Buffered output is handed to the file in pieces of this size.
constexpr qsizetype FlushBytes = qsizetype(1) << 20;

QString failureText(const QString& path, const QString& reason) {
    return QStringLiteral("%1 konnte nicht geschrieben werden.\n%2").arg(quotedFileName(path), reason);
}

// Qt hands the system's error text through; the user reads German.
QString writeErrorReason(const QString& deviceError) {
    return deviceErrorReason(deviceError, {}, FileAccess::Write);
}

ExportResult failed(const QString& error) {
    return {ExportResult::Status::Failed, error};
}

ExportResult cancelled() {
    return {ExportResult::Status::Cancelled, {}};
}

// Calls the progress callback every ProgressStep contacts.
class Progress {
public:
    explicit Progress(const ExportRequest& request) : m_request(request) {}
    bool at(int row) const {
        if (!m_request.progress || row % ProgressStep != 0) {
            return true;
        }
        return m_request.progress(row, m_request.list.rows());
    }

private:
    const ExportRequest& m_request;
};

// Whether `path` is a file the list was read from, through whatever name: overwriting it would take
// away the bytes the viewer still reads a card's source from.
bool isSourceFile(const QString& path, const ContactTable& table) {
    const FileStamp target = fileStampOf(path);
    if (!target.isValid()) {
        return false;
    }
    for (int file = 0; file < table.fileCount(); ++file) {
        if (table.fileSource(file)->stamp.sameFileAs(target)) {
            return true;
        }
    }
    return false;
}

// Only digits, blanks and + - / ( ) . : a number, not a formula a card's author could have written.
bool isPlainNumber(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }) &&
           std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.isDigit() || QStringView(u" +-/().").contains(c); });
}

void appendCsvCell(QString& line, QStringView text, Field field) {
    const bool number =
        (isTelephone(field) || field == Field::HomePostalCode || field == Field::WorkPostalCode) &&
        isPlainNumber(text);
    // A spreadsheet runs a cell beginning with one of these as a formula; the apostrophe makes it text.
    const bool formula = !number && !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
    if (number) {
        // Opened bare, "01711234567" becomes the number 1711234567, "+4930123456" loses its "+" and
        // "030-12" may turn into a date. Excel and LibreOffice both take ="…" as the text between the
        // quotes, which cannot hold a quote here, so it stays what the card says and nothing else.
        line += u"\"=\"\"";
        line += text;
        line += u"\"\"\"";
        return;
    }
    const bool quoted =
        formula || text.contains(u';') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!quoted) {
        line += text;
        return;
    }
    line += u'"';
    if (formula) {
        line += u'\'';
    }
    for (const QChar c : text) {
        if (c == u'"') {
            line += u'"';
        }
        line += c;
    }
    line += u'"';
}

ExportResult commit(QSaveFile& file, const QString& path) {
    if (!file.commit()) {
        return failed(failureText(path, writeErrorReason(file.errorString())));
    }
    return {};
}

bool writeAll(QSaveFile& file, QByteArray& buffer) {
    const bool ok = file.write(buffer) == buffer.size();
    buffer.clear();
    return ok;
}

ExportResult writeCsv(const ExportRequest& request, QSaveFile& file, const QString& path) {
    const ContactList& list = request.list;
    const Progress progress(request);
    QByteArray buffer("\xEF\xBB\xBF");
    QString line;
    const QStringList headings = exportHeadings();
    for (int i = 0; i < FieldCount; ++i) {
        if (i > 0) {
            line += u';';
        }
        appendCsvCell(line, headings.at(i), Field(i));
    }
    line += u"\r\n";
    buffer += line.toUtf8();
    for (int row = 0; row < list.rows(); ++row) {
        if (!progress.at(row)) {
            return cancelled();
        }
        const qsizetype contact = list.contactAt(row);
        line.clear();
        for (int i = 0; i < FieldCount; ++i) {
            if (i > 0) {
                line += u';';
            }
            appendCsvCell(line, list.table.text(contact, Field(i)), Field(i));
        }
        line += u"\r\n";
        buffer += line.toUtf8();
        if (buffer.size() >= FlushBytes && !writeAll(file, buffer)) {
            break;
        }
    }
    writeAll(file, buffer);
    return commit(file, path);
}

// The cards of every listed contact, each from its "BEGIN" line on, read out of its own file. A UTF-16
// file's cards are converted to UTF-8 as the source view reads them, so the output is one encoding
// throughout.
ExportResult writeVcards(const ExportRequest& request, QSaveFile& file, const QString& path) {
    const ContactList& list = request.list;
    const Progress progress(request);
    CardBytesReader reader;
    QByteArray buffer;
    for (int row = 0; row < list.rows(); ++row) {
        if (!progress.at(row)) {
            return cancelled();
        }
        const qsizetype contact = list.contactAt(row);
        CardSourceText card = reader.card(list.table, contact);
        if (!card.ok) {
            return failed(
                failureText(path, card.tooLarge ? ImportMessages::cardTooLarge(card.size) : card.error));
        }
        buffer += card.bytes;
        // A file's last card may lack its line break; the card after it would run into it.
        if (!card.bytes.isEmpty() && !card.bytes.endsWith('\n') && !card.bytes.endsWith('\r')) {
            buffer += "\r\n";
        }
        if (buffer.size() >= FlushBytes && !writeAll(file, buffer)) {
            break;
        }
    }
    writeAll(file, buffer);
    return commit(file, path);
}

// libxlsxwriter writes its numbers (column widths, page margins) with printf, which follows the C
// library's numeric locale, and Qt sets that from the environment: under de_DE.UTF-8 the sheet would say
// width="28,7" where the format demands a point, and strict readers refuse the file. While it lives, the
// calling thread writes numbers the C way; other threads and the program's own locale stay as they are.
class CNumbersOnThisThread {
public:
    CNumbersOnThisThread() {
        if (const locale_t base = duplocale(LC_GLOBAL_LOCALE)) {
            m_locale = newlocale(LC_NUMERIC_MASK, "C", base);
            if (m_locale == locale_t(nullptr)) {
                freelocale(base);
            }
        }
        if (m_locale != locale_t(nullptr)) {
            m_previous = uselocale(m_locale);
        }
    }
    ~CNumbersOnThisThread() {
        if (m_locale != locale_t(nullptr)) {
            uselocale(m_previous);
            freelocale(m_locale);
        }
    }
    Q_DISABLE_COPY_MOVE(CNumbersOnThisThread)

private:
    locale_t m_locale = locale_t(nullptr);
    locale_t m_previous = locale_t(nullptr);
};

// libxlsxwriter writes to a file name of its own choosing; the finished workbook is then copied into the
// save file, so the target still appears whole or not at all.
ExportResult writeXlsx(const ExportRequest& request, QSaveFile& file, const QString& path) {
    const CNumbersOnThisThread cNumbers;
    const ContactList& list = request.list;
    // The heading takes the first of the format's 1,048,576 rows.
    constexpr int MaxContacts = 1048575;
    if (list.rows() > MaxContacts) {
        return failed(
            failureText(path, QStringLiteral("Eine Excel-Tabelle fasst höchstens 1.048.575 Kontakte.")));
    }
    QTemporaryFile workbookFile(QDir::tempPath() + QStringLiteral("/tovanel-XXXXXX.xlsx"));
    if (!workbookFile.open()) {
        return failed(failureText(path, writeErrorReason(workbookFile.errorString())));
    }
    workbookFile.close();
    const QByteArray workbookName = QFile::encodeName(workbookFile.fileName());
    lxw_workbook_options options = {};
    // Rows go to disk as they are written: a million contacts would otherwise be held a second time.
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(workbookName.constData(), &options);
    if (!workbook) {
        return failed(failureText(path, outOfMemory()));
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Kontakte");
    // The columns' format: what a user types into them stays text too, so "0171 …" keeps its 0. Cells
    // without a format of their own take it.
    lxw_format* text = workbook_add_format(workbook);
    format_set_num_format(text, "@");
    lxw_format* boldText = workbook_add_format(workbook);
    format_set_bold(boldText);
    format_set_num_format(boldText, "@");
    worksheet_freeze_panes(sheet, 1, 0);
    static constexpr std::array<double, FieldCount> widths = {28, 24, 18, 18, 18, 30, 26,
                                                              8,  18, 26, 8,  18, 40};
    for (int i = 0; i < FieldCount; ++i) {
        worksheet_set_column(sheet, lxw_col_t(i), lxw_col_t(i), widths[size_t(i)], text);
    }
    const QStringList headings = exportHeadings();
    for (int i = 0; i < FieldCount; ++i) {
        worksheet_write_string(sheet, 0, lxw_col_t(i), headings.at(i).toUtf8().constData(), boldText);
    }
    const Progress progress(request);
    QByteArray utf8;
    for (int row = 0; row < list.rows(); ++row) {
        if (!progress.at(row)) {
            lxw_workbook_free(workbook);
            return cancelled();
        }
        const qsizetype contact = list.contactAt(row);
        for (int i = 0; i < FieldCount; ++i) {
            const Field field = Field(i);
            QStringView value = list.table.text(contact, field);
            if (value.isEmpty()) {
                continue;
            }
            // A cell holds at most 32,767 characters.
            constexpr qsizetype MaxCell = 32767;
            if (value.size() > MaxCell) {
                value = value.first(value.at(MaxCell - 1).isHighSurrogate() ? MaxCell - 1 : MaxCell);
            }
            utf8 = value.toUtf8();
            const bool favourite = isTelephone(field) && list.table.isBold(contact, field);
            worksheet_write_string(sheet, lxw_row_t(row + 1), lxw_col_t(i), utf8.constData(),
                                   favourite ? boldText : nullptr);
        }
    }
    const lxw_error error = workbook_close(workbook);
    if (error != LXW_NO_ERROR) {
        const QString reason = error == LXW_ERROR_MEMORY_MALLOC_FAILED
                                   ? outOfMemory()
                                   : systemErrorReason(errno, {}, FileAccess::Write);
        return failed(failureText(path, reason));
    }
    QFile workbookBytes(workbookFile.fileName());
    if (!workbookBytes.open(QIODevice::ReadOnly)) {
        return failed(failureText(path, writeErrorReason(workbookBytes.errorString())));
    }
    while (!workbookBytes.atEnd()) {
        const QByteArray piece = workbookBytes.read(FlushBytes);
        if (piece.isEmpty() || file.write(piece) != piece.size()) {
            break;
        }
    }
    if (workbookBytes.error() != QFileDevice::NoError) {
        return failed(failureText(path, writeErrorReason(workbookBytes.errorString())));
    }
    return commit(file, path);
}

} // namespace

QStringList exportFileFilters() {
    return {QStringLiteral("Excel-Tabelle (*.xlsx)"), QStringLiteral("CSV für Excel (Semikolon) (*.csv)"),
            QStringLiteral("vCard-Datei (*.vcf)"), QStringLiteral("PDF-Telefonliste (*.pdf)")};
}

std::optional<ExportFormat> exportFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"xlsx") {
        return ExportFormat::Xlsx;
    }
    if (suffix == u"csv") {
        return ExportFormat::Csv;
    }
    if (suffix == u"vcf") {
        return ExportFormat::Vcard;
    }
    if (suffix == u"pdf") {
        return ExportFormat::Pdf;
    }
    return std::nullopt;
}

QStringList exportHeadings() {
    QStringList headings;
    for (int i = 0; i < FieldCount; ++i) {
        const Field field = Field(i);
        QString heading = fieldCaption(field);
        if (field == Field::WorkPostalCode || field == Field::WorkCity) {
            heading += QStringLiteral(" (Arbeit)");
        }
        headings << heading;
    }
    return headings;
}

QString exportRefusal(const ContactTable& table, const QString& path) {
    if (isSourceFile(path, table)) {
        return failureText(path,
                           QStringLiteral("Das ist die geöffnete Datei; sie wird nicht überschrieben."));
    }
    return {};
}

ExportResult exportContacts(const ExportRequest& request, const QString& path, ExportFormat format) {
    // Checked again here: the file chosen may have become one of the list's since, and the command line
    // has no dialog that checked it.
    if (QString refusal = exportRefusal(request.list.table, path); !refusal.isEmpty()) {
        return failed(std::move(refusal));
    }
    try {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return failed(failureText(path, writeErrorReason(file.errorString())));
        }
        switch (format) {
        case ExportFormat::Csv:
            return writeCsv(request, file, path);
        case ExportFormat::Vcard:
            return writeVcards(request, file, path);
        case ExportFormat::Xlsx:
            return writeXlsx(request, file, path);
        case ExportFormat::Pdf:
            if (!writePhoneList(request, file)) {
                return file.error() == QFileDevice::NoError
                           ? cancelled()
                           : failed(failureText(path, writeErrorReason(file.errorString())));
            }
            return commit(file, path);
        }
    } catch (const std::bad_alloc&) {
        return failed(failureText(path, outOfMemory()));
    }
    return {};
}

} // namespace tovanel
