#include "mainwindow/listoutput.h"
#include "platform/listbox.h"
#include "tempfiles.h"
#include "windowfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

using namespace tovanel;

// "Exportieren …" from the main window: the question it asks and what it makes of the answer.
class tst_ListOutput : public QObject, private WindowFixture {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init();
    void cleanup();

    void exportWritesTheListAsShown_data();
    void exportWritesTheListAsShown();
    void chosenFilterDecidesTheFormat_data();
    void chosenFilterDecidesTheFormat();
    void exportWritesWhereTheChosenFilterSays_data();
    void exportWritesWhereTheChosenFilterSays();
    void exportPreselectsTheFilterLastChosen_data();
    void exportPreselectsTheFilterLastChosen();
    void exportTellsItsEndOverNoProgressBox_data();
    void exportTellsItsEndOverNoProgressBox();
    void printShowsThePhoneListInAPreview_data();
    void printShowsThePhoneListInAPreview();
};

void tst_ListOutput::init() {
    dialogs.saveFilters.clear();
    dialogs.saveSuggestions.clear();
    dialogs.saveSelectedFilters.clear();
    dialogs.nextSaveFiles.clear();
    dialogs.nextSaveFilterChoices.clear();
    QVERIFY(open());
}

void tst_ListOutput::cleanup() {
    close();
    QVERIFY(noWindowVisible());
}

void tst_ListOutput::exportWritesTheListAsShown_data() {
    // The file names given to the save dialog in turn ("source": the open file; "old.csv" exists), the
    // answers to replacing a file, whether the list is sorted, the CSV's names written (one per line;
    // empty: nothing written), and the messages and questions in the order they came.
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QList<bool>>("replace");
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QStringList>("said");

    const QString replaceOld =
        QStringLiteral("? „old.csv“ existiert bereits.\nSoll die Datei ersetzt werden?");
    QTest::newRow("file order") << QStringList{QStringLiteral("a.csv")} << QList<bool>() << false
                                << QStringLiteral("Name\nZora\nAnna\nMia") << QStringList();
    QTest::newRow("sorted by name") << QStringList{QStringLiteral("a.csv")} << QList<bool>() << true
                                    << QStringLiteral("Name\nAnna\nMia\nZora") << QStringList();
    QTest::newRow("cancelled") << QStringList() << QList<bool>() << false << QString() << QStringList();
    QTest::newRow("unknown extension, then cancelled")
        << QStringList{QStringLiteral("a.txt")} << QList<bool>() << false << QString()
        << QStringList{
               QStringLiteral("„a.txt“ hat keine der Endungen .xlsx, .csv, .vcf, .xml, .pdf oder .ics.\n"
                              "Bitte wählen Sie eines der angebotenen Formate.")};
    // Refused as it is chosen: a question whether to replace it would be answered in vain.
    QTest::newRow("the open file, then another")
        << QStringList{QStringLiteral("source"), QStringLiteral("a.csv")} << QList<bool>() << false
        << QStringLiteral("Name\nZora\nAnna\nMia")
        << QStringList{QStringLiteral("„liste.vcf“ konnte nicht geschrieben werden.\n"
                                      "Das ist die geöffnete Datei; sie wird nicht überschrieben.")};
    QTest::newRow("a file that exists, replaced")
        << QStringList{QStringLiteral("old.csv")} << QList<bool>{true} << false
        << QStringLiteral("Name\nZora\nAnna\nMia") << QStringList{replaceOld};
    QTest::newRow("a file that exists, kept, then cancelled")
        << QStringList{QStringLiteral("old.csv")} << QList<bool>{false} << false << QStringLiteral("old")
        << QStringList{replaceOld};
}

