// The import as the window runs it: the file and title it sets and puts back, the lists it fills or keeps,
// the messages it shows and the other file it asks for after an "END" line outside a card.
#include "contactlist/contactlistmodel.h"
#include "fakedialogs.h"
#include "mainwindow/importflow.h"
#include "platform/filetypes.h"
#include "privilege.h"
#include "tempfiles.h"
#include "vcard/importmessages.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QWidget>
#include <memory>
#include <new>

using namespace tovanel;

namespace {

const QByteArray TwoCards = "BEGIN:VCARD\nFN:Anna\nEND:VCARD\nBEGIN:VCARD\nFN:Bernd\nEND:VCARD\n";
const QByteArray ThreeCards = "BEGIN:VCARD\nFN:Xaver\nEND:VCARD\nBEGIN:VCARD\nFN:Yvonne\nEND:VCARD\n"
                              "BEGIN:VCARD\nFN:Zacharias\nEND:VCARD\n";
const QByteArray StrayEndAfterOne =
    "BEGIN:VCARD\nFN:Vorher\nEND:VCARD\nEND:VCARD\nBEGIN:VCARD\nFN:Nie\nEND:VCARD\n";

} // namespace

class tst_ImportFlow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void importsFileAndReportsReadToEnd();
    void startsNumberingAgainOnEachImport();
    void emptyFileIsReadToEndButReportsNothingImported();
    void noFileChangesNothing();
    void unreadableFileIsReportedWithReason_data();
    void unreadableFileIsReportedWithReason();
    void strayEndAsksForAnotherFile();
    void strayEndCancelledKeepsRowsReadBefore();
    void strayEndAgainInTheOtherFile();
    void givenUpImportKeepsEverything_data();
    void givenUpImportKeepsEverything();
    void severalFilesMakeOneList_data();
    void severalFilesMakeOneList();

private:
    QStringList names() const;
    void preload();

    std::unique_ptr<TempFiles> m_files;
    std::unique_ptr<QWidget> m_window;
    QString m_file;
    std::unique_ptr<ContactListModel> m_contactList;
    std::unique_ptr<ContactListModel> m_addressList;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    FakeDialogs m_dialogs;
    std::unique_ptr<ImportFlow> m_flow;
    QStringList m_chosen; // files read, in order
    int m_readToEnd = 0;
};

void tst_ImportFlow::init() {
    m_files = std::make_unique<TempFiles>();
    m_window = std::make_unique<QWidget>();
    m_window->setWindowTitle(QStringLiteral("Adressen"));
    m_file.clear();
    m_contactList = std::make_unique<ContactListModel>(ContactListModel::List::Contacts);
    m_addressList = std::make_unique<ContactListModel>(ContactListModel::List::Addresses);
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_contactList.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_dialogs.messages.clear();
    m_dialogs.openFileTypes.clear();
    m_dialogs.nextFiles.clear();
    m_flow =
        std::make_unique<ImportFlow>(*m_window, m_file, *m_contactList, *m_addressList, m_dialogs, nullptr);
    m_flow->setParent(nullptr); // owned here, not by the window
    m_flow->setReading([this](const QString& path, const ReadProgress& progress) {
        m_chosen << path;
        return readVcardFile(path, {.progress = progress});
    });
    connect(m_flow.get(), &ImportFlow::readToEnd, this, [this] { ++m_readToEnd; });
    m_chosen.clear();
    m_readToEnd = 0;
}

void tst_ImportFlow::cleanup() {
    m_flow.reset();
    m_tester.reset();
    m_contactList.reset();
    m_addressList.reset();
    m_window.reset();
    m_files.reset();
}

QStringList tst_ImportFlow::names() const {
    QStringList out;
    for (int row = 0; row < m_contactList->rowCount(); ++row) {
        out << m_contactList->cell(row, ContactColumn::Number) + QLatin1Char(' ') +
                   m_contactList->cell(row, ContactColumn::Name);
    }
    return out;
}

// Fills the lists from an earlier import, so a test sees what a later one leaves of them.
void tst_ImportFlow::preload() {
    m_flow->open(m_files->write(QStringLiteral("vorher.vcf"), ThreeCards));
    QCOMPARE(m_contactList->rowCount(), 3);
    m_chosen.clear();
    m_readToEnd = 0;
}

void tst_ImportFlow::importsFileAndReportsReadToEnd() {
    const QString path = m_files->write(QStringLiteral("kontakte.vcf"), TwoCards);
    m_flow->open(path);
    QCOMPARE(names(), (QStringList{QStringLiteral("1 Anna"), QStringLiteral("2 Bernd")}));
    QCOMPARE(m_addressList->rowCount(), 2);
    QCOMPARE(m_chosen, QStringList{path});
    QCOMPARE(m_file, path);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("file name: kontakte.vcf"));
    QCOMPARE(m_readToEnd, 1);
    QCOMPARE(m_dialogs.messages, QStringList());
    QCOMPARE(m_dialogs.openFileTypes, QStringList());
}

