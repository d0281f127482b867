#include "export/contactexport.h"

#include "contacts/contacttable.h"
#include "contacts/telephone.h"
#include "export/addressbookcsv.h"
#include "export/birthdaycalendar.h"
#include "export/contactrecords.h"
#include "export/csvcells.h"
#include "export/fritzbox.h"
#include "export/phonelist.h"
#include "export/vcardexport.h"
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
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <memory>
#include <sys/stat.h>
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

// A write fell short, and nothing said why.
QString notAllTaken() {
    return QStringLiteral("Der Datenträger hat nicht alle Daten angenommen.");
}

// Why `out` stopped taking bytes. A device that takes fewer bytes than it was given may say nothing about
// why (Qt's own "Unknown error" then), and a short count is a failure all the same.
QString writeFailureReason(const QIODevice& out) {
    const QString error = out.errorString();
    const auto* file = qobject_cast<const QFileDevice*>(&out);
    if (file == nullptr || file->error() != QFileDevice::NoError) {
        if (QString reason = writeErrorReason(error); reason != error) {
            return reason;
        }
    }
    return notAllTaken();
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

// The file the contact's card is read from, for a message about it.
QString sourcePathOf(const ContactTable& table, qsizetype contact) {
    const int file = table.fileOf(contact);
    const auto& source = file >= 0 ? table.fileSource(file) : nullptr;
    return source ? source->path : QString();
}

bool isDroppedFromCell(char16_t c) {
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF;
}

// The columns of the spreadsheet exports: the thirteen fields, with the name as the list shows it, then the
// columns the user added to the list, in their order ("Notiz" only once: it is the thirteenth).
class ExportColumns final {
public:
    explicit ExportColumns(const ContactList& list) : m_list(list) {
        for (const int column : list.addedColumns) {
            if (column != ContactColumn::Note) {
                m_added.push_back(column);
            }
        }
    }
    int count() const { return FieldCount + int(m_added.size()); }
    QString heading(int column, const QStringList& fieldHeadings) const {
        return column < FieldCount ? fieldHeadings.at(column) : addedColumnCaption(added(column));
    }
    QStringView text(qsizetype contact, int column) {
        if (column >= FieldCount) {
            return addedColumnText(m_list.table, contact, added(column), m_scratch);
        }
        if (column == int(Field::Name) && m_list.nameOrder == NameOrder::FamilyFirst) {
            m_scratch = m_list.table.familyFirstName(contact);
            return m_scratch;
        }
        return m_list.table.text(contact, Field(column));
    }
    // A field, nothing for an added column.
    static std::optional<Field> field(int column) {
        return column < FieldCount ? std::optional<Field>(Field(column)) : std::nullopt;
    }
    // Numbers that a spreadsheet would take for numbers or dates.
    bool holdsNumbers(int column) const {
        if (column >= FieldCount) {
            return added(column) == ContactColumn::PostalCode || added(column) == ContactColumn::Birthday;
        }
        const auto f = Field(column);
        return isTelephone(f) || f == Field::HomePostalCode || f == Field::WorkPostalCode;
    }
    // Widths in the spreadsheet's character units.
    double width(int column) const {
        static constexpr std::array<double, FieldCount> widths = {28, 24, 18, 18, 18, 30, 26,
                                                                  8,  18, 26, 8,  18, 40};
        return column < FieldCount ? widths[size_t(column)] : 20;
    }

private:
    int added(int column) const { return m_added[size_t(column - FieldCount)]; }
    const ContactList& m_list;
    std::vector<int> m_added;
    QString m_scratch;
};

void appendCsvCell(QString& line, QStringView text, bool numberField, QString& scratch) {
    if (numberField) {
        if (const QStringView number = spreadsheetText(text, scratch); CsvCells::isPlainNumber(number)) {
            // Opened bare, "01711234567" becomes the number 1711234567, "+4930123456" loses its "+" and
            // "030-12" may turn into a date. Excel and LibreOffice both take ="…" as the text between the
            // quotes, which cannot hold a quote here, so it stays what the card says and nothing else.
            line += u"\"=\"\"";
            line += number;
            line += u"\"\"\"";
            return;
        }
    }
    CsvCells::append(line, text, u';', scratch);
}

// A file that takes part of a piece says why it stopped (a full disk, a size limit) only when it is given
// the rest, so the rest is offered until it takes nothing more.
bool writeAll(QIODevice& out, QByteArrayView bytes) {
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = out.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool writeAll(QIODevice& out, QByteArray& buffer) {
    const bool ok = writeAll(out, QByteArrayView(buffer));
    buffer.clear();
    return ok;
}

// Buffered bytes reach the disk here; a full disk may say so only now.
bool flushed(QIODevice& out) {
    auto* file = qobject_cast<QFileDevice*>(&out);
    return file == nullptr || file->flush();
}

// The rest of the buffer and the device's own buffer written out, or why not.
ExportResult finish(QIODevice& out, QByteArray& buffer, const QString& path) {
    if (!writeAll(out, buffer) || !flushed(out)) {
        return failed(failureText(path, writeFailureReason(out)));
    }
    return {};
}

ExportResult writeCsv(const ExportRequest& request, QIODevice& out, const QString& path) {
    const ContactList& list = request.list;
    const Progress progress(request);
    QByteArray buffer("\xEF\xBB\xBF");
    QString line;
    QString scratch;
    const QStringList headings = exportHeadings();
    ExportColumns columns(list);
    for (int i = 0; i < columns.count(); ++i) {
        if (i > 0) {
            line += u';';
        }
        appendCsvCell(line, columns.heading(i, headings), columns.holdsNumbers(i), scratch);
    }
    line += u"\r\n";
    buffer += line.toUtf8();
    for (int row = 0; row < list.rows(); ++row) {
        if (!progress.at(row)) {
            return cancelled();
        }
        const qsizetype contact = list.contactAt(row);
        line.clear();
        for (int i = 0; i < columns.count(); ++i) {
            if (i > 0) {
                line += u';';
            }
            appendCsvCell(line, columns.text(contact, i), columns.holdsNumbers(i), scratch);
        }
        line += u"\r\n";
        buffer += line.toUtf8();
        if (buffer.size() >= FlushBytes && !writeAll(out, buffer)) {
            return failed(failureText(path, writeFailureReason(out)));
        }
    }
    return finish(out, buffer, path);
}

// A format written record by record (ContactRecords).
ExportResult writeRecords(const ExportRequest& request, QIODevice& out, const QString& path,
                          ContactRecords& records) {
    const ContactList& list = request.list;
    const Progress progress(request);
    QByteArray buffer = records.head();
    for (int row = 0; row < list.rows(); ++row) {
        if (!progress.at(row)) {
            return cancelled();
        }
        records.append(buffer, list.table, list.contactAt(row));
        if (QString failure = records.failure(path); !failure.isEmpty()) {
            return failed(std::move(failure));
        }
        if (buffer.size() >= FlushBytes && !writeAll(out, buffer)) {
            return failed(failureText(path, writeFailureReason(out)));
        }
    }
    buffer += records.tail();
    if (QString failure = records.failure(path); !failure.isEmpty()) {
        return failed(std::move(failure));
    }
    ExportResult result = finish(out, buffer, path);
    if (result.status == ExportResult::Status::Written) {
        result.notice = records.notice(path);
    }
    return result;
}

// The cards of every listed contact, each from its "BEGIN" line on, read out of its own file. A UTF-16
// file's cards are converted to UTF-8 as the source view reads them, so the output is one encoding
// throughout.
ExportResult writeVcards(const ExportRequest& request, QIODevice& out, const QString& path) {
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
            // The message is about the file the card could not be read from, when there is one.
            const QString reason = card.tooLarge ? ImportMessages::cardTooLarge(card.size) : card.error;
            const QString source = sourcePathOf(list.table, contact);
            if (source.isEmpty()) {
                return failed(failureText(path, reason));
            }
            return failed(QStringLiteral("%1 konnte nicht gelesen werden; %2 wurde nicht geschrieben.\n%3")
                              .arg(quotedFileName(source), quotedFileName(path), reason));
        }
        buffer += card.bytes;
        // A file's last card may lack its line break; the card after it would run into it.
        if (!card.bytes.isEmpty() && !card.bytes.endsWith('\n') && !card.bytes.endsWith('\r')) {
            buffer += "\r\n";
        }
        if (buffer.size() >= FlushBytes && !writeAll(out, buffer)) {
            return failed(failureText(path, writeFailureReason(out)));
        }
    }
    return finish(out, buffer, path);
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

// QPdfWriter writes on its own, in small pieces, and does not look at what the device took; this device
// in between gathers the pieces, hands them on checked, and takes nothing more after a write fell short.
class CheckedWrites final : public QIODevice {
public:
    explicit CheckedWrites(QIODevice& out) : m_out(out) { open(QIODevice::WriteOnly); }
    // Whether everything written reached `out`, the last pieces handed on now.
    bool finish() { return !m_failed && writeAll(m_out, m_buffer); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        m_buffer.append(data, size);
        if (!m_failed && m_buffer.size() >= FlushBytes) {
            m_failed = !writeAll(m_out, m_buffer);
        }
        return m_failed ? -1 : size;
    }

private:
    QIODevice& m_out;
    QByteArray m_buffer;
    bool m_failed = false;
};

// libxlsxwriter's own failures in German. A file operation leaves the system's reason in errno; the
// library's other codes have only English texts, so its number is told instead.
QString xlsxFailureReason(lxw_error error, int systemError) {
    if (error == LXW_ERROR_MEMORY_MALLOC_FAILED || systemError == ENOMEM) {
        return outOfMemory();
    }
    if (systemError != 0) {
        return systemErrorReason(systemError, {}, FileAccess::Write);
    }
    if (error == LXW_ERROR_CREATING_TMPFILE) {
        return notAllTaken();
    }
    return QStringLiteral("Die Excel-Tabelle ließ sich nicht zusammensetzen (Fehler %1).").arg(int(error));
}

// The folder the target lands in: beside a link's file, where the save file writes too.
QString targetFolder(const QString& path) {
    const QFileInfo target(path);
    const QString file = target.isSymLink() ? target.symLinkTarget() : target.absoluteFilePath();
    return QFileInfo(file).absolutePath();
}

// A cell holds at most this many characters; a longer text is cut, never inside a surrogate pair.
constexpr qsizetype MaxXlsxCell = 32767;

QString shortenedCellsNotice(const QString& path, qint64 cells) {
    const QString shortened = cells == 1 ? QStringLiteral("wurde 1 Zelle")
                                         : QStringLiteral("wurden %1 Zellen").arg(germanNumber(cells));
    return QStringLiteral("In %1 %2 gekürzt: Eine Excel-Zelle fasst höchstens 32.767 Zeichen.")
        .arg(quotedFileName(path), shortened);
}

// libxlsxwriter writes to a file name and keeps the sheet's rows in temporary files until it closes. All
// of them lie in the target's folder, so a full disk is the target's disk, and each loses its name as
// soon as it is open: an export that is killed leaves nothing behind. The finished workbook is then
// copied into `out`, so the target still appears whole or not at all.
ExportResult writeXlsx(const ExportRequest& request, QIODevice& out, const QString& path) {
    const CNumbersOnThisThread cNumbers;
    const ContactList& list = request.list;
    // The heading takes the first of the format's 1,048,576 rows.
    constexpr int MaxContacts = 1048575;
    if (list.rows() > MaxContacts) {
        return failed(
            failureText(path, QStringLiteral("Eine Excel-Tabelle fasst höchstens 1.048.575 Kontakte.")));
    }
    const QString folder = targetFolder(path);
    QTemporaryFile workbookFile(folder + QStringLiteral("/.tovanel-XXXXXX.xlsx"));
    if (!workbookFile.open()) {
        return failed(failureText(path, writeErrorReason(workbookFile.errorString())));
    }
    // Where the name cannot be taken away, the file is removed by its name when the export ends.
    workbookFile.setAutoRemove(!QFile::remove(workbookFile.fileName()));
    const QByteArray workbookName = "/proc/self/fd/" + QByteArray::number(workbookFile.handle());
    QByteArray temporaryFolder = nativeFileName(folder);
    lxw_workbook_options options = {};
    // Rows go to disk as they are written: a million contacts would otherwise be held a second time.
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    options.tmpdir = temporaryFolder.data();
    errno = 0;
    lxw_workbook* workbook = workbook_new_opt(workbookName.constData(), &options);
    if (!workbook) {
        return failed(failureText(path, xlsxFailureReason(LXW_ERROR_MEMORY_MALLOC_FAILED, errno)));
    }
    std::unique_ptr<lxw_workbook, void (*)(lxw_workbook*)> owner(workbook, lxw_workbook_free);
    // The library's calls that write a file set errno; the others check their arguments only.
    const auto fail = [&path](lxw_error error, int systemError = 0) {
        return failed(failureText(path, xlsxFailureReason(error, systemError)));
    };
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Kontakte");
    // The columns' format: what a user types into them stays text too, so "0171 …" keeps its 0. Cells
    // without a format of their own take it.
    lxw_format* text = workbook_add_format(workbook);
    lxw_format* boldText = workbook_add_format(workbook);
    // Without its sheet's temporary file the library writes no rows and says nothing.
    if (!sheet || !text || !boldText || !sheet->optimize_tmpfile) {
        return fail(LXW_ERROR_CREATING_TMPFILE, errno);
    }
    format_set_num_format(text, "@");
    format_set_bold(boldText);
    format_set_num_format(boldText, "@");
    worksheet_freeze_panes(sheet, 1, 0);
    ExportColumns columns(list);
    for (int i = 0; i < columns.count(); ++i) {
        if (const lxw_error error =
                worksheet_set_column(sheet, lxw_col_t(i), lxw_col_t(i), columns.width(i), text)) {
            return fail(error);
        }
    }
    const QStringList headings = exportHeadings();
    for (int i = 0; i < columns.count(); ++i) {
        if (const lxw_error error = worksheet_write_string(
                sheet, 0, lxw_col_t(i), columns.heading(i, headings).toUtf8().constData(), boldText)) {
            return fail(error);
        }
    }
    const Progress progress(request);
    QByteArray utf8;
    QString scratch;
    qint64 shortened = 0;
    for (int row = 0; row < list.rows(); ++row) {
        if (!progress.at(row)) {
            return cancelled();
        }
        const qsizetype contact = list.contactAt(row);
        for (int i = 0; i < columns.count(); ++i) {
            const std::optional<Field> field = ExportColumns::field(i);
            // The text goes to the library as a C string: a NUL would end it there.
            QStringView value = spreadsheetText(columns.text(contact, i), scratch);
            if (value.isEmpty()) {
                continue;
            }
            if (value.size() > MaxXlsxCell) {
                value =
                    value.first(value.at(MaxXlsxCell - 1).isHighSurrogate() ? MaxXlsxCell - 1 : MaxXlsxCell);
                ++shortened;
            }
            utf8 = value.toUtf8();
            const bool favourite = field && isTelephone(*field) && list.table.isBold(contact, *field);
            if (const lxw_error error =
                    worksheet_write_string(sheet, lxw_row_t(row + 1), lxw_col_t(i), utf8.constData(),
                                           favourite ? boldText : nullptr)) {
                return fail(error);
            }
        }
        // The library writes the rows to its temporary file unchecked; a full disk shows only in the stream.
        if (row % ProgressStep == 0 && std::ferror(sheet->optimize_tmpfile)) {
            return fail(LXW_ERROR_CREATING_TMPFILE, errno);
        }
    }
    // errno is kept from the write that failed (these checks reset it nowhere).
    if (std::fflush(sheet->optimize_tmpfile) != 0 || std::ferror(sheet->optimize_tmpfile)) {
        return fail(LXW_ERROR_CREATING_TMPFILE, errno);
    }
    errno = 0;
    const lxw_error closed = workbook_close(workbook);
    // workbook_close frees the workbook whatever it returns.
    owner.release();
    if (closed != LXW_NO_ERROR) {
        return fail(closed, errno);
    }
    if (!workbookFile.seek(0)) {
        return failed(failureText(path, writeErrorReason(workbookFile.errorString())));
    }
    const qint64 size = workbookFile.size();
    qint64 copied = 0;
    for (QByteArray piece; !(piece = workbookFile.read(FlushBytes)).isEmpty(); copied += piece.size()) {
        if (!writeAll(out, QByteArrayView(piece))) {
            return failed(failureText(path, writeFailureReason(out)));
        }
    }
    if (workbookFile.error() != QFileDevice::NoError || copied != size) {
        return failed(failureText(path, writeErrorReason(workbookFile.errorString())));
    }
    if (!flushed(out)) {
        return failed(failureText(path, writeFailureReason(out)));
    }
    ExportResult written;
    if (shortened > 0) {
        written.notice = shortenedCellsNotice(path, shortened);
    }
    return written;
}

} // namespace

