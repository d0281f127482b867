#include "app/app.h"

#include "export/contactexport.h"
#include "mainwindow/mainwindow.h"
#include "menubar/appmenubar.h"
#include "platform/dialogs.h"
#include "platform/documentpaths.h"
#include "platform/filetypes.h"
#include "platform/regularfile.h"
#include "vcard/importmessages.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QScopedValueRollback>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace tovanel {

namespace {
// While a modal dialog is open a waiting request is looked at again this often.
constexpr int RetryMs = 200;

enum class QtOption { None, Flag, WithValue };

// The options Qt takes out of the command line on Linux (QCoreApplication, QGuiApplication, QApplication
// and the X11 platform), each also written with two dashes. Known here because they must be told from
// wrong ones before Qt starts: without a display Qt would abort instead of saying what is wrong.
QtOption qtOption(QByteArrayView argument) {
    static constexpr std::array<const char*, 17> withValue = {"platform",        "platformpluginpath",
                                                              "platformtheme",   "plugin",
                                                              "qwindowgeometry", "qwindowtitle",
                                                              "qwindowicon",     "geometry",
                                                              "title",           "icon",
                                                              "display",         "name",
                                                              "visual",          "session",
                                                              "style",           "stylesheet",
                                                              "qmljsdebugger"};
    static constexpr std::array<const char*, 7> flags = {"reverse", "testability", "widgetcount", "qdevel",
                                                         "qdebug",  "nograb",      "dograb"};
    static constexpr std::array<const char*, 3> joinedValue = {"style=", "stylesheet=", "qmljsdebugger="};
    const QByteArrayView name = argument.sliced(argument.startsWith("--") ? 2 : 1);
    const auto is = [&](const char* option) { return name == QByteArrayView(option); };
    if (std::any_of(withValue.begin(), withValue.end(), is)) {
        return QtOption::WithValue;
    }
    if (std::any_of(flags.begin(), flags.end(), is) ||
        std::any_of(joinedValue.begin(), joinedValue.end(),
                    [&](const char* option) { return name.startsWith(QByteArrayView(option)); })) {
        return QtOption::Flag;
    }
    return QtOption::None;
}

// The current folder with its bytes kept; QDir::currentPath() loses those that are not UTF-8.
QString workingFolder() {
    std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    return folder ? fileNameFromNative(QByteArray(folder.get())) : QDir::currentPath();
}

// A file named on the command line, as a path or a file URL; its bytes that are not UTF-8 are kept.
QString documentName(const QByteArray& argument) {
    if (!argument.startsWith("file:")) {
        return fileNameFromNative(argument);
    }
    const QUrl url(QString::fromUtf8(argument));
    // A path's bytes that are not UTF-8 stay percent-encoded in the URL; toLocalFile() would lose them.
    return url.isLocalFile() && url.host().isEmpty()
               ? fileNameFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()))
               : url.toLocalFile();
}

QString absolutePath(const QString& name) {
    return QDir::cleanPath(QDir::isAbsolutePath(name) ? name : workingFolder() + QLatin1Char('/') + name);
}

// The name behind a descriptor of this process, from its link under /proc, with its bytes kept; empty
// when it has none (a pipe, a socket).
QString descriptorTarget(int descriptor) {
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(descriptor);
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(link.constData(), target.data(), size_t(target.size()));
    if (length <= 0 || length >= target.size() || target.at(0) != '/') {
        return {};
    }
    target.truncate(length);
    return fileNameFromNative(target);
}
} // namespace

App::App(Dialogs& dialogs, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_quit([] { QCoreApplication::quit(); }) {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->installEventFilter(this);
    }
}

App::~App() {
    delete m_window.data();
}

std::unique_ptr<QTranslator> App::installGermanQtTranslations() {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return nullptr;
    }
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