void tst_ListOutput::exportWritesTheListAsShown() {
    QFETCH(QStringList, answers);
    QFETCH(QList<bool>, replace);
    QFETCH(bool, sorted);
    QFETCH(QString, written);
    QFETCH(QStringList, said);
    TempFiles files;
    const QString source =
        files.write(QStringLiteral("liste.vcf"),
                    cards(named({QStringLiteral("Zora"), QStringLiteral("Anna"), QStringLiteral("Mia")})));
    files.write(QStringLiteral("old.csv"), "\xEF\xBB\xBFold\r\n");
    window->openFile(source);
    QTRY_COMPARE(window->contactModel()->rowCount(), 3);
    if (sorted) {
        window->appMenuBar()->sortAction(ContactColumn::Name)->trigger();
    }
    for (const QString& answer : answers) {
        dialogs.nextSaveFiles << (answer == u"source" ? source : files.path(answer));
    }
    dialogs.nextAnswers = replace;
    QStringList heard;
    dialogs.onMessage = [&heard](const QString& text) { heard << text; };
    dialogs.onQuestion = [&heard](const QString& text) { heard << QStringLiteral("? ") + text; };

    window->appMenuBar()->exportAction()->trigger();

    QCOMPARE(dialogs.saveFilters.value(0).value(0), QStringLiteral("Excel-Tabelle (*.xlsx)"));
    QCOMPARE(dialogs.saveSuggestions.value(0), files.path(QStringLiteral("liste.xlsx")));
    QCOMPARE(heard, said);
    // Each refusal and each "Nein" brings the dialog back, until it is cancelled.
    const bool exported = written.startsWith(u"Name");
    QCOMPARE(dialogs.saveSuggestions.size(), answers.size() + (exported ? 0 : 1));
    QStringList names;
    QFile csv(files.path(answers.value(answers.size() - 1, QStringLiteral("none"))));
    if (csv.open(QIODevice::ReadOnly)) {
        for (const QString& line :
             QString::fromUtf8(csv.readAll().mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            names << line.section(u';', 0, 0);
        }
    }
    QCOMPARE(names.join(u'\n'), written);
}

void tst_ListOutput::chosenFilterDecidesTheFormat_data() {
    // The name chosen, the filter chosen with it, and the format written (-1: refused).
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("format");
    using F = ExportFormat;
    const auto row = [](const char* name, const QString& file, F filter, int format) {
        QTest::newRow(name) << file << int(filter) << format;
    };
    // One extension, several formats: the filter tells them apart.
    for (const F format : {F::Csv, F::CsvGoogle, F::CsvOutlook}) {
        row(qPrintable(exportFileFilters().at(int(format))), QStringLiteral("a.csv"), format, int(format));
    }
    for (const F format : {F::Vcard, F::Vcard4, F::Vcard21, F::VcardOriginal}) {
        row(qPrintable(exportFileFilters().at(int(format))), QStringLiteral("a.vcf"), format, int(format));
    }
    row("extension in capitals", QStringLiteral("a.CSV"), F::CsvOutlook, int(F::CsvOutlook));
    // The extension typed is taken at its word over the filter.
    row("XLSX typed under vCard 3.0", QStringLiteral("x.xlsx"), F::Vcard, int(F::Xlsx));
    row("vCard typed under a CSV", QStringLiteral("x.vcf"), F::CsvGoogle, int(F::Vcard));
    row("unknown extension", QStringLiteral("a.txt"), F::Xlsx, -1);
    row("folder", QStringLiteral("Kontakte"), F::Folder, int(F::Folder));
    row("folder with a dot", QStringLiteral("Kontakte 2.0"), F::Folder, int(F::Folder));
    row("PDF typed under the folder", QStringLiteral("x.pdf"), F::Folder, int(F::Pdf));
    QTest::newRow("no filter told") << QStringLiteral("a.xml") << -1 << int(F::FritzBox);
}

void tst_ListOutput::chosenFilterDecidesTheFormat() {
    QFETCH(QString, name);
    QFETCH(int, filter);
    QFETCH(int, format);
    const std::optional<ExportFormat> chosen = chosenExportFormat(QStringLiteral("/tmp/") + name, filter);
    QCOMPARE(chosen ? int(*chosen) : -1, format);
}

namespace {
// A file's bytes, or a folder's file names each with its file's bytes.
QByteArray contentsOf(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        return file.readAll();
    }
    QByteArray contents;
    const QDir folder(path);
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        contents += name.toUtf8() + '\n' + contentsOf(folder.filePath(name));
    }
    return contents;
}
} // namespace

void tst_ListOutput::exportWritesWhereTheChosenFilterSays_data() {
    // The names given to the save dialog in turn with the filter chosen with each ("full" is a folder
    // holding a file, "empty" an empty one, "plain" a file without extension), the filter each dialog
    // preselected, the messages before the export, and what was written: `target` in `format` (-1: nothing),
    // as exportContacts writes it and with what it tells.
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QList<int>>("filters");
    QTest::addColumn<QList<int>>("preselected");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("format");
    const int google = int(ExportFormat::CsvGoogle);
    const int vcard4 = int(ExportFormat::Vcard4);
    const int folder = int(ExportFormat::Folder);
    QTest::newRow("CSV für Google Kontakte")
        << QStringList{QStringLiteral("a.csv")} << QList<int>{google} << QList<int>{0} << QStringList()
        << QStringLiteral("a.csv") << google;
    QTest::newRow("typed without extension")
        << QStringList{QStringLiteral("a")} << QList<int>{vcard4} << QList<int>{0} << QStringList()
        << QStringLiteral("a.vcf") << vcard4;
    QTest::newRow("new folder") << QStringList{QStringLiteral("neu")} << QList<int>{folder} << QList<int>{0}
                                << QStringList() << QStringLiteral("neu") << folder;
    QTest::newRow("empty folder") << QStringList{QStringLiteral("empty")} << QList<int>{folder}
                                  << QList<int>{0} << QStringList() << QStringLiteral("empty") << folder;
    // Nothing is overwritten, and nobody is asked whether to: the dialog comes back, on the folder filter.
    QTest::newRow("folder holding a file, then a new one")
        << QStringList{QStringLiteral("full"), QStringLiteral("neu")} << QList<int>{folder, folder}
        << QList<int>{0, folder}
        << QStringList{QStringLiteral("„full“ konnte nicht geschrieben werden.\n"
                                      "Der Ordner ist nicht leer; es wird nichts überschrieben.")}
        << QStringLiteral("neu") << folder;
    QTest::newRow("a file for a folder, then cancelled")
        << QStringList{QStringLiteral("plain")} << QList<int>{folder} << QList<int>{0, folder}
        << QStringList{QStringLiteral("„plain“ konnte nicht geschrieben werden.\n"
                                      "Dort steht schon eine Datei, kein Ordner.")}
        << QString() << -1;
}

