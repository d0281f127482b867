#include "app/app.h"
#include "contactlist/contactlistmodel.h"
#include "detailwindow/detailwindow.h"
#include "fakedialogs.h"
#include "mainwindow/mainwindow.h"
#include "menubar/appmenubar.h"
#include "platform/filetypes.h"
#include "platform/regularfile.h"
#include "tempfiles.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileOpenEvent>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace tovanel;

namespace {
QString dataFile(const QString& name) {
    return QStringLiteral(TOVANEL_APP_DATA "/") + name;
}

QString missingFile() {
    return dataFile(QStringLiteral("gibt-es-nicht.vcf"));
}

QWidgetList visibleTopLevels() {
    QWidgetList visible;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            visible << widget;
        }
    }
    return visible;
}
} // namespace

class TestApp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Start
    void startOpensTheFirstDocument_data();
    void startOpensTheFirstDocument();
    void commandLineNamesTheDocument_data();
    void commandLineNamesTheDocument();
    void namesOfTheCommandLineAreChosenOnce();
    void commandLineIsAnsweredWithoutADisplay_data();
    void commandLineIsAnsweredWithoutADisplay();
    void launchHandsOverOnlyWhatAnotherProcessCanRead_data();
    void launchHandsOverOnlyWhatAnotherProcessCanRead();

    // Documents while the program runs
    void secondDocumentIsImportedIntoTheSameWindow_data();
    void secondDocumentIsImportedIntoTheSameWindow();
    void launchWithoutFileOnlyBringsTheWindowForward();
    void requestWaitsForTheRunningImport();
    void requestWaitsWhileAModalDialogIsOpen();
    void waitingRequestsAreBounded_data();
    void waitingRequestsAreBounded();
    void fileHandedOverDuringStartDialogKeepsTheProgramRunning();

    // Application commands
    void beendenWithoutAWindowEndsTheProgram();
    void menuItemsOfBothWindowsReachTheHandlers();

    // Desktop integration
    void qtDialogsSpeakGerman();

private:
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<App> m_app;
    int m_quits = 0;
};

void TestApp::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestApp::init() {
    m_dialogs = std::make_unique<FakeDialogs>();
    m_app = std::make_unique<App>(*m_dialogs);
    m_quits = 0;
    m_app->setQuitHandler([this] { ++m_quits; });
}

void TestApp::cleanup() {
    m_app.reset();
    m_dialogs.reset();
    QCOMPARE(visibleTopLevels(), QWidgetList());
}

// --- Start -------------------------------------------------------------------------------------

void TestApp::startOpensTheFirstDocument_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("chosen"); // in the open dialog
    QTest::addColumn<int>("dialogsAsked");
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("rows");

    const QString kontakte = dataFile(QStringLiteral("kontakte.vcf"));
    const QString andere = dataFile(QStringLiteral("andere.vcf"));
    const QStringList none;
    QTest::newRow("file given: no dialog, window shown")
        << QStringList{kontakte} << none << 0 << 0 << true << 2;
    QTest::newRow("two files given: one list of both")
        << QStringList{kontakte, andere} << none << 0 << 0 << true << 3;
    QTest::newRow("file without contacts still counts as read")
        << QStringList{dataFile(QStringLiteral("ohne-karten.vcf"))} << none << 0 << 1 << true << 0;
    QTest::newRow("unreadable file: message, program ends")
        << QStringList{missingFile()} << none << 0 << 1 << false << 0;
    QTest::newRow("format error, retry cancelled: program ends")
        << QStringList{dataFile(QStringLiteral("end-zuerst.vcf"))} << none << 1 << 1 << false << 0;
    QTest::newRow("no file: the chosen one is imported")
        << none << QStringList{kontakte} << 1 << 0 << true << 2;
    QTest::newRow("no file: the chosen ones become one list")
        << none << QStringList{kontakte, andere} << 1 << 0 << true << 3;
    QTest::newRow("no file, dialog cancelled: program ends silently") << none << none << 1 << 0 << false << 0;
}