App::CommandLine App::parseCommandLine(const QByteArrayList& arguments) {
    CommandLine line;
    line.qtArguments = int(arguments.size());
    const auto fail = [&line](const QString& message) {
        CommandLine failed;
        failed.action = CommandLine::Action::Fail;
        failed.message = message;
        failed.qtArguments = line.qtArguments;
        return failed;
    };
    bool optionsEnded = false;
    QStringList documents;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments.at(i);
        // A lone "-" is a name, not an option.
        if (!optionsEnded && argument.size() > 1 && argument.startsWith('-')) {
            const QString shown = QString::fromLocal8Bit(argument);
            if (argument == "--") {
                optionsEnded = true;
                line.qtArguments = int(i);
            } else if (argument == "-h" || argument == "--help") {
                line.action = CommandLine::Action::Help;
                return line;
            } else if (argument == "-V" || argument == "--version") {
                line.action = CommandLine::Action::Version;
                return line;
            } else if (argument == "--export") {
                if (++i == arguments.size()) {
                    return fail(QStringLiteral("tovanel: Der Option „%1“ fehlt ihr Wert").arg(shown));
                }
                line.action = CommandLine::Action::Export;
                line.exportPath = absolutePath(fileNameFromNative(arguments.at(i)));
            } else if (argument == "--format") {
                if (++i == arguments.size()) {
                    return fail(QStringLiteral("tovanel: Der Option „%1“ fehlt ihr Wert").arg(shown));
                }
                const QString name = QString::fromLocal8Bit(arguments.at(i));
                line.exportFormat = exportFormatNamed(name);
                if (!line.exportFormat) {
                    return fail(QStringLiteral("tovanel: Unbekanntes Format „%1“; möglich sind: %2")
                                    .arg(name, exportFormatNames().join(QStringLiteral(", "))));
                }
            } else if (argument == "--names") {
                if (++i == arguments.size()) {
                    return fail(QStringLiteral("tovanel: Der Option „%1“ fehlt ihr Wert").arg(shown));
                }
                const QByteArray& order = arguments.at(i);
                if (order != "first-last" && order != "last-first") {
                    return fail(QStringLiteral("tovanel: Unbekannte Namensfolge „%1“; möglich sind: "
                                               "first-last, last-first")
                                    .arg(QString::fromLocal8Bit(order)));
                }
                line.nameOrder = order == "last-first" ? NameOrder::FamilyFirst : NameOrder::GivenFirst;
            } else if (const QtOption option = qtOption(argument); option == QtOption::WithValue) {
                if (++i == arguments.size()) {
                    return fail(QStringLiteral("tovanel: Der Option „%1“ fehlt ihr Wert").arg(shown));
                }
            } else if (option == QtOption::None) {
                return fail(QStringLiteral("tovanel: Unbekannte Option „%1“").arg(shown));
            }
            continue;
        }
        const QString name = documentName(argument);
        // A later launch may run in another folder than the one that imports the files.
        if (!name.isEmpty()) {
            documents << absolutePath(name);
        }
    }
    if (line.exportFormat && line.action != CommandLine::Action::Export) {
        return fail(QStringLiteral("tovanel: Die Option „--format“ gilt nur zusammen mit „--export“"));
    }
    if (line.action == CommandLine::Action::Export && documents.isEmpty()) {
        return fail(QStringLiteral("tovanel: Zum Exportieren fehlt die vCard-Datei"));
    }
    line.documents = documents;
    return line;
}

QString App::usageText() {
    static_assert(DocumentFolderDepth == 3, "the text says how deep folders are looked through");
    return QStringLiteral("Aufruf: tovanel [OPTION …] [--] [DATEI …]\n"
                          "Zeigt die Kontakte von vCard-Dateien (.vcf, .vcard) in einer Liste. Statt\n"
                          "einer DATEI kann ein Ordner stehen: dann zählen seine vCard-Dateien, auch\n"
                          "die in Unterordnern bis drei Ebenen tief.\n"
                          "\n"
                          "  -h, --help     diese Hilfe zeigen und beenden\n"
                          "  -V, --version  die Version zeigen und beenden\n"
                          "  --export AUS   die Kontakte der DATEIen als eine Liste nach AUS schreiben,\n"
                          "                 ohne Fenster; das Format nach der Endung von AUS: .xlsx,\n"
                          "                 .csv (für Excel), .vcf (vCard 3.0, neu geschrieben), .xml\n"
                          "                 (FRITZ!Box), .pdf (Telefonliste) oder .ics\n"
                          "                 (Geburtstagskalender)\n"
                          "  --format NAME  mit --export: das Format, statt nach der Endung; NAME ist\n"
                          "                 xlsx, csv-excel, csv-google, csv-outlook, vcard3, vcard4,\n"
                          "                 vcard21, vcard-original (jede Karte wie in ihrer Datei),\n"
                          "                 fritzbox, pdf, ics oder folder (AUS ist ein neuer oder leerer\n"
                          "                 Ordner, eine .vcf-Datei je Kontakt)\n"
                          "  --names FOLGE  die Namen als „Vorname Nachname“ (FOLGE first-last) oder\n"
                          "                 „Nachname, Vorname“ (last-first), im Fenster und im Export\n"
                          "  --             beendet die Optionen; danach ist alles ein Dateiname\n"
                          "\n"
                          "Ohne DATEI fragt Tovanel nach Dateien. Läuft Tovanel schon, zeigt das\n"
                          "laufende Programm die Kontakte der genannten Dateien.\n");
}

QString App::versionText() {
    return QStringLiteral("Tovanel " TOVANEL_VERSION "\n");
}

bool App::resolveLaunchDocument(QString& path, QString* message) {
    if (path.isEmpty()) {
        return true;
    }
    // Names under /dev and /proc stand for this process's own descriptors (or other per-process things);
    // handed over as they are, the running instance would read its own stdin.
    const bool descriptorName =
        path.startsWith(QLatin1String("/dev/")) || path.startsWith(QLatin1String("/proc/"));
    const auto refuse = [&](const QString& reason) {
        if (message) {
            *message = ImportMessages::cannotRead(path, reason);
        }
        return false;
    };
    QFile file;
    FileStamp stamp;
    QString reason;
    if (!openRegularFile(path, file, &stamp, &reason)) {
        return descriptorName || reason == notRegularFileReason(path) ? refuse(reason) : true;
    }
    if (!descriptorName) {
        return true;
    }
    // The descriptor's link names the file it was opened from, unless that is gone or has no name.
    const QString real = descriptorTarget(file.handle());
    const FileStamp realStamp = fileStampOf(real);
    if (real.isEmpty() || !realStamp.sameFileAs(stamp)) {
        return refuse(notRegularFileReason(path));
    }
    path = real;
    return true;
}