void tst_ListOutput::exportWritesWhereTheChosenFilterSays() {
    QFETCH(QStringList, answers);
    QFETCH(QList<int>, filters);
    QFETCH(QStringList, said);
    QFETCH(QString, target);
    QFETCH(int, format);
    TempFiles files;
    window->openFile(
        files.write(QStringLiteral("liste.vcf"),
                    cards(named({QStringLiteral("Zora"), QStringLiteral("Anna"), QStringLiteral("Mia")}))));
    QTRY_COMPARE(window->contactModel()->rowCount(), 3);
    const auto addFixtures = [](const TempFiles& folder) {
        folder.folder(QStringLiteral("full"));
        folder.write(QStringLiteral("full/a"), "a");
        folder.folder(QStringLiteral("empty"));
        folder.write(QStringLiteral("plain"), "plain");
    };
    addFixtures(files);
    for (const QString& answer : answers) {
        dialogs.nextSaveFiles << files.path(answer);
    }
    dialogs.nextSaveFilterChoices = filters;
    QStringList heard;
    dialogs.onMessage = [&heard](const QString& text) { heard << text; };
    dialogs.onQuestion = [&heard](const QString& text) { heard << QStringLiteral("? ") + text; };

    window->appMenuBar()->exportAction()->trigger();

    QTEST(dialogs.saveSelectedFilters, "preselected");
    QCOMPARE(contentsOf(files.path(QStringLiteral("full"))), QByteArray("a\na"));
    if (format >= 0) {
        // The same list written by the export itself, among the same files.
        TempFiles expected;
        addFixtures(expected);
        const ContactListModel& model = *window->contactModel();
        const ExportResult result =
            exportContacts({.list = model.shownList(), .title = listName(model.table())},
                           expected.path(target), ExportFormat(format));
        said << (result.status == ExportResult::Status::Failed ? result.error : result.notice);
        said.removeAll(QString());
        QCOMPARE(contentsOf(files.path(target)), contentsOf(expected.path(target)));
    }
    QCOMPARE(heard, said);
}

void tst_ListOutput::exportPreselectsTheFilterLastChosen_data() {
    // The filters chosen in the exports before (each writing a new name without extension), and the filter
    // preselected and the name suggested the next time.
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("preselected");
    QTest::addColumn<QString>("suggested");
    QTest::newRow("first export") << QList<int>() << 0 << QStringLiteral("liste.xlsx");
    QTest::newRow("vCard 4.0 before")
        << QList<int>{int(ExportFormat::Vcard4)} << int(ExportFormat::Vcard4) << QStringLiteral("liste.vcf");
    QTest::newRow("a CSV, then the folder")
        << QList<int>{int(ExportFormat::CsvGoogle), int(ExportFormat::Folder)} << int(ExportFormat::Folder)
        << QStringLiteral("liste");
}

void tst_ListOutput::exportPreselectsTheFilterLastChosen() {
    QFETCH(QList<int>, before);
    TempFiles files;
    window->openFile(files.write(QStringLiteral("liste.vcf"), cards(named({QStringLiteral("Zora")}))));
    QTRY_COMPARE(window->contactModel()->rowCount(), 1);
    for (int i = 0; i < before.size(); ++i) {
        dialogs.nextSaveFiles << files.path(QStringLiteral("export%1").arg(i));
        dialogs.nextSaveFilterChoices << before.at(i);
        window->appMenuBar()->exportAction()->trigger();
    }
    window->appMenuBar()->exportAction()->trigger();
    QCOMPARE(dialogs.saveSuggestions.size(), before.size() + 1);
    QTEST(dialogs.saveSelectedFilters.constLast(), "preselected");
    QFETCH(QString, suggested);
    QCOMPARE(dialogs.saveSuggestions.constLast(), files.path(suggested));
}