void TestApp::startOpensTheFirstDocument() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, chosen);
    QFETCH(int, dialogsAsked);
    QFETCH(int, messages);
    QFETCH(bool, shown);
    QFETCH(int, rows);

    if (!chosen.isEmpty()) {
        m_dialogs->nextFileLists = {chosen};
    }
    m_app->start(arguments);
    QVERIFY(!m_app->mainWindow()); // nothing before the event loop hands over the first request
    QTRY_VERIFY(m_app->mainWindow());

    QCOMPARE(m_dialogs->openFileTypes.size(), dialogsAsked);
    for (const QString& filter : std::as_const(m_dialogs->openFileTypes)) {
        QCOMPARE(filter, FileTypes::OpenFilter);
    }
    QCOMPARE(m_dialogs->messages.size(), messages);
    QCOMPARE(m_app->hasReadFileToEnd(), shown);
    QCOMPARE(m_app->mainWindow()->isVisible(), shown);
    QCOMPARE(m_quits, shown ? 0 : 1);
    QCOMPARE(m_app->mainWindow()->contactModel()->rowCount(), rows);
}

void TestApp::commandLineNamesTheDocument_data() {
    using Action = App::CommandLine::Action;
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("documents");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("format"); // the name --format gave, empty for none

    const auto args = [](std::initializer_list<const char*> list) {
        QByteArrayList arguments{"tovanel"};
        for (const char* argument : list) {
            arguments << argument;
        }
        return arguments;
    };
    const auto paths = [](std::initializer_list<QString> list) { return QStringList(list); };
    const QString cwd = QDir::currentPath() + QLatin1Char('/');
    const QStringList none;
    const QString a = QStringLiteral("/tmp/a.vcf");
    QTest::newRow("no argument") << args({}) << Action::Run << none << QString() << QString();
    QTest::newRow("absolute path") << args({"/tmp/a b.vcf"}) << Action::Run
                                   << paths({QStringLiteral("/tmp/a b.vcf")}) << QString() << QString();
    QTest::newRow("relative path is made absolute")
        << args({"Kontakte/ü.vcf"}) << Action::Run << paths({cwd + QStringLiteral("Kontakte/ü.vcf")})
        << QString() << QString();
    QTest::newRow("file URL") << args({"file:///tmp/a%20b.vcf"}) << Action::Run
                              << paths({QStringLiteral("/tmp/a b.vcf")}) << QString() << QString();
    QTest::newRow("every file and folder counts, in order")
        << args({"/tmp/b.vcf", "Kontakte/", "file:///tmp/a.vcf", "", "/tmp/b.vcf"}) << Action::Run
        << paths({QStringLiteral("/tmp/b.vcf"), cwd + QStringLiteral("Kontakte"), a,
                  QStringLiteral("/tmp/b.vcf")})
        << QString() << QString();
    QTest::newRow("--help") << args({"--help"}) << Action::Help << none << QString() << QString();
    QTest::newRow("-h after a file") << args({"/tmp/a.vcf", "-h"}) << Action::Help << none << QString()
                                     << QString();
    QTest::newRow("--version") << args({"--version"}) << Action::Version << none << QString() << QString();
    QTest::newRow("-V") << args({"-V"}) << Action::Version << none << QString() << QString();
    QTest::newRow("-- ends the options")
        << args({"/tmp/a.vcf", "--", "-x.vcf", "--help"}) << Action::Run
        << paths({a, cwd + QStringLiteral("-x.vcf"), cwd + QStringLiteral("--help")}) << QString()
        << QString();
    QTest::newRow("lone dash is a file")
        << args({"-"}) << Action::Run << paths({cwd + QStringLiteral("-")}) << QString() << QString();
    QTest::newRow("unknown option") << args({"--farbe", "/tmp/a.vcf"}) << Action::Fail << none
                                    << QStringLiteral("tovanel: Unbekannte Option „--farbe“") << QString();
    QTest::newRow("file with a dash, no --")
        << args({"-x.vcf"}) << Action::Fail << none << QStringLiteral("tovanel: Unbekannte Option „-x.vcf“")
        << QString();
    QTest::newRow("Qt's options and their values are no file")
        << args({"-platform", "offscreen", "--style", "fusion", "-reverse", "/tmp/a.vcf"}) << Action::Run
        << paths({a}) << QString() << QString();
    QTest::newRow("Qt's options, two dashes and joined values")
        << args({"--platform", "offscreen", "-style=fusion", "-display", ":1", "/tmp/a.vcf"}) << Action::Run
        << paths({a}) << QString() << QString();
    QTest::newRow("Qt's option without its value")
        << args({"/tmp/a.vcf", "-style"}) << Action::Fail << none
        << QStringLiteral("tovanel: Der Option „-style“ fehlt ihr Wert") << QString();
    QTest::newRow("--export") << args({"--export", "a.csv", "/tmp/a.vcf"}) << Action::Export << paths({a})
                              << QString() << QString();
    QTest::newRow("--export without a file")
        << args({"--export", "a.csv"}) << Action::Fail << none
        << QStringLiteral("tovanel: Zum Exportieren fehlt die vCard-Datei") << QString();
    QTest::newRow("--export of two files and a folder: one list")
        << args({"--export", "a.csv", "/tmp/a.vcf", "/tmp/b.vcf", "Kontakte/"}) << Action::Export
        << paths({a, QStringLiteral("/tmp/b.vcf"), cwd + QStringLiteral("Kontakte")}) << QString()
        << QString();
    QTest::newRow("--format names the format, whatever OUT is called")
        << args({"--format", "vcard4", "--export", "a.csv", "/tmp/a.vcf"}) << Action::Export << paths({a})
        << QString() << QStringLiteral("vcard4");
    QTest::newRow("--format with an unknown name: the names there are")
        << args({"--export", "a.vcf", "--format", "vcard5", "/tmp/a.vcf"}) << Action::Fail << none
        << QStringLiteral("tovanel: Unbekanntes Format „vcard5“; möglich sind: ") +
               exportFormatNames().join(QStringLiteral(", "))
        << QString();
    QTest::newRow("--format without --export")
        << args({"--format", "pdf", "/tmp/a.vcf"}) << Action::Fail << none
        << QStringLiteral("tovanel: Die Option „--format“ gilt nur zusammen mit „--export“") << QString();
    QTest::newRow("--format without its value")
        << args({"--export", "a.vcf", "/tmp/a.vcf", "--format"}) << Action::Fail << none
        << QStringLiteral("tovanel: Der Option „--format“ fehlt ihr Wert") << QString();
    QTest::newRow("--names with an unknown order")
        << args({"--names", "nachname", "/tmp/a.vcf"}) << Action::Fail << none
        << QStringLiteral("tovanel: Unbekannte Namensfolge „nachname“; möglich sind: first-last, last-first")
        << QString();
    QTest::newRow("--names without its value")
        << args({"/tmp/a.vcf", "--names"}) << Action::Fail << none
        << QStringLiteral("tovanel: Der Option „--names“ fehlt ihr Wert") << QString();
    QTest::newRow("--export without its value")
        << args({"--export"}) << Action::Fail << none
        << QStringLiteral("tovanel: Der Option „--export“ fehlt ihr Wert") << QString();
    // A byte that is not UTF-8 is kept as U+DC00 plus the byte, which turns back into the same byte.
    const QString mueller = QStringLiteral("/tmp/M") + QChar(0xDCFC) + QStringLiteral("ller.vcf");
    QTest::newRow("name not UTF-8") << args({"/tmp/M\xfcller.vcf"}) << Action::Run << paths({mueller})
                                    << QString() << QString();
    QTest::newRow("file URL of a name not UTF-8")
        << args({"file:///tmp/M%FCller.vcf"}) << Action::Run << paths({mueller}) << QString() << QString();
}