QString App::aboutText() {
    return QStringLiteral("Tovanel " TOVANEL_VERSION "\nBetrachter für vCard-Dateien (.vcf)");
}

void App::start(const QStringList& paths, std::optional<NameOrder> names) {
    m_startNames = names;
    // Queued, so quitting after a failed first import ends the event loop that is then running.
    QMetaObject::invokeMethod(
        this,
        [this, paths] {
            if (!paths.isEmpty()) {
                openDocument(paths);
            } else if (!m_documentRequested) {
                askForDocument();
            }
        },
        Qt::QueuedConnection);
}

void App::openDocument(const QStringList& paths) {
    {
        const QScopedValueRollback<bool> busy(m_busy, true);
        m_documentRequested = true;
        ensureMainWindow().openFiles(paths);
        chooseStartNames();
        showOrQuit();
    }
    processPending();
}

void App::askForDocument() {
    {
        const QScopedValueRollback<bool> busy(m_busy, true);
        m_documentRequested = true;
        MainWindow& window = ensureMainWindow();
        window.openFiles(m_dialogs.openFiles(FileTypes::OpenFilter));
        chooseStartNames();
        showOrQuit();
    }
    processPending();
}

void App::showAbout() {
    m_dialogs.message(aboutText());
}

void App::quit() {
    // Closing the main window ends the program through the window's own close handling.
    if (m_window) {
        m_window->close();
    } else {
        m_quit();
    }
}

void App::requestDocument(const QStringList& paths) {
    // A flood of requests must neither fill the memory nor bring up one message box after another.
    if (m_pending.size() >= MaxPending || (!m_pending.isEmpty() && m_pending.constLast() == paths)) {
        return;
    }
    m_pending.append(paths);
    // The caller may be a socket's signal or an event filter: an import and its dialogs start only
    // once that is off the stack.
    if (!m_processScheduled) {
        m_processScheduled = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_processScheduled = false;
                processPending();
            },
            Qt::QueuedConnection);
    }
}

bool App::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::FileOpen) {
        // A desktop sends one event per file of a selection: those already waiting in the event queue
        // come before the queued call and so join its one request.
        const QString file = static_cast<QFileOpenEvent*>(event)->file();
        if (m_openEvents.isEmpty()) {
            QMetaObject::invokeMethod(this, &App::requestOpenedFiles, Qt::QueuedConnection);
        }
        if (m_openEvents.size() < MaxOpenEvents) {
            m_openEvents.append(file);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

MainWindow& App::ensureMainWindow() {
    if (!m_window) {
        m_window = new MainWindow(m_dialogs);
        connect(m_window, &MainWindow::fileReadToEnd, this, [this] { m_readFileToEnd = true; });
        m_window->setQuitHandler([this] { m_quit(); });
        connectMenuActions();
        emit mainWindowCreated(m_window);
        m_window->show();
    }
    return *m_window;
}

void App::connectMenuActions() {
    const AppMenuBar* menus = m_window->appMenuBar();
    connect(menus->quitAction(), &QAction::triggered, this, &App::quit);
    connect(menus->aboutAction(), &QAction::triggered, this, &App::showAbout);
}

void App::chooseStartNames() {
    if (!m_startNames) {
        return;
    }
    // Through the menu, so that its check mark says what the list shows; the item is off until there is
    // a list.
    const AppMenuBar* menus = m_window->appMenuBar();
    QAction* item =
        *m_startNames == NameOrder::FamilyFirst ? menus->familyFirstAction() : menus->givenFirstAction();
    if (item->isEnabled()) {
        item->trigger();
        m_startNames.reset();
    }
}

void App::showOrQuit() {
    if (m_readFileToEnd) {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    // A file handed over meanwhile still gets its chance before the program gives up.
    if (std::any_of(m_pending.cbegin(), m_pending.cend(),
                    [](const QStringList& paths) { return !paths.isEmpty(); })) {
        return;
    }
    // The window's close handling ends the program.
    m_window->close();
}

void App::processPending() {
    while (!m_busy && !m_pending.isEmpty()) {
        // Never cut into a message box, an open dialog or the detail window: the request waits.
        if (QApplication::activeModalWidget()) {
            if (!m_retryScheduled) {
                m_retryScheduled = true;
                QTimer::singleShot(RetryMs, this, [this] {
                    m_retryScheduled = false;
                    processPending();
                });
            }
            return;
        }
        const QStringList paths = m_pending.takeFirst();
        if (!paths.isEmpty()) {
            openDocument(paths);
        } else if (m_window && m_window->isVisible()) {
            m_window->raise();
            m_window->activateWindow();
        }
    }
}

void App::requestOpenedFiles() {
    QStringList files = std::exchange(m_openEvents, {});
    // An event without a local file only brings the window forward, as a launch without one does.
    files.removeAll(QString());
    requestDocument(files);
}

} // namespace tovanel
