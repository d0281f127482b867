#include "contacts/contactref.h"
#include "contacts/contacttable.h"
#include "corpus.h"
#include "export/contactexport.h"
#include "importedlists.h"
#include "tempfiles.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <sys/stat.h>

using namespace tovanel;

namespace {

QString kontakte() {
    return qEnvironmentVariable("TOVANEL_TEST_DATA") + QStringLiteral("/../../examples/kontakte.vcf");
}

ContactList listOf(const ImportedLists& lists) {
    return lists.contacts.shownList();
}

// Every row of the list as its 13 texts, the name as the list shows it, then the columns the user added
// but the note; the headings first.
QList<QStringList> cellsOf(const ImportedLists& lists) {
    const ContactListModel& model = lists.contacts;
    std::vector<int> added;
    QStringList headings = exportHeadings();
    for (const int column : model.addedColumns()) {
        if (column != ContactColumn::Note) {
            added.push_back(column);
            headings << model.headerData(column, Qt::Horizontal).toString();
        }
    }
    QList<QStringList> rows{headings};
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int i = 0; i < FieldCount; ++i) {
            cells << (i == int(Field::Name)
                          ? model.cell(row, ContactColumn::Name)
                          : lists.result.table->text(model.contactAt(row), Field(i)).toString());
        }
        for (const int column : added) {
            cells << model.cell(row, column);
        }
        rows << cells;
    }
    return rows;
}

QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return {};
    }
    return process.readAllStandardOutput();
}

// RFC 4180 with ";", as a spreadsheet reads it: ="…" is the text between the quotes, and an apostrophe
// that keeps a formula from running is taken off again.
QList<QStringList> readCsv(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    bool wasQuoted = false;
    const auto endCell = [&] {
        if (wasQuoted && cell.size() > 1 && cell.at(0) == u'\'' &&
            QStringView(u"=+-@\t\r").contains(cell.at(1))) {
            cell.remove(0, 1);
        }
        if (wasQuoted && cell.startsWith(u"=\"") && cell.endsWith(u'"')) {
            cell = cell.mid(2).chopped(1);
        }
        row << cell;
        cell.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                cell += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == u'"') {
            quoted = wasQuoted = true;
        } else if (c == u';') {
            endCell();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            endCell();
            rows << row;
            row.clear();
            ++i;
        } else {
            cell += c;
        }
    }
    return rows;
}

struct Sheet {
    QList<QStringList> rows;
    QList<QList<int>> styles; // each cell's style index, -1 where there is no cell
    bool formula = false;
    bool notText = false;
};

// The worksheet's cells by their references ("B7"), every one a text cell.
Sheet readSheet(const QByteArray& xml, qsizetype width = FieldCount) {
    Sheet sheet;
    QXmlStreamReader reader(xml);
    int row = -1;
    int column = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement()) {
            continue;
        }
        if (reader.name() == u"row") {
            row = reader.attributes().value(QLatin1String("r")).toInt() - 1;
            while (sheet.rows.size() <= row) {
                sheet.rows << QStringList(width);
                sheet.styles << QList<int>(width, -1);
            }
        } else if (reader.name() == u"c") {
            const QStringView reference = reader.attributes().value(QLatin1String("r"));
            column = reference.at(0).unicode() - u'A';
            sheet.notText |= reader.attributes().value(QLatin1String("t")) != u"inlineStr";
            sheet.styles[row][column] = reader.attributes().value(QLatin1String("s")).toInt();
        } else if (reader.name() == u"t") {
            // Excel's escape for characters XML cannot carry as they are.
            static const QRegularExpression escaped(QStringLiteral("_x([0-9A-F]{4})_"));
            QString text = reader.readElementText();
            QRegularExpressionMatch match;
            for (qsizetype at = 0; (match = escaped.match(text, at)).hasMatch();) {
                text.replace(match.capturedStart(), match.capturedLength(),
                             QChar(match.captured(1).toUShort(nullptr, 16)));
                at = match.capturedStart() + 1;
            }
            sheet.rows[row][column] = text;
        } else if (reader.name() == u"f") {
            sheet.formula = true;
        }
    }
    return sheet;
}