QStringList exportFileFilters() {
    return {QStringLiteral("Excel-Tabelle (*.xlsx)"),
            QStringLiteral("CSV für Excel (Semikolon) (*.csv)"),
            QStringLiteral("CSV für Google Kontakte (*.csv)"),
            QStringLiteral("CSV für Outlook (*.csv)"),
            QStringLiteral("vCard 3.0 (Nextcloud, iCloud, Google, Android) (*.vcf)"),
            QStringLiteral("vCard 4.0 (*.vcf)"),
            QStringLiteral("vCard 2.1 (ältere Handys) (*.vcf)"),
            QStringLiteral("vCard wie in der Datei (*.vcf)"),
            QStringLiteral("Telefonbuch für FRITZ!Box (*.xml)"),
            QStringLiteral("PDF-Telefonliste (*.pdf)"),
            QStringLiteral("Geburtstagskalender (*.ics)"),
            QStringLiteral("Ein Ordner, eine Datei je Kontakt (*)")};
}

QStringList exportFormatNames() {
    return {QStringLiteral("xlsx"),       QStringLiteral("csv-excel"),
            QStringLiteral("csv-google"), QStringLiteral("csv-outlook"),
            QStringLiteral("vcard3"),     QStringLiteral("vcard4"),
            QStringLiteral("vcard21"),    QStringLiteral("vcard-original"),
            QStringLiteral("fritzbox"),   QStringLiteral("pdf"),
            QStringLiteral("ics"),        QStringLiteral("folder")};
}

