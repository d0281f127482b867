#include "platform/listbox.h"
#include "tempfiles.h"
#include "windowfixture.h"

#include <QAction>
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
    void exportTellsItsEndOverNoProgressBox_data();
    void exportTellsItsEndOverNoProgressBox();
    void printShowsThePhoneListInAPreview_data();
    void printShowsThePhoneListInAPreview();
};

void tst_ListOutput::init() {
    dialogs.saveFilters.clear();
    dialogs.saveSuggestions.clear();
    dialogs.nextSaveFiles.clear();
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
        << QStringList{QStringLiteral("„a.txt“ hat keine der Endungen .xlsx, .csv, .vcf oder .pdf.\n"
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

void tst_ListOutput::exportTellsItsEndOverNoProgressBox_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sourceGone"); // the list's file removed after it was read
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("said");
    // The message names the file that could not be read, not only the one not written.
    QTest::newRow("source gone, vCard")
        << QStringLiteral("Zora") << true << QStringLiteral("a.vcf")
        << QStringLiteral("„liste.vcf“ konnte nicht gelesen werden; „a.vcf“ wurde nicht geschrieben.\n"
                          "Die Datei existiert nicht.");
    QTest::newRow("name too long for an Excel cell")
        << QString(40000, u'x') << false << QStringLiteral("a.xlsx")
        << QStringLiteral(
               "In „a.xlsx“ wurde 1 Zelle gekürzt: Eine Excel-Zelle fasst höchstens 32.767 Zeichen.");
}

void tst_ListOutput::exportTellsItsEndOverNoProgressBox() {
    QFETCH(QString, name);
    QFETCH(bool, sourceGone);
    QFETCH(QString, target);
    QFETCH(QString, said);
    TempFiles files;
    const QString source = files.write(QStringLiteral("liste.vcf"), cards(named({name})));
    window->openFile(source);
    QTRY_COMPARE(window->contactModel()->rowCount(), 1);
    if (sourceGone) {
        QVERIFY(QFile::remove(source));
    }
    dialogs.nextSaveFiles << files.path(target);
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
        QTRY_VERIFY((preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())));
        const auto* view = preview->findChild<QPrintPreviewWidget*>();
        QTRY_VERIFY(view->pageCount() > 0);
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