// A disk that fills up: it takes `room` bytes; a write after that gets in only what still fits, and one
// with no room left fails with `error` (a system's text), or takes nothing and says nothing.
class FullDisk final : public QIODevice {
public:
    FullDisk(qint64 room, QString error) : m_room(room), m_error(std::move(error)) { open(WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override {
        if (m_written >= m_room && !m_error.isEmpty()) {
            setErrorString(m_error);
            return -1;
        }
        const qint64 taken = std::min(size, m_room - m_written);
        m_written += taken;
        return taken;
    }

private:
    qint64 m_room;
    QString m_error;
    qint64 m_written = 0;
};

// The cells of the contact's sheet row written by an XLSX export of `card`.
QStringList xlsxCells(const ImportedLists& lists, const QString& path, ExportResult* result) {
    *result = exportContacts({.list = listOf(lists)}, path, ExportFormat::Xlsx);
    const QByteArray xml = run(QStringLiteral("unzip"),
                               {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")});
    const Sheet sheet = readSheet(xml);
    return sheet.rows.value(1);
}

} // namespace

class tst_ContactExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Corpus::announce(); }

    void everyFileFormatGivesBackTheListsCells_data();
    void everyFileFormatGivesBackTheListsCells();
    void csvKeepsSpreadsheetsFromRunningCells_data();
    void csvKeepsSpreadsheetsFromRunningCells();
    void aFileIsWrittenWholeOrNotAtAll_data();
    void aFileIsWrittenWholeOrNotAtAll();
    void aDiskThatTakesLessFailsTheExport_data();
    void aDiskThatTakesLessFailsTheExport();
    void xlsxCellsHoldOnlyWhatASheetCan_data();
    void xlsxCellsHoldOnlyWhatASheetCan();
    void phoneListHasEveryContactOnNumberedA4Pages_data();
    void phoneListHasEveryContactOnNumberedA4Pages();
};

void tst_ContactExport::everyFileFormatGivesBackTheListsCells_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("sorted");
    // Names "Nachname, Vorname" and every column the list can add.
    QTest::addColumn<bool>("theirWay");
    QTest::newRow("kontakte.vcf") << kontakte() << false << false;
    QTest::newRow("kontakte.vcf sorted by name") << kontakte() << true << false;
    QTest::newRow("kontakte.vcf sorted, family name first, all columns") << kontakte() << true << true;
    // Each card is copied out of its own file, from its own file's positions.
    QTest::newRow("kontakte.vcf twice, one list") << kontakte() + u'|' + kontakte() << false << false;
    const QStringList files = Corpus::files();
    if (files.isEmpty()) {
        QTest::newRow("corpus") << QString() << false << false;
    }
    for (const QString& file : files) {
        QTest::newRow(qPrintable(QDir(Corpus::folder()).relativeFilePath(file))) << file << false << false;
    }
}