void TestApp::commandLineNamesTheDocument() {
    QFETCH(QByteArrayList, arguments);
    QFETCH(App::CommandLine::Action, action);
    QFETCH(QStringList, documents);
    QFETCH(QString, message);
    QFETCH(QString, format);
    const App::CommandLine line = App::parseCommandLine(arguments);
    QCOMPARE(line.action, action);
    QCOMPARE(line.documents, documents);
    QCOMPARE(line.message, message);
    QCOMPARE(line.exportFormat ? exportFormatNames().at(int(*line.exportFormat)) : QString(), format);
}

void TestApp::namesOfTheCommandLineAreChosenOnce() {
    const App::CommandLine line = App::parseCommandLine(
        {"tovanel", "--names", "last-first", dataFile(QStringLiteral("kontakte.vcf")).toUtf8()});
    QCOMPARE(line.nameOrder, NameOrder::FamilyFirst);
    m_app->start(line.documents, line.nameOrder);
    QTRY_VERIFY(m_app->mainWindow() && m_app->mainWindow()->isVisible());
    const AppMenuBar* menus = m_app->mainWindow()->appMenuBar();
    QVERIFY(menus->familyFirstAction()->isChecked());
    QCOMPARE(m_app->mainWindow()->contactModel()->nameOrder(), NameOrder::FamilyFirst);
    // What the user chooses afterwards outlasts the next list.
    menus->givenFirstAction()->trigger();
    m_app->openDocument({dataFile(QStringLiteral("andere.vcf"))});
    QVERIFY(menus->givenFirstAction()->isChecked());
    QCOMPARE(m_app->mainWindow()->contactModel()->nameOrder(), NameOrder::GivenFirst);
}