void tst_ImportFlow::startsNumberingAgainOnEachImport() {
    preload();
    m_flow->open(m_files->write(QStringLiteral("kontakte.vcf"), TwoCards));
    QCOMPARE(names(), (QStringList{QStringLiteral("1 Anna"), QStringLiteral("2 Bernd")}));
    QCOMPARE(m_addressList->cell(1, AddressColumn::Number), QStringLiteral("2"));
}

void tst_ImportFlow::emptyFileIsReadToEndButReportsNothingImported() {
    preload();
    const QString path = m_files->write(QStringLiteral("leer.vcf"), {});
    m_flow->open(path);
    QCOMPARE(m_contactList->rowCount(), 0);
    QCOMPARE(m_addressList->rowCount(), 0);
    QCOMPARE(m_chosen, QStringList{path});
    QCOMPARE(m_readToEnd, 1);
    QCOMPARE(m_dialogs.messages,
             QStringList{QStringLiteral(
                 "Es konnten keine Daten importiert werden\nBitte prüfen Sie die Datei / das Format")});
}

void tst_ImportFlow::noFileChangesNothing() {
    preload();
    const QString title = m_window->windowTitle();
    m_flow->open(QString());
    QCOMPARE(m_contactList->rowCount(), 3);
    QCOMPARE(m_chosen, QStringList());
    QCOMPARE(m_window->windowTitle(), title);
    QCOMPARE(m_readToEnd, 0);
    QCOMPARE(m_dialogs.messages, QStringList());
}

void tst_ImportFlow::unreadableFileIsReportedWithReason_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << QStringLiteral("missing")
                                  << QStringLiteral("Die Datei existiert nicht.");
    QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("Das ist ein Ordner, keine Datei.");
    QTest::newRow("dangling link") << QStringLiteral("link")
                                   << QStringLiteral("Die Verknüpfung zeigt auf keine vorhandene Datei.");
    QTest::newRow("no permission") << QStringLiteral("permission")
                                   << QStringLiteral("Keine Berechtigung, die Datei zu lesen.");
}

void tst_ImportFlow::unreadableFileIsReportedWithReason() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString name = QStringLiteral("x.vcf");
    QString path = m_files->path(name);
    if (kind == QLatin1String("folder")) {
        path = m_files->folder(name);
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(m_files->path(QStringLiteral("weg.vcf")), path));
    } else if (kind == QLatin1String("permission")) {
        TOVANEL_UNPRIVILEGED_ROW();
        m_files->write(name, TwoCards);
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    }
    preload();
    const QStringList before = names();
    const QString fileBefore = m_file;
    const QString titleBefore = m_window->windowTitle();
    m_flow->open(path);

    QCOMPARE(m_dialogs.messages,
             QStringList{QStringLiteral("Die Datei „x.vcf“ konnte nicht gelesen werden.\n") + reason});
    // Nothing was read, so nothing is replaced: the list, its file and its title stay.
    QCOMPARE(names(), before);
    QCOMPARE(m_addressList->rowCount(), int(before.size()));
    QCOMPARE(m_chosen, QStringList{path});
    QCOMPARE(m_file, fileBefore);
    QCOMPARE(m_window->windowTitle(), titleBefore);
    QCOMPARE(m_readToEnd, 0);
    QCOMPARE(m_dialogs.openFileTypes, QStringList());
}

void tst_ImportFlow::strayEndAsksForAnotherFile() {
    const QString bad = m_files->write(QStringLiteral("kaputt.vcf"), StrayEndAfterOne);
    const QString good = m_files->write(QStringLiteral("gut.vcf"), TwoCards);
    m_dialogs.nextFiles = {good};
    m_flow->open(bad);

    QCOMPARE(m_dialogs.messages, QStringList{ImportMessages::strayEnd()});
    QCOMPARE(ImportMessages::strayEnd(),
             QStringLiteral("Error: END found before BEGIN tag\nBitte prüfen Sie die Datei / das Format"));
    QCOMPARE(m_dialogs.openFileTypes, QStringList{FileTypes::OpenFilter});
    QCOMPARE(names(), (QStringList{QStringLiteral("1 Anna"), QStringLiteral("2 Bernd")}));
    QCOMPARE(m_chosen, (QStringList{bad, good}));
    QCOMPARE(m_file, good);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("file name: gut.vcf"));
    QCOMPARE(m_readToEnd, 1); // only the other file was read to its end
}