std::optional<ExportFormat> exportFormatNamed(QStringView name) {
    const qsizetype index = exportFormatNames().indexOf(name.toString().toLower());
    return index < 0 ? std::nullopt : std::optional(ExportFormat(index));
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
    if (suffix == u"xml") {
        return ExportFormat::FritzBox;
    }
    if (suffix == u"ics") {
        return ExportFormat::BirthdayCalendar;
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

QStringView spreadsheetText(QStringView text, QString& scratch) {
    const auto dropped = [](qsizetype at, QStringView in) {
        const QChar c = in.at(at);
        if (c.isHighSurrogate()) {
            return at + 1 >= in.size() || !in.at(at + 1).isLowSurrogate();
        }
        if (c.isLowSurrogate()) {
            return at == 0 || !in.at(at - 1).isHighSurrogate();
        }
        return isDroppedFromCell(c.unicode());
    };
    qsizetype first = 0;
    while (first < text.size() && !dropped(first, text)) {
        ++first;
    }
    if (first == text.size()) {
        return text;
    }
    scratch.clear();
    scratch.reserve(text.size());
    scratch += text.first(first);
    for (qsizetype at = first + 1; at < text.size(); ++at) {
        if (!dropped(at, text)) {
            scratch += text.at(at);
        }
    }
    return scratch;
}

QString exportRefusal(const ContactTable& table, const QString& path) {
    if (isSourceFile(path, table)) {
        return failureText(path,
                           QStringLiteral("Das ist die geöffnete Datei; sie wird nicht überschrieben."));
    }
    // What is there already is replaced by the export, and only a file may be: a pipe, a device or a
    // socket would be swapped for a file (or, written into, hang the export), a folder cannot be. A link
    // counts as what it points to.
    struct stat status = {};
    if (::stat(nativeFileName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        return failureText(path, S_ISDIR(status.st_mode)
                                     ? systemErrorReason(EISDIR)
                                     : QStringLiteral("Dort steht keine gewöhnliche Datei, sondern ein "
                                                      "Gerät, eine Pipe oder ein Socket."));
    }
    return {};
}

QString exportRefusal(const ContactTable& table, const QString& path, ExportFormat format) {
    if (format != ExportFormat::Folder) {
        return exportRefusal(table, path);
    }
    const QFileInfo target(path);
    if (!target.exists()) {
        return {};
    }
    if (!target.isDir()) {
        return failureText(path, QStringLiteral("Dort steht schon eine Datei, kein Ordner."));
    }
    if (!QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        return failureText(path, QStringLiteral("Der Ordner ist nicht leer; es wird nichts überschrieben."));
    }
    return {};
}

ExportResult writeContacts(const ExportRequest& request, QIODevice& out, const QString& path,
                           ExportFormat format) {
    try {
        switch (format) {
        case ExportFormat::Csv:
            return writeCsv(request, out, path);
        case ExportFormat::VcardOriginal:
            return writeVcards(request, out, path);
        case ExportFormat::Vcard:
            return writeRecords(request, out, path, *vcardRecords(VcardVersion::V30));
        case ExportFormat::Vcard4:
            return writeRecords(request, out, path, *vcardRecords(VcardVersion::V40));
        case ExportFormat::Vcard21:
            return writeRecords(request, out, path, *vcardRecords(VcardVersion::V21));
        case ExportFormat::CsvGoogle:
            return writeRecords(request, out, path, *googleCsvRecords());
        case ExportFormat::CsvOutlook:
            return writeRecords(request, out, path, *outlookCsvRecords());
        case ExportFormat::FritzBox:
            return writeRecords(request, out, path, *fritzBoxRecords(request.title, request.list.nameOrder));
        case ExportFormat::BirthdayCalendar:
            return writeRecords(request, out, path, *birthdayCalendarRecords());
        case ExportFormat::Folder:
            return failed(
                failureText(path, QStringLiteral("Ein Ordner wird nicht in eine Datei geschrieben.")));
        case ExportFormat::Xlsx:
            return writeXlsx(request, out, path);
        case ExportFormat::Pdf: {
            CheckedWrites checked(out);
            const bool painted = writePhoneList(request, checked);
            if (!checked.finish() || !flushed(out)) {
                return failed(failureText(path, writeFailureReason(out)));
            }
            return painted ? ExportResult{} : cancelled();
        }
        }
    } catch (const std::bad_alloc&) {
        return failed(failureText(path, outOfMemory()));
    }
    return {};
}

ExportResult exportContacts(const ExportRequest& request, const QString& path, ExportFormat format) {
    // Checked again here: the file chosen may have become one of the list's since, and the command line
    // has no dialog that checked it.
    if (QString refusal = exportRefusal(request.list.table, path, format); !refusal.isEmpty()) {
        return failed(std::move(refusal));
    }
    try {
        if (format == ExportFormat::Folder) {
            return exportCardFolder(request, path, VcardVersion::V30);
        }
        QSaveFile file(path);
        // Unbuffered: a piece the disk takes only in part is seen at once, and the system's reason with it.
        // The writers hand over large pieces of their own.
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            return failed(failureText(path, writeErrorReason(file.errorString())));
        }
        ExportResult result = writeContacts(request, file, path, format);
        if (result.status != ExportResult::Status::Written) {
            file.cancelWriting();
            return result;
        }
        if (!file.commit()) {
            return failed(failureText(path, writeFailureReason(file)));
        }
        return result;
    } catch (const std::bad_alloc&) {
        return failed(failureText(path, outOfMemory()));
    }
}

} // namespace tovanel