void TestApp::commandLineIsAnsweredWithoutADisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // how stdout, or else stderr, begins
    // The cards in the file --export names (none when there is no file), or -1 where they are not counted.
    QTest::addColumn<int>("cards");

    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << QStringLiteral("Aufruf: tovanel")
                            << -1;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << 2
                                    << QStringLiteral("tovanel: Unbekannte Option „--bogus“\nAufruf: tovanel")
                                    << -1;
    QTest::newRow("unknown option after Qt's")
        << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("-x")} << 2
        << QStringLiteral("tovanel: Unbekannte Option „-x“\nAufruf: tovanel") << -1;
    const QString kontakte = QStringLiteral(TOVANEL_APP_DATA "/kontakte.vcf");
    QTest::newRow("--export") << QStringList{QStringLiteral("--export"),
                                             QDir::current().filePath(QStringLiteral("export.csv")), kontakte}
                              << 0 << QString() << -1;
    QTest::newRow("--export to an unknown format")
        << QStringList{QStringLiteral("--export"), QStringLiteral("a.txt"), kontakte} << 1
        << QStringLiteral("tovanel: „a.txt“ hat keine bekannte Endung") << -1;
    QTest::newRow("--export of a missing file")
        << QStringList{QStringLiteral("--export"), QStringLiteral("a.csv"),
                       QStringLiteral("/nonexistent.vcf")}
        << 1
        << QStringLiteral("tovanel: Die Datei „nonexistent.vcf“ konnte nicht gelesen werden.\n"
                          "tovanel: Die Datei existiert nicht.")
        << -1;
    QTest::newRow("--export of a file without contacts")
        << QStringList{QStringLiteral("--export"), QDir::current().filePath(QStringLiteral("leer.csv")),
                       QStringLiteral(TOVANEL_APP_DATA "/ohne-karten.vcf")}
        << 1 << QStringLiteral("tovanel: Es konnten keine Daten importiert werden\ntovanel: Bitte prüfen")
        << -1;
    // The card bytes as the files hold them, so that what is counted is what was read.
    QTest::newRow("--export of two files and a folder: one list")
        << QStringList{QStringLiteral("--export"),
                       QDir::current().filePath(QStringLiteral("alle.txt")),
                       QStringLiteral("--format"),
                       QStringLiteral("vcard-original"),
                       dataFile(QStringLiteral("andere.vcf")),
                       kontakte,
                       QStringLiteral(TOVANEL_APP_DATA "/../../../examples")}
        << 0 << QString() << 1 + 2 + 12;
    QTest::newRow("--export of a folder with files not read whole: nothing written")
        << QStringList{QStringLiteral("--export"), QDir::current().filePath(QStringLiteral("teil.vcf")),
                       kontakte, QStringLiteral(TOVANEL_APP_DATA)}
        << 1 << QStringLiteral("tovanel: Nicht eingelesen:\ntovanel: end-zuerst.vcf: ") << 0;
}