void tst_ImportFlow::strayEndCancelledKeepsRowsReadBefore() {
    const QString bad = m_files->write(QStringLiteral("kaputt.vcf"), StrayEndAfterOne);
    m_flow->open(bad);

    QCOMPARE(m_dialogs.messages, QStringList{ImportMessages::strayEnd()});
    QCOMPARE(m_dialogs.openFileTypes.size(), 1);
    QCOMPARE(names(), QStringList{QStringLiteral("1 Vorher")});
    QCOMPARE(m_chosen, QStringList{bad});
    QCOMPARE(m_file, bad);
    QCOMPARE(m_readToEnd, 0);
}

void tst_ImportFlow::strayEndAgainInTheOtherFile() {
    const QString bad = m_files->write(QStringLiteral("kaputt.vcf"), StrayEndAfterOne);
    const QString worse = m_files->write(QStringLiteral("schlimmer.vcf"), "END:VCARD\n");
    m_dialogs.nextFiles = {worse};
    m_flow->open(bad);

    QCOMPARE(m_dialogs.messages, (QStringList{ImportMessages::strayEnd(), ImportMessages::strayEnd()}));
    QCOMPARE(m_dialogs.openFileTypes.size(), 2);
    QCOMPARE(m_contactList->rowCount(), 0);
    QCOMPARE(m_chosen, (QStringList{bad, worse}));
    QCOMPARE(m_readToEnd, 0);
}

void tst_ImportFlow::givenUpImportKeepsEverything_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("files"); // one file, two in place of the list, or one added to it
    const QStringList noMemory{ImportMessages::outOfMemory(QStringLiteral("neu.vcf"))};
    for (const QString& files : {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("added")}) {
        const QByteArray suffix = ", " + files.toLatin1();
        QTest::newRow("cancelled in the progress" + suffix)
            << QStringLiteral("progress") << QStringList() << files;
        QTest::newRow("cancelled reading" + suffix) << QStringLiteral("cancelled") << QStringList() << files;
        QTest::newRow("memory ran out" + suffix) << QStringLiteral("memory") << noMemory << files;
        QTest::newRow("no memory for the views" + suffix) << QStringLiteral("views") << noMemory << files;
    }
}

// A cancelled import, and one that ran out of memory reading or showing the file, put back the previous list,
// file and title.
void tst_ImportFlow::givenUpImportKeepsEverything() {
    QFETCH(QString, how);
    QFETCH(QStringList, messages);
    QFETCH(QString, files);
    preload();
    m_contactList->sort(1, Qt::DescendingOrder); // a sort the user made stays too
    const QStringList before = names();
    QCOMPARE(before.first(), QStringLiteral("3 Zacharias"));
    const QString fileBefore = m_file;
    const QString titleBefore = m_window->windowTitle();
    // Large enough for the progress to be asked on the way.
    const QString path = m_files->write(QStringLiteral("neu.vcf"), TwoCards.repeated(40000));
    QString fileWhileRead;
    m_flow->setReading([&](const QString& file, const ReadProgress&) -> VcardReadResult {
        m_chosen << file;
        fileWhileRead = m_file;
        if (how == QLatin1String("progress")) {
            return readVcardFile(file, {.progress = [](qint64, qint64) { return false; }});
        }
        if (how == QLatin1String("memory")) {
            throw std::bad_alloc();
        }
        if (how == QLatin1String("views")) {
            return readVcardFile(file);
        }
        VcardReadResult result;
        result.status = VcardReadResult::Status::Cancelled;
        return result;
    });
    m_flow->setViewRoom([&](qsizetype rows) {
        if (how == QLatin1String("views") && rows >= 80000) {
            throw std::bad_alloc();
        }
        return std::unique_ptr<char[]>();
    });
    if (files == QLatin1String("one")) {
        m_flow->open(path);
        QCOMPARE(fileWhileRead, path);
    } else {
        m_flow->open({path, m_files->write(QStringLiteral("zwei.vcf"), TwoCards)},
                     files == QLatin1String("added"));
    }
    QCOMPARE(names(), before);
    QCOMPARE(m_addressList->rowCount(), 3);
    QCOMPARE(m_chosen.constFirst(), path);
    QCOMPARE(m_file, fileBefore);
    QCOMPARE(m_window->windowTitle(), titleBefore);
    QCOMPARE(m_readToEnd, 0);
    QCOMPARE(m_dialogs.messages, messages);
}