// Read back the way a spreadsheet or another address book would: the same cells in the same order.
void tst_ContactExport::everyFileFormatGivesBackTheListsCells() {
    QFETCH(QString, path);
    QFETCH(bool, sorted);
    QFETCH(bool, theirWay);
    if (path.isEmpty()) {
        QSKIP(qPrintable(Corpus::offReason()));
    }
    const QStringList files = path.split(u'|');
    auto table = std::make_shared<ContactTable>();
    for (const QString& file : files) {
        VcardReadResult read = readVcardFile(file);
        table->appendFile(*read.table);
    }
    ImportedLists lists(table);
    if (theirWay) {
        lists.contacts.setNameOrder(NameOrder::FamilyFirst);
        std::vector<int> all(ContactColumn::Count - ContactColumn::FirstAdded);
        std::iota(all.begin(), all.end(), int(ContactColumn::FirstAdded));
        QVERIFY(lists.contacts.setAddedColumns(all));
    }
    if (sorted) {
        lists.contacts.sort(ContactColumn::Name);
    }
    const QList<QStringList> expected = cellsOf(lists);
    const ExportRequest request{.list = listOf(lists)};
    TempFiles out;

    QCOMPARE(exportContacts(request, out.path(QStringLiteral("a.csv")), ExportFormat::Csv).error, QString());
    QFile csv(out.path(QStringLiteral("a.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray csvBytes = csv.readAll();
    QVERIFY(csvBytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(readCsv(csvBytes.mid(3)), expected);

    QCOMPARE(exportContacts(request, out.path(QStringLiteral("a.xlsx")), ExportFormat::Xlsx).error,
             QString());
    const QStringList unzip{QStringLiteral("-p"), out.path(QStringLiteral("a.xlsx"))};
    const QByteArray sheetXml =
        run(QStringLiteral("unzip"), unzip + QStringList{QStringLiteral("xl/worksheets/sheet1.xml")});
    Sheet sheet = readSheet(sheetXml, expected.constFirst().size());
    // A contact without a single text has no row in the sheet.
    while (sheet.rows.size() < expected.size()) {
        sheet.rows << QStringList(expected.constFirst().size());
        sheet.styles << QList<int>(expected.constFirst().size(), -1);
    }
    QCOMPARE(sheet.rows, expected);
    QVERIFY(!sheet.formula);
    QVERIFY(!sheet.notText);
    QVERIFY(sheetXml.contains("ySplit=\"1\""));
    // Favourites share the headings' bold style, and no other cell does.
    const int boldStyle = sheet.styles.at(0).at(0);
    for (int row = 1; row < sheet.rows.size(); ++row) {
        for (int i = 0; i < FieldCount; ++i) {
            const bool favourite =
                lists.result.table->isBold(lists.contacts.contactAt(row - 1), Field(i)) && i >= 2 && i <= 4;
            if (!sheet.rows.at(row).at(i).isEmpty()) {
                QCOMPARE(sheet.styles.at(row).at(i) == boldStyle, favourite);
            }
        }
    }

    if (theirWay) {
        return;
    }
    // The cards as the files hold them; the versions written anew read back alike too (tst_vcardexport).
    QCOMPARE(exportContacts(request, out.path(QStringLiteral("a.vcf")), ExportFormat::VcardOriginal).error,
             QString());
    const ImportedLists again(out.path(QStringLiteral("a.vcf")));
    QCOMPARE(cellsOf(again), expected);
    // In file order the cards are the file's own bytes from each "BEGIN" line on: the same dump but for
    // the positions, which lose what stood before and between the cards.
    if (!sorted && files.size() == 1) {
        const auto withoutPositions = [](QStringList lines) {
            for (QString& line : lines) {
                QStringList cells = line.split(u'\t');
                cells.removeAt(ContactColumn::EndPosition);
                line = cells.join(u'\t');
            }
            return lines;
        };
        QCOMPARE(withoutPositions(again.dumpLines()), withoutPositions(lists.dumpLines()));
    }
}

void tst_ContactExport::csvKeepsSpreadsheetsFromRunningCells_data() {
    QTest::addColumn<QByteArray>("card");
    QTest::addColumn<QString>("line"); // the contact's line without its line break
    // The first cells as written, the rest empty.
    const auto line = [](QStringList cells) {
        while (cells.size() < FieldCount) {
            cells << QString();
        }
        return cells.join(u';');
    };
    const auto row = [&](const char* name, const char* card, std::initializer_list<const char*> cells) {
        QStringList texts;
        for (const char* cell : cells) {
            texts << QString::fromUtf8(cell);
        }
        QTest::newRow(name) << QByteArray(card) << line(texts);
    };
    row("plain", "FN:Anna\nORG:Bau GmbH\n", {"Anna", "Bau GmbH"});
    row("equals sign", "FN:=1+2\n", {"\"'=1+2\""});
    row("at sign", "FN:@SUM(A1)\n", {"\"'@SUM(A1)\""});
    row("minus in a name", "FN:-Meier\n", {"\"'-Meier\""});
    row("plus in an e-mail", "FN:A\nEMAIL:+x@example.org\n", {"A", "", "", "", "", "\"'+x@example.org\""});
    // A number stays the text the card writes: no leading zero or "+" lost, no date made of "12/03".
    row("number without blanks keeps its zero", "FN:A\nTEL;CELL:01711234567\n",
        {"A", "", "\"=\"\"01711234567\"\"\""});
    row("number with plus, dashes, slash, brackets, dot", "FN:A\nTEL;CELL:+43 664-12/34 (5).6\n",
        {"A", "", "\"=\"\"+43 664-12/34 (5).6\"\"\""});
    row("postal code keeps its zero", "FN:A\nADR;TYPE=HOME:;;Weg 1;Dresden;;01067;\n",
        {"A", "", "", "", "", "", "Weg 1", "\"=\"\"01067\"\"\"", "Dresden"});
    row("number with a letter is guarded", "FN:A\nTEL;CELL:+1 CALL\n", {"A", "", "\"'+1 CALL\""});
    row("semicolon is quoted", "FN:A\\;B\n", {"\"A;B\""});
    // A spreadsheet drops the NUL and would run what follows it.
    row("NUL before a formula", "FN;ENCODING=QUOTED-PRINTABLE:=00=3D2+2\n", {"\"'=2+2\""});
    row("control characters dropped", "FN;ENCODING=QUOTED-PRINTABLE:A=01=1FB\n", {"AB"});
    row("quote is doubled", "FN:Sag \"Hallo\"\n", {"\"Sag \"\"Hallo\"\"\""});
    QTest::newRow("line break stays in its cell")
        << QByteArray("FN:A\nNOTE:eins\\nzwei\n") << QStringLiteral("A;;;;;;;;;;;;\"eins\nzwei\"");
}

void tst_ContactExport::csvKeepsSpreadsheetsFromRunningCells() {
    QFETCH(QByteArray, card);
    QFETCH(QString, line);
    const ImportedLists lists("BEGIN:VCARD\nVERSION:3.0\n" + card + "END:VCARD\n");
    TempFiles out;
    const QString path = out.path(QStringLiteral("a.csv"));
    QCOMPARE(exportContacts({.list = listOf(lists)}, path, ExportFormat::Csv).error, QString());
    QFile csv(path);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csv.readAll());
    const qsizetype start = text.indexOf(QStringLiteral("\r\n")) + 2;
    QCOMPARE(text.mid(start), line + QStringLiteral("\r\n"));
}

void tst_ContactExport::aFileIsWrittenWholeOrNotAtAll_data() {
    QTest::addColumn<ExportFormat>("format");
    // "source", "link to source", "missing folder", "folder", "fifo", "link to fifo", "link to device", or
    // a name
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("error"); // how the message's second line begins; empty: cancelled
    for (const ExportFormat format :
         {ExportFormat::Xlsx, ExportFormat::Csv, ExportFormat::CsvGoogle, ExportFormat::CsvOutlook,
          ExportFormat::Vcard, ExportFormat::FritzBox, ExportFormat::Pdf, ExportFormat::BirthdayCalendar}) {
        const QString name = exportFormatNames().at(int(format));
        QTest::newRow(qPrintable(name + QStringLiteral(": cancelled")))
            << format << QStringLiteral("old") << true << QString();
        QTest::newRow(qPrintable(name + QStringLiteral(": the open file")))
            << format << QStringLiteral("source") << false << QStringLiteral("Das ist die geöffnete Datei");
    }
    QTest::newRow("the open file by another name") << ExportFormat::Csv << QStringLiteral("link to source")
                                                   << false << QStringLiteral("Das ist die geöffnete Datei");
    QTest::newRow("missing folder") << ExportFormat::Csv << QStringLiteral("missing folder") << false
                                    << QStringLiteral("Den Ordner gibt es nicht.");
    // Whatever is there but a file stays: a pipe is not swapped for a file, a folder is no target.
    QTest::newRow("folder") << ExportFormat::Xlsx << QStringLiteral("folder") << false
                            << QStringLiteral("Das ist ein Ordner, keine Datei.");
    QTest::newRow("fifo") << ExportFormat::Csv << QStringLiteral("fifo") << false
                          << QStringLiteral("Dort steht keine gewöhnliche Datei");
    QTest::newRow("link to fifo") << ExportFormat::Vcard << QStringLiteral("link to fifo") << false
                                  << QStringLiteral("Dort steht keine gewöhnliche Datei");
    QTest::newRow("link to a device") << ExportFormat::Pdf << QStringLiteral("link to device") << false
                                      << QStringLiteral("Dort steht keine gewöhnliche Datei");
}

void tst_ContactExport::aFileIsWrittenWholeOrNotAtAll() {
    QFETCH(ExportFormat, format);
    QFETCH(QString, target);
    QFETCH(bool, cancel);
    QFETCH(QString, error);
    TempFiles files;
    QFile original(kontakte());
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    const QString source = files.write(QStringLiteral("kontakte.vcf"), before);
    QVERIFY(QFile::link(source, files.path(QStringLiteral("link to source"))));
    files.write(QStringLiteral("old"), "old");
    files.folder(QStringLiteral("folder"));
    QVERIFY(mkfifo(QFile::encodeName(files.path(QStringLiteral("fifo"))).constData(), 0600) == 0);
    QVERIFY(QFile::link(files.path(QStringLiteral("fifo")), files.path(QStringLiteral("link to fifo"))));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), files.path(QStringLiteral("link to device"))));
    const auto entries = [&files] {
        return QDir(files.path(QString())).entryList(QDir::AllEntries | QDir::System | QDir::Hidden);
    };
    const QStringList entriesBefore = entries();
    const QString path = target == u"missing folder" ? files.path(QStringLiteral("nowhere/a.csv"))
                         : target == u"source"       ? source
                                                     : files.path(target);
    const QFileInfo targetInfo(path);
    const bool existed = targetInfo.exists();
    QFile targetFile(path);
    // Opening the pipe would wait for a writer.
    const QByteArray targetBefore =
        targetInfo.isFile() && targetFile.open(QIODevice::ReadOnly) ? targetFile.readAll() : QByteArray();
    targetFile.close();

    ImportedLists lists(source);
    const ExportRequest request{.list = listOf(lists),
                                .progress = [cancel](qsizetype, qsizetype) { return !cancel; }};
    const ExportResult result = exportContacts(request, path, format);
    QCOMPARE(result.status, error.isEmpty() ? ExportResult::Status::Cancelled : ExportResult::Status::Failed);
    QVERIFY2(result.error.section(u'\n', 1).startsWith(error), qPrintable(result.error));
    QCOMPARE(QFileInfo::exists(path), existed);
    QCOMPARE(QFileInfo(path).isFile(), targetInfo.isFile());
    if (targetInfo.isFile() && targetFile.open(QIODevice::ReadOnly)) {
        QCOMPARE(targetFile.readAll(), targetBefore);
    }
    // No save file's or workbook's temporary file is left.
    QCOMPARE(entries(), entriesBefore);
}