// The real program, with no display to connect to: Qt must not be started before the answer.
void TestApp::commandLineIsAnsweredWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(int, cards);

    QFile target(arguments.value(1));
    if (cards >= 0) {
        target.remove();
    }
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& variable :
         {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("QT_QPA_PLATFORM")}) {
        environment.remove(variable);
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TOVANEL_BINARY), arguments);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString printed =
        QString::fromUtf8(exitCode == 0 ? program.readAllStandardOutput() : program.readAllStandardError());
    QVERIFY2(printed.startsWith(output), qPrintable(printed));
    if (cards >= 0) {
        const QByteArray written = target.open(QIODevice::ReadOnly) ? target.readAll() : QByteArray();
        QCOMPARE(written.count("BEGIN:VCARD"), cards);
    }
}

void TestApp::launchHandsOverOnlyWhatAnotherProcessCanRead_data() {
    QTest::addColumn<QString>("argument"); // "fifo", "pipe fd", "file fd" are made by the test
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("handedOver"); // "file" = the real file behind the descriptor

    const QString kontakte = dataFile(QStringLiteral("kontakte.vcf"));
    QTest::newRow("regular file") << kontakte << true << kontakte;
    QTest::newRow("missing file: the running instance reports it") << missingFile() << true << missingFile();
    QTest::newRow("folder: the running instance reports it")
        << QStringLiteral(TOVANEL_APP_DATA) << true << QStringLiteral(TOVANEL_APP_DATA);
    QTest::newRow("redirected file: its real path")
        << QStringLiteral("file fd") << true << QStringLiteral("file");
    QTest::newRow("redirected file named not in UTF-8: its real path")
        << QStringLiteral("odd fd") << true << QStringLiteral("file");
    QTest::newRow("pipe") << QStringLiteral("pipe fd") << false << QString();
    QTest::newRow("named pipe") << QStringLiteral("fifo") << false << QString();
    QTest::newRow("device") << QStringLiteral("/dev/null") << false << QString();
    QTest::newRow("closed descriptor") << QStringLiteral("/dev/fd/999") << false << QString();
}

