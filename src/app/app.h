#pragma once

#include "contactlist/listcolumns.h"
#include "export/contactexport.h"
#include "mainwindow/mainwindow.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QTranslator;

namespace tovanel {

class Dialogs;

// The application logic: turns the desktop's document requests into imports of the one main window,
// decides after each whether the program goes on, and answers "Über Tovanel" and "Beenden".
// It watches the QApplication for file-open events rather than being one, so tests can drive it
// inside their own application object.
class App final : public QObject {
    Q_OBJECT
public:
    explicit App(Dialogs& dialogs, QObject* parent = nullptr);
    ~App() override;
    Q_DISABLE_COPY_MOVE(App)

    // Qt's own dialog texts in German, whatever the system language; the interface is German.
    // Returns the installed translator, or nullptr when Qt's translations are not there.
    static std::unique_ptr<QTranslator> installGermanQtTranslations();
    // What the command line asks for. Options come before the files; "--" ends them, so a file whose
    // name starts with "-" can still be named. Qt's own options (-platform, -style, -display …) are
    // let through for Qt; any other is a mistake.
    struct CommandLine {
        enum class Action { Run, Help, Version, Fail, Export };
        Action action = Action::Run;
        // The files and folders named, in their order, each made absolute; empty when there are none.
        // Their bytes that are not UTF-8 are kept (fileNameFromNative), so each names what was given.
        // Export: at least one; their contacts make the one list written.
        QStringList documents;
        // Export: where the list is written (a folder for ExportFormat::Folder).
        QString exportPath;
        // Export: the format --format names; without it, OUT's extension names it.
        std::optional<ExportFormat> exportFormat;
        // The name order --names asks for, of the window and of the export alike.
        std::optional<NameOrder> nameOrder;
        // Fail: one line saying what was wrong.
        QString message;
        // How many arguments, the program's name included, Qt may look at: those before "--".
        int qtArguments = 0;
    };
    // `arguments` as the system hands them to main(), the program's name first.
    static CommandLine parseCommandLine(const QByteArrayList& arguments);
    // The short usage text for --help and after a wrong option.
    static QString usageText();
    static QString versionText();
    // Makes a launch's `path` mean the same in the running instance, which is another process: a
    // descriptor name such as /dev/stdin or /dev/fd/N becomes the real file behind it. Returns false
    // with `message` set when only this launch could read the file (a pipe, a device); a missing file
    // or a folder passes, the importing instance reports those as for any request.
    static bool resolveLaunchDocument(QString& path, QString* message);
    // "Tovanel", the version, and what the program is.
    static QString aboutText();

    // Once the event loop runs: imports `paths` as one list, or asks for files when there are none.
    // `names` is chosen in "Ansicht › Namen" as soon as there is a list, once: a list handed over later
    // keeps what the user has chosen meanwhile.
    void start(const QStringList& paths, std::optional<NameOrder> names = std::nullopt);

    // Replaces the list with the contacts of `paths` (files and folders).
    void openDocument(const QStringList& paths);
    void askForDocument();
    void showAbout();
    void quit();

    // A document request from outside (another launch, the desktop): `paths` become one list in place
    // of the shown one. It is handled from the event loop, after the caller has returned, and waits while
    // a dialog or an import is running, so it never cuts into one; no paths only bring the window
    // forward. At most MaxPending wait; the same request twice in a row counts once. The desktop's
    // file-open events, which come one per file, make one request of those arriving together (at most
    // MaxOpenEvents).
    void requestDocument(const QStringList& paths);
    static constexpr qsizetype MaxPending = 64;
    static constexpr qsizetype MaxOpenEvents = 10000;

    // True once any import has read its file to the end; never reset.
    bool hasReadFileToEnd() const { return m_readFileToEnd; }
    // The main window, or nullptr before the first document request.
    MainWindow* mainWindow() const { return m_window.data(); }

    // What ends the program; QCoreApplication::quit by default. Tests watch it instead.
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }

signals:
    // The main window was just created; real dialogs take it as their parent.
    void mainWindowCreated(MainWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The main window, created on its first reference.
    MainWindow& ensureMainWindow();
    void connectMenuActions();
    void showOrQuit();
    void processPending();
    void requestOpenedFiles();
    void chooseStartNames();

    Dialogs& m_dialogs;
    QPointer<MainWindow> m_window;
    std::function<void()> m_quit;
    QList<QStringList> m_pending;
    QStringList m_openEvents; // file-open events not yet made a request
    std::optional<NameOrder> m_startNames;
    bool m_readFileToEnd = false;
    bool m_busy = false;
    bool m_documentRequested = false;
    bool m_retryScheduled = false;
    bool m_processScheduled = false;
};

} // namespace tovanel