void tst_ContactExport::aDiskThatTakesLessFailsTheExport_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<qint64>("room");
    QTest::addColumn<QString>("error"); // the device's error text, or empty: a short count alone
    QTest::addColumn<QString>("reason");
    const QString full = QString::fromLocal8Bit(std::strerror(ENOSPC));
    for (const ExportFormat format :
         {ExportFormat::Xlsx, ExportFormat::Csv, ExportFormat::CsvGoogle, ExportFormat::CsvOutlook,
          ExportFormat::Vcard, ExportFormat::FritzBox, ExportFormat::Pdf, ExportFormat::BirthdayCalendar}) {
        const QString name = exportFormatNames().at(int(format));
        QTest::newRow(qPrintable(name + QStringLiteral(": cut in the first row, silently")))
            << format << qint64(100) << QString() << QStringLiteral("Der Datenträger hat nicht alle Daten");
        QTest::newRow(qPrintable(name + QStringLiteral(": disk full")))
            << format << qint64(100) << full << QStringLiteral("Auf dem Datenträger ist nicht genug Platz.");
        QTest::newRow(qPrintable(name + QStringLiteral(": no room at all")))
            << format << qint64(0) << full << QStringLiteral("Auf dem Datenträger ist nicht genug Platz.");
    }
}

void tst_ContactExport::aDiskThatTakesLessFailsTheExport() {
    QFETCH(ExportFormat, format);
    QFETCH(qint64, room);
    QFETCH(QString, error);
    QFETCH(QString, reason);
    const ImportedLists lists(kontakte());
    TempFiles files;
    FullDisk disk(room, error);
    const ExportResult result =
        writeContacts({.list = listOf(lists)}, disk, files.path(QStringLiteral("a.out")), format);
    QCOMPARE(result.status, ExportResult::Status::Failed);
    QVERIFY2(result.error.section(u'\n', 1).startsWith(reason), qPrintable(result.error));
    // The workbook's temporary files went with the export.
    QCOMPARE(QDir(files.path(QString()))
                 .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_ContactExport::xlsxCellsHoldOnlyWhatASheetCan_data() {
    QTest::addColumn<QByteArray>("card");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("notice"); // how the notice after the export begins; empty: none
    // Went to the library as a C string, "0171" ended at the NUL.
    QTest::newRow("NUL inside a number")
        << QByteArray("FN:A\nTEL;CELL;ENCODING=QUOTED-PRINTABLE:0171=00 999 1234\n") << 2
        << QStringLiteral("0171 999 1234") << QString();
    QTest::newRow("control characters but tab and line break")
        << QByteArray("FN;ENCODING=QUOTED-PRINTABLE:A=01=1FB=09C\n") << 0 << QStringLiteral("AB\tC")
        << QString();
    const QByteArray emoji("\xF0\x9F\x98\x80"); // two UTF-16 units
    QTest::newRow("longest cell kept whole")
        << QByteArray("FN:A\nNOTE:" + QByteArray(32765, 'x') + emoji + "\n") << 12
        << QString(32765, u'x') + QString::fromUtf8(emoji) << QString();
    QTest::newRow("cut before a surrogate pair, not inside it")
        << QByteArray("FN:A\nNOTE:" + QByteArray(32766, 'x') + emoji + QByteArray(7000, 'y') + "\n") << 12
        << QString(32766, u'x') << QStringLiteral("In „a.xlsx“ wurde 1 Zelle gekürzt");
}

void tst_ContactExport::xlsxCellsHoldOnlyWhatASheetCan() {
    QFETCH(QByteArray, card);
    QFETCH(int, column);
    QFETCH(QString, cell);
    QFETCH(QString, notice);
    const ImportedLists lists("BEGIN:VCARD\nVERSION:3.0\n" + card + "END:VCARD\n");
    TempFiles out;
    ExportResult result;
    const QStringList cells = xlsxCells(lists, out.path(QStringLiteral("a.xlsx")), &result);
    QCOMPARE(result.error, QString());
    QCOMPARE(cells.value(column), cell);
    QVERIFY2(notice.isEmpty() ? result.notice.isEmpty() : result.notice.startsWith(notice),
             qPrintable(result.notice));
}

void tst_ContactExport::phoneListHasEveryContactOnNumberedA4Pages_data() {
    QTest::addColumn<int>("contacts");
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<QByteArray>("number");
    QTest::newRow("one page") << 3 << false << QByteArray("0171 ");
    QTest::newRow("numbers wider than their column")
        << 3 << false << QByteArray("0049 40 98765 4321 0049 40 98765 4321 00");
    QTest::newRow("several pages") << 250 << false << QByteArray("0171 ");
    QTest::newRow("several pages with letters") << 250 << true << QByteArray("0171 ");
}

void tst_ContactExport::phoneListHasEveryContactOnNumberedA4Pages() {
    QFETCH(int, contacts);
    QFETCH(bool, sorted);
    QFETCH(QByteArray, number);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        QSKIP("pdftotext (poppler-utils) is not installed");
    }
    QByteArray cards;
    static constexpr std::array<const char*, 5> initials = {"Ä", "B", "Ö", "ß", "Z"};
    for (int i = 0; i < contacts; ++i) {
        cards += QByteArray("BEGIN:VCARD\nFN:") + initials[size_t(i) % initials.size()] + "ußer " +
                 QByteArray::number(i) + "\nTEL;CELL:" + number + QByteArray::number(i) +
                 "\nTEL;WORK:" + number + QByteArray::number(i) + "\nEND:VCARD\n";
    }
    ImportedLists lists(cards);
    if (sorted) {
        lists.contacts.sort(ContactColumn::Name);
    }
    TempFiles out;
    const QString path = out.path(QStringLiteral("a.pdf"));
    const ExportRequest request{
        .list = listOf(lists), .title = QStringLiteral("Grüße.vcf"), .sortedByName = sorted};
    QCOMPARE(exportContacts(request, path, ExportFormat::Pdf).error, QString());

    const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {path}));
    QVERIFY2(info.contains(QStringLiteral("(A4)")), qPrintable(info));
    const int pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
    QCOMPARE(pages > 1, contacts > 100);
    const QString text = QString::fromUtf8(run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}));
    QVERIFY(text.contains(QStringLiteral("Grüße.vcf")));
    for (int i = 0; i < contacts; ++i) {
        const QString name = QString::fromUtf8(initials[size_t(i) % initials.size()]) +
                             QStringLiteral("ußer ") + QString::number(i);
        QVERIFY2(text.count(name + u'\n') + text.count(name + u' ') >= 1, qPrintable(name));
        // Every digit of every number, however narrow its column.
        QVERIFY2(text.count(QString::fromLatin1(number) + QString::number(i)) >= 2, qPrintable(name));
    }
    for (int page = 1; page <= pages; ++page) {
        QVERIFY(text.contains(QStringLiteral("Seite %1 von %2").arg(page).arg(pages)));
    }
    // A letter heading before each initial, on a line of its own.
    QCOMPARE(text.contains(QRegularExpression(QStringLiteral("(^|\\n)Z\\n"))), sorted);
}

QTEST_MAIN(tst_ContactExport)
#include "tst_contactexport.moc"