void tst_ListOutput::exportTellsItsEndOverNoProgressBox_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sourceGone"); // the list's file removed after it was read
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("said");
    // The message names the file that could not be read, not only the one not written: the cards' bytes
    // are read from it again.
    QTest::newRow("source gone, vCard as in the file")
        << QStringLiteral("Zora") << true << QStringLiteral("a.vcf") << int(ExportFormat::VcardOriginal)
        << QStringLiteral("„liste.vcf“ konnte nicht gelesen werden; „a.vcf“ wurde nicht geschrieben.\n"
                          "Die Datei existiert nicht.");
    QTest::newRow("name too long for an Excel cell")
        << QString(40000, u'x') << false << QStringLiteral("a.xlsx") << int(ExportFormat::Xlsx)
        << QStringLiteral(
               "In „a.xlsx“ wurde 1 Zelle gekürzt: Eine Excel-Zelle fasst höchstens 32.767 Zeichen.");
}

void tst_ListOutput::exportTellsItsEndOverNoProgressBox() {
    QFETCH(QString, name);
    QFETCH(bool, sourceGone);
    QFETCH(QString, target);
    QFETCH(int, filter);
    QFETCH(QString, said);
    TempFiles files;
    const QString source = files.write(QStringLiteral("liste.vcf"), cards(named({name})));
    window->openFile(source);
    QTRY_COMPARE(window->contactModel()->rowCount(), 1);
    if (sourceGone) {
        QVERIFY(QFile::remove(source));
    }
    dialogs.nextSaveFiles << files.path(target);
    dialogs.nextSaveFilterChoices << filter;
    QStringList heard;
    dialogs.onMessage = [&heard, this](const QString& text) {
        // The box is application-modal: over the message it would take the keys meant for it.
        const bool progressOpen = window->findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
        heard << text + (progressOpen ? QStringLiteral(" [under the progress box]") : QString());
    };
    window->appMenuBar()->exportAction()->trigger();
    QCOMPARE(heard, QStringList{said});
}

void tst_ListOutput::printShowsThePhoneListInAPreview_data() {
    QTest::addColumn<int>("contacts");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("title"); // its beginning
    QTest::newRow("one page") << 1 << 1 << QStringLiteral("Druckvorschau");
    // A preview keeps each page as a picture: a long list shows its first pages only.
    QTest::newRow("a long list") << 5000 << 20 << QStringLiteral("Druckvorschau: die ersten 20 von ");
}

void tst_ListOutput::printShowsThePhoneListInAPreview() {
    QFETCH(int, contacts);
    QFETCH(QString, title);
    TempFiles files;
    QStringList names;
    for (int i = 0; i < contacts; ++i) {
        names << QStringLiteral("Zora %1").arg(i);
    }
    window->openFile(files.write(QStringLiteral("liste.vcf"), cards(named(names))));
    QTRY_COMPARE(window->contactModel()->rowCount(), contacts);
    int pages = -1;
    QString previewTitle;
    QStringList printedBy;
    QTimer::singleShot(0, this, [&] {
        QPrintPreviewDialog* preview = nullptr;
        // Laying out a long list's pages takes long under the sanitizers: waited for, not timed.
        QTRY_VERIFY_WITH_TIMEOUT(
            (preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())), 120000);
        const auto* view = preview->findChild<QPrintPreviewWidget*>();
        QTRY_VERIFY_WITH_TIMEOUT(view->pageCount() > 0, 120000);
        pages = view->pageCount();
        previewTitle = preview->windowTitle();
        // Printing by keyboard: each key opens the print dialog (without a printer the one asking for the
        // PDF's name), which is cancelled here.
        for (const QKeySequence& keys : {QKeySequence(Qt::Key_Return), QKeySequence(QKeySequence::Print)}) {
            preview->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(preview));
            QTRY_COMPARE(QApplication::focusWidget(), preview->findChild<QPrintPreviewWidget*>());
            QTimer::singleShot(0, preview, [&printedBy, keys, preview] {
                QDialog* print = nullptr;
                QTRY_VERIFY((print = qobject_cast<QDialog*>(QApplication::activeModalWidget())) &&
                            print != preview);
                printedBy << keys.toString();
                print->reject();
            });
            QTest::keySequence(preview, keys);
        }
        preview->reject();
    });
    window->appMenuBar()->printAction()->trigger();
    QTEST(pages, "pages");
    QVERIFY2(previewTitle.startsWith(title), qPrintable(previewTitle));
    QCOMPARE(printedBy, (QStringList{QStringLiteral("Return"), QStringLiteral("Ctrl+P")}));
}

QTEST_MAIN(tst_ListOutput)
#include "tst_listoutput.moc"