void TestApp::launchHandsOverOnlyWhatAnotherProcessCanRead() {
    QFETCH(QString, argument);
    QFETCH(bool, accepted);
    QFETCH(QString, handedOver);

    const TempFiles dir;
    QString kontakte = dataFile(QStringLiteral("kontakte.vcf"));
    int fds[2] = {-1, -1};
    if (argument == QLatin1String("odd fd")) {
        const QString folder = QFileInfo(dir.path(QString())).canonicalFilePath();
        const QByteArray odd = QFile::encodeName(folder) + "/M\xfcller.vcf";
        const int out = ::open(odd.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(out >= 0 && ::write(out, "BEGIN:VCARD\n", 12) == 12 && ::close(out) == 0);
        kontakte = folder + QStringLiteral("/M") + QChar(0xDCFC) + QStringLiteral("ller.vcf");
        argument = QStringLiteral("file fd");
    }
    if (argument == QLatin1String("fifo")) {
        argument = dir.path(QStringLiteral("kontakte.vcf"));
        QVERIFY(::mkfifo(QFile::encodeName(argument).constData(), 0600) == 0);
    } else if (argument == QLatin1String("pipe fd")) {
        QVERIFY(::pipe(fds) == 0);
        argument = QStringLiteral("/dev/fd/%1").arg(fds[0]);
    } else if (argument == QLatin1String("file fd")) {
        fds[0] = ::open(nativeFileName(kontakte).constData(), O_RDONLY);
        QVERIFY(fds[0] >= 0);
        argument = QStringLiteral("/proc/self/fd/%1").arg(fds[0]);
    }
    QString path = argument;
    QString message;
    const bool result = App::resolveLaunchDocument(path, &message);
    for (int fd : fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    QCOMPARE(result, accepted);
    if (accepted) {
        const QString canonical = QFileInfo(kontakte).canonicalFilePath();
        QCOMPARE(path, handedOver != QLatin1String("file") ? handedOver
                       : canonical.isEmpty()               ? kontakte
                                                           : canonical);
        QVERIFY(message.isEmpty());
    } else {
        QVERIFY2(message.startsWith(QStringLiteral("Die Datei „%1“ konnte nicht gelesen werden.")
                                        .arg(QFileInfo(argument).fileName())),
                 qPrintable(message));
    }
}

// --- Documents while the program runs ----------------------------------------------------------

void TestApp::secondDocumentIsImportedIntoTheSameWindow_data() {
    QTest::addColumn<bool>("fileOpenEvent"); // one event per file, all sent before the event loop runs
    QTest::addColumn<QStringList>("second"); // "drei" = a file of three contacts made by the test
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("messages");

    const QString andere = dataFile(QStringLiteral("andere.vcf"));
    const QString drei = QStringLiteral("drei");
    QTest::newRow("second launch, readable file") << false << QStringList{andere} << 1 << 0;
    QTest::newRow("second launch, unreadable file: window and list stay")
        << false << QStringList{missingFile()} << 2 << 1;
    QTest::newRow("second launch, two files: one list in place of the first")
        << false << QStringList{andere, drei} << 4 << 0;
    QTest::newRow("file-open event, readable file") << true << QStringList{andere} << 1 << 0;
    QTest::newRow("file-open events arriving together: one list")
        << true << QStringList{andere, drei} << 4 << 0;
}

void TestApp::secondDocumentIsImportedIntoTheSameWindow() {
    QFETCH(bool, fileOpenEvent);
    QFETCH(QStringList, second);
    QFETCH(int, rows);
    QFETCH(int, messages);

    const TempFiles dir;
    const QByteArray card = "BEGIN:VCARD\r\nFN:x\r\nEND:VCARD\r\n";
    const QString drei = dir.write(QStringLiteral("drei.vcf"), card + card + card);
    std::replace(second.begin(), second.end(), QStringLiteral("drei"), drei);
    const QString kontakte = dataFile(QStringLiteral("kontakte.vcf"));
    m_app->openDocument({kontakte});
    MainWindow* window = m_app->mainWindow();
    QVERIFY(window && window->isVisible());

    if (fileOpenEvent) {
        for (const QString& file : std::as_const(second)) {
            QFileOpenEvent event(file);
            QCoreApplication::sendEvent(QCoreApplication::instance(), &event);
        }
    } else {
        m_app->requestDocument(second);
    }
    // Not inside the call: a socket's signal or an event filter must be off the stack first.
    QCOMPARE(window->filePath(), kontakte);
    // A file that cannot be read is told about and replaces nothing.
    const bool replaces = messages == 0;
    if (replaces) {
        QTRY_VERIFY(window->filePath() != kontakte);
    } else {
        QTRY_COMPARE(m_dialogs->messages.size(), messages);
    }
    QTRY_COMPARE(window->contactModel()->rowCount(), rows);
    if (second.size() == 1) {
        QCOMPARE(window->filePath(), replaces ? second.constFirst() : kontakte);
    }
    QCOMPARE(m_dialogs->messages.size(), messages);
    QCOMPARE(m_app->mainWindow(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(m_quits, 0);
    QCOMPARE(visibleTopLevels().size(), 1);
}

void TestApp::launchWithoutFileOnlyBringsTheWindowForward() {
    m_app->requestDocument({});
    QVERIFY(!m_app->mainWindow());

    const QString kontakte = dataFile(QStringLiteral("kontakte.vcf"));
    m_app->openDocument({kontakte});
    m_app->requestDocument({});
    QCoreApplication::processEvents();
    QCOMPARE(m_app->mainWindow()->filePath(), kontakte);
    QVERIFY(m_dialogs->openFileTypes.isEmpty());
    QVERIFY(m_app->mainWindow()->isVisible());
}

void TestApp::requestWaitsForTheRunningImport() {
    const QString andere = dataFile(QStringLiteral("andere.vcf"));
    QString fileDuringMessage;
    m_dialogs->onMessage = [&](const QString&) {
        m_app->requestDocument({andere});
        fileDuringMessage = m_app->mainWindow()->filePath();
    };
    m_app->openDocument({dataFile(QStringLiteral("ohne-karten.vcf"))});

    QCOMPARE(fileDuringMessage, dataFile(QStringLiteral("ohne-karten.vcf")));
    QCOMPARE(m_app->mainWindow()->filePath(), andere);
    QCOMPARE(m_app->mainWindow()->contactModel()->rowCount(), 1);
}

void TestApp::requestWaitsWhileAModalDialogIsOpen() {
    m_app->openDocument({dataFile(QStringLiteral("kontakte.vcf"))});
    QDialog modal(m_app->mainWindow());
    modal.setModal(true);
    modal.show();
    QTRY_COMPARE(QApplication::activeModalWidget(), &modal);

    const QString andere = dataFile(QStringLiteral("andere.vcf"));
    m_app->requestDocument({andere});
    QCOMPARE(m_app->mainWindow()->filePath(), dataFile(QStringLiteral("kontakte.vcf")));

    modal.close();
    QTRY_COMPARE(m_app->mainWindow()->filePath(), andere);
}

void TestApp::waitingRequestsAreBounded_data() {
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<int>("imports");

    const QString a = missingFile();
    const QString b = dataFile(QStringLiteral("auch-nicht.vcf"));
    QTest::newRow("same path twice in a row counts once") << QStringList{a, a, b} << 2;
    QTest::newRow("same path again later counts again") << QStringList{a, b, a} << 3;
    QStringList flood;
    for (int i = 0; i < 100; ++i) {
        flood << dataFile(QStringLiteral("fehlt-%1.vcf").arg(i));
    }
    QTest::newRow("flood: only the first ones wait") << flood << int(App::MaxPending);
}

void TestApp::waitingRequestsAreBounded() {
    QFETCH(QStringList, requests);
    QFETCH(int, imports);

    m_app->openDocument({dataFile(QStringLiteral("kontakte.vcf"))});
    for (const QString& path : std::as_const(requests)) {
        m_app->requestDocument({path}); // all arrive before the event loop takes the first
    }
    // Each missing file is one message.
    QTRY_COMPARE(m_dialogs->messages.size(), imports);
    QTest::qWait(50);
    QCOMPARE(m_dialogs->messages.size(), imports);
}

void TestApp::fileHandedOverDuringStartDialogKeepsTheProgramRunning() {
    const QString andere = dataFile(QStringLiteral("andere.vcf"));
    m_dialogs->onOpenFile = [&] { m_app->requestDocument({andere}); };
    m_app->askForDocument(); // the user cancels the dialog

    QCOMPARE(m_quits, 0);
    QCOMPARE(m_app->mainWindow()->filePath(), andere);
    QVERIFY(m_app->mainWindow()->isVisible());
}

// --- Application commands ----------------------------------------------------------------------

void TestApp::beendenWithoutAWindowEndsTheProgram() {
    m_app->quit();
    QCOMPARE(m_quits, 1);
}

void TestApp::menuItemsOfBothWindowsReachTheHandlers() {
    m_app->openDocument({dataFile(QStringLiteral("kontakte.vcf"))});
    MainWindow* window = m_app->mainWindow();
    const QString about = App::aboutText();
    QVERIFY2(about.contains(QStringLiteral(TOVANEL_VERSION)), qPrintable(about));

    window->appMenuBar()->aboutAction()->trigger();
    window->detail()->appMenuBar()->aboutAction()->trigger();
    QCOMPARE(m_dialogs->messages, QStringList({about, about}));
    window->detail()->appMenuBar()->quitAction()->trigger();
    QVERIFY(!window->isVisible());
    QCOMPARE(m_quits, 1);
}

// --- Desktop integration -----------------------------------------------------------------------

void TestApp::qtDialogsSpeakGerman() {
    const std::unique_ptr<QTranslator> translator = App::installGermanQtTranslations();
    QVERIFY2(translator, "qtbase_de.qm is missing (package qt6-translations-l10n)");
    QDialogButtonBox buttons(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Open)->text().remove(QLatin1Char('&')),
             QStringLiteral("Öffnen"));
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')),
             QStringLiteral("Abbrechen"));
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