void tst_ImportFlow::severalFilesMakeOneList_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("add");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message"); // a part of the one message; empty: no message
    const QStringList anna{QStringLiteral("Anna"), QStringLiteral("Bernd")};
    const QStringList xaver{QStringLiteral("Xaver"), QStringLiteral("Yvonne"), QStringLiteral("Zacharias")};
    QTest::newRow("two files") << QStringList{QStringLiteral("a.vcf"), QStringLiteral("drei.vcf")} << false
                               << anna + xaver << QStringLiteral("file name: a.vcf und 1 weitere")
                               << QString();
    QTest::newRow("one not there") << QStringList{QStringLiteral("a.vcf"), QStringLiteral("fehlt.vcf"),
                                                  QStringLiteral("drei.vcf")}
                                   << false << anna + xaver
                                   << QStringLiteral("file name: a.vcf und 1 weitere")
                                   << QStringLiteral("Nicht eingelesen:\nfehlt.vcf: ");
    QTest::newRow("problems first, then the count, then the files read")
        << QStringList{QStringLiteral("a.vcf"), QStringLiteral("drei.vcf"), QStringLiteral("kaputt.vcf")}
        << false << anna + xaver + QStringList{QStringLiteral("Vorher")}
        << QStringLiteral("file name: a.vcf und 2 weitere")
        << QStringLiteral("Unvollständig eingelesen:\nkaputt.vcf: 1 Kontakt (END vor BEGIN: der Rest der "
                          "Datei fehlt)\n\n3 von 3 Dateien eingelesen, 6 Kontakte.\n\n"
                          "Eingelesen:\na.vcf: 2 Kontakte\ndrei.vcf: 3 Kontakte");
    QTest::newRow("one name in two folders")
        << QStringList{QStringLiteral("alt/a.vcf"), QStringLiteral("neu/a.vcf"), QStringLiteral("fehlt.vcf")}
        << false << anna + anna << QStringLiteral("file name: a.vcf und 1 weitere")
        << QStringLiteral("Eingelesen:\nalt/a.vcf: 2 Kontakte\nneu/a.vcf: 2 Kontakte");
    QTest::newRow("one empty") << QStringList{QStringLiteral("a.vcf"), QStringLiteral("leer.vcf")} << false
                               << anna << QStringLiteral("file name: a.vcf")
                               << QStringLiteral("leer.vcf: keine Kontakte");
    QTest::newRow("END before BEGIN in one")
        << QStringList{QStringLiteral("kaputt.vcf"), QStringLiteral("a.vcf")} << false
        << QStringList{QStringLiteral("Vorher")} + anna
        << QStringLiteral("file name: kaputt.vcf und 1 weitere")
        << QStringLiteral("kaputt.vcf: 1 Kontakt (END vor BEGIN");
    QTest::newRow("added, the open file not twice")
        << QStringList{QStringLiteral("vorher.vcf"), QStringLiteral("a.vcf")} << true << xaver + anna
        << QStringLiteral("file name: vorher.vcf und 1 weitere")
        << QStringLiteral("vorher.vcf: schon in der Liste");
    QTest::newRow("nothing readable: the list stays")
        << QStringList{QStringLiteral("fehlt.vcf"), QStringLiteral("leer.vcf")} << false << xaver
        << QStringLiteral("file name: vorher.vcf") << QStringLiteral("Nicht eingelesen:");
}

void tst_ImportFlow::severalFilesMakeOneList() {
    QFETCH(QStringList, files);
    QFETCH(bool, add);
    QFETCH(QStringList, names);
    QFETCH(QString, message);
    preload();
    const QHash<QString, QByteArray> contents{{QStringLiteral("a.vcf"), TwoCards},
                                              {QStringLiteral("drei.vcf"), ThreeCards},
                                              {QStringLiteral("leer.vcf"), QByteArray()},
                                              {QStringLiteral("kaputt.vcf"), StrayEndAfterOne}};
    QStringList paths;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (info.path() != u".") {
            m_files->folder(info.path());
        }
        paths << (contents.contains(info.fileName()) ? m_files->write(file, contents.value(info.fileName()))
                                                     : m_files->path(file));
    }
    m_flow->open(paths, add);
    QStringList shown;
    for (int row = 0; row < m_contactList->rowCount(); ++row) {
        shown << m_contactList->cell(row, ContactColumn::Name);
        QCOMPARE(m_contactList->cell(row, ContactColumn::Number), QString::number(row + 1));
    }
    QCOMPARE(shown, names);
    // The "Datei" column tells files of one name apart as the message does.
    if (files.constFirst().contains(u'/')) {
        QCOMPARE(m_contactList->cell(0, ContactColumn::File), files.constFirst());
    }
    QTEST(m_window->windowTitle(), "title");
    QCOMPARE(m_dialogs.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QVERIFY2(m_dialogs.messages.constFirst().contains(message),
                 qPrintable(m_dialogs.messages.constFirst()));
    }
    QCOMPARE(m_dialogs.openFileTypes, QStringList()); // several files never ask for another
}

QTEST_MAIN(tst_ImportFlow)
#include "tst_importflow.moc"
