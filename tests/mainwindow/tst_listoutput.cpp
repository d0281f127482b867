#include "platform/listbox.h"
#include "tempfiles.h"
#include "windowfixture.h"

#include <QAction>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
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
    QTest::addColumn<QString>("answer"); // the file name given to the save dialog; "source": the open file
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<QString>("written"); // the CSV's names, one per line; empty: nothing written
    QTest::addColumn<QString>("message");

    QTest::newRow("file order") << QStringLiteral("a.csv") << false << QStringLiteral("Name\nZora\nAnna\nMia")
                                << QString();
    QTest::newRow("sorted by name") << QStringLiteral("a.csv") << true
                                    << QStringLiteral("Name\nAnna\nMia\nZora") << QString();
    QTest::newRow("cancelled") << QString() << false << QString() << QString();
    QTest::newRow("unknown extension")
        << QStringLiteral("a.txt") << false << QString()
        << QStringLiteral("„a.txt“ hat keine der Endungen .xlsx, .csv, .vcf oder .pdf.\n"
                          "Bitte wählen Sie eines der angebotenen Formate.");
    QTest::newRow("the open file") << QStringLiteral("source") << false << QString()
                                   << QStringLiteral(
                                          "„liste.vcf“ konnte nicht geschrieben werden.\n"
                                          "Das ist die geöffnete Datei; sie wird nicht überschrieben.");
}

void tst_ListOutput::exportWritesTheListAsShown() {
    QFETCH(QString, answer);
    QFETCH(bool, sorted);
    QFETCH(QString, written);
    QFETCH(QString, message);
    TempFiles files;
    const QString source =
        files.write(QStringLiteral("liste.vcf"),
                    cards(named({QStringLiteral("Zora"), QStringLiteral("Anna"), QStringLiteral("Mia")})));
    window->openFile(source);
    QTRY_COMPARE(window->contactModel()->rowCount(), 3);
    if (sorted) {
        window->appMenuBar()->sortAction(ContactColumn::Name)->trigger();
    }
    const QString target = answer == u"source" ? source : answer.isEmpty() ? QString() : files.path(answer);
    dialogs.nextSaveFiles << target;

    window->appMenuBar()->exportAction()->trigger();

    QCOMPARE(dialogs.saveFilters.value(0).value(0), QStringLiteral("Excel-Tabelle (*.xlsx)"));
    QCOMPARE(dialogs.saveSuggestions.value(0), files.path(QStringLiteral("liste.xlsx")));
    QCOMPARE(dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
    QFile csv(target);
    if (written.isEmpty()) {
        QVERIFY(target.isEmpty() || target == source || !csv.exists());
        return;
    }
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QStringList names;
    for (const QString& line :
         QString::fromUtf8(csv.readAll().mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        names << line.section(u';', 0, 0);
    }
    QCOMPARE(names.join(u'\n'), written);
}

void tst_ListOutput::printShowsThePhoneListInAPreview() {
    TempFiles files;
    window->openFile(files.write(QStringLiteral("liste.vcf"), cards(named({QStringLiteral("Zora")}))));
    QTRY_COMPARE(window->contactModel()->rowCount(), 1);
    int pages = -1;
    QTimer::singleShot(0, this, [&pages] {
        QPrintPreviewDialog* preview = nullptr;
        QTRY_VERIFY((preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())));
        const auto* view = preview->findChild<QPrintPreviewWidget*>();
        QTRY_VERIFY(view->pageCount() > 0);
        pages = view->pageCount();
        preview->reject();
    });
    window->appMenuBar()->printAction()->trigger();
    QCOMPARE(pages, 1);
}

QTEST_MAIN(tst_ListOutput)
#include "tst_listoutput.moc"
