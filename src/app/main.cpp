#include "app/app.h"
#include "app/commandlineexport.h"
#include "app/singleinstance.h"
#include "mainwindow/mainwindow.h"
#include "platform/widgetdialogs.h"

#include <QApplication>
#include <QByteArrayList>
#include <QGuiApplication>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

using namespace tovanel;

namespace {

// The export of the command line: no window opens, so no display is needed; the PDF's fonts still come
// through Qt Gui.
int exportWithoutWindow(const App::CommandLine& line, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt's own notes (no runtime folder and the like) would mix with the one message a script reads.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int qtArgc = line.qtArguments;
    const QGuiApplication application(qtArgc, argv);
    const CommandLineExport done = exportVcardFiles(line.documents, line.exportPath, line.exportFormat,
                                                    line.nameOrder.value_or(NameOrder::GivenFirst));
    if (!done.message.isEmpty()) {
        std::fputs((done.message + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    }
    return done.written ? 0 : 1;
}

// The exit code of a command line that opens no window, or nothing for one that does.
std::optional<int> answerWithoutWindow(const App::CommandLine& line, char* argv[]) {
    switch (line.action) {
    case App::CommandLine::Action::Help:
        std::fputs(App::usageText().toLocal8Bit().constData(), stdout);
        return 0;
    case App::CommandLine::Action::Version:
        std::fputs(App::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case App::CommandLine::Action::Fail:
        std::fputs((line.message + QLatin1Char('\n') + App::usageText()).toLocal8Bit().constData(), stderr);
        return 2;
    case App::CommandLine::Action::Export:
        return exportWithoutWindow(line, argv);
    case App::CommandLine::Action::Run:
        break;
    }
    return std::nullopt;
}

// The documents this launch may hand on. Only this launch could read a pipe or a device, so no instance
// could import it: say so here, and go on with the others.
QStringList launchableDocuments(const QStringList& requested) {
    QStringList documents;
    QStringList refusals;
    for (QString document : requested) {
        QString refusal;
        if (App::resolveLaunchDocument(document, &refusal)) {
            documents << document;
        } else {
            refusals << refusal;
        }
    }
    if (!refusals.isEmpty()) {
        const std::unique_ptr<QTranslator> germanQt = App::installGermanQtTranslations();
        WidgetDialogs dialogs;
        dialogs.message(refusals.join(QStringLiteral("\n\n")));
    }
    return documents;
}

// The exit code when a running instance took the documents or could not, or nothing when this launch
// is to open the window.
std::optional<int> handOver(SingleInstance& instance, const QStringList& documents) {
    switch (instance.claim(documents)) {
    case SingleInstance::Claim::HandedOver:
        return 0;
    case SingleInstance::Claim::NoAnswer:
        // A running instance holds the socket but does not answer; a second window would not help.
        std::fputs("Tovanel läuft bereits, antwortet aber nicht.\n", stderr);
        return 1;
    case SingleInstance::Claim::TooMany: {
        const std::unique_ptr<QTranslator> germanQt = App::installGermanQtTranslations();
        WidgetDialogs dialogs;
        dialogs.message(
            QStringLiteral("Tovanel läuft bereits und kann so viele Dateien nicht auf einmal "
                           "übernehmen.\nStatt der einzelnen Dateien lässt sich ihr Ordner öffnen."));
        return 1;
    }
    case SingleInstance::Claim::Primary:
    case SingleInstance::Claim::Alone:
        break;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    // The command line is answered before Qt starts, so that a wrong option is reported also without a
    // display, and from the bytes as given: Qt's arguments() turns a name that is not UTF-8 into one
    // that names no file.
    QByteArrayList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QByteArray(argv[i]);
    }
    // A file size limit (ulimit -f) would otherwise kill the program in the middle of an export, leaving
    // the save file's temporary file; ignored, the write fails and the export says why.
    std::signal(SIGXFSZ, SIG_IGN);
    const App::CommandLine line = App::parseCommandLine(arguments);
    if (const std::optional<int> exitCode = answerWithoutWindow(line, argv)) {
        return *exitCode;
    }
    // Qt sees only what stands before "--": a file named like one of its options stays a file.
    int qtArgc = line.qtArguments;
    QApplication application(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovanel"));
    // No display name: Qt would append it to every window title, and the main window's title is the
    // file's name alone.
    QApplication::setApplicationVersion(QStringLiteral(TOVANEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tovanel"));

    const QStringList documents = launchableDocuments(line.documents);
    if (documents.isEmpty() && !line.documents.isEmpty()) {
        return 1;
    }
    SingleInstance instance(SingleInstance::defaultServerName());
    if (const std::optional<int> exitCode = handOver(instance, documents)) {
        return *exitCode;
    }

    const std::unique_ptr<QTranslator> germanQt = App::installGermanQtTranslations();
    WidgetDialogs dialogs;
    App app(dialogs);
    QObject::connect(&app, &App::mainWindowCreated, &app,
                     [&dialogs](MainWindow* window) { dialogs.setParent(window); });
    QObject::connect(&instance, &SingleInstance::documentRequested, &app, &App::requestDocument);
    app.start(documents, line.nameOrder);
    return QApplication::exec();
}
