#include "app.h"
#include "mainwindow.h"
#include "singleinstance.h"
#include "widgetdialogs.h"

#include <QApplication>
#include <QStringList>
#include <QTranslator>
#include <cstdio>
#include <memory>

namespace {
QStringList rawArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

// Prints the answer to --help or --version; returns false when the command line asks for neither.
bool answerInformation(const App::CommandLine& line) {
    if (line.action == App::CommandLine::Action::Help) {
        std::fputs(App::usageText().toLocal8Bit().constData(), stdout);
        return true;
    }
    if (line.action == App::CommandLine::Action::Version) {
        std::fputs(App::versionText().toLocal8Bit().constData(), stdout);
        return true;
    }
    return false;
}
} // namespace

int main(int argc, char* argv[]) {
    // --help and --version answer before Qt starts, so they work without a display. Anything else
    // waits until Qt has taken its own options (-platform, -style …) out of the list.
    if (answerInformation(App::parseCommandLine(rawArguments(argc, argv)))) {
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovanel"));
    // No display name: Qt would append it to every window title, and the main window's title is the
    // file's name alone.
    QApplication::setApplicationVersion(QStringLiteral(TOVANEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tovanel"));

    const App::CommandLine line = App::parseCommandLine(QApplication::arguments());
    if (answerInformation(line)) {
        return 0;
    }
    if (line.action == App::CommandLine::Action::Fail) {
        std::fputs((line.message + QLatin1Char('\n') + App::usageText()).toLocal8Bit().constData(), stderr);
        return 2;
    }
    QString file = line.document;
    QString refusal;
    if (!App::resolveLaunchDocument(file, &refusal)) {
        // Only this launch could read the file, so no instance could import it: say so here.
        const std::unique_ptr<QTranslator> germanQt = App::installGermanQtTranslations();
        WidgetDialogs dialogs;
        dialogs.message(refusal);
        return 1;
    }
    SingleInstance instance(SingleInstance::defaultServerName());
    switch (instance.claim(file)) {
    case SingleInstance::Claim::HandedOver:
        return 0;
    case SingleInstance::Claim::NoAnswer:
        // A running instance holds the socket but does not answer; a second window would not help.
        std::fputs("Tovanel läuft bereits, antwortet aber nicht.\n", stderr);
        return 1;
    case SingleInstance::Claim::Primary:
    case SingleInstance::Claim::Alone:
        break;
    }

    const std::unique_ptr<QTranslator> germanQt = App::installGermanQtTranslations();
    WidgetDialogs dialogs;
    App app(dialogs);
    QObject::connect(&app, &App::mainWindowCreated, &app,
                     [&dialogs](MainWindow* window) { dialogs.setParent(window); });
    QObject::connect(&instance, &SingleInstance::documentRequested, &app, &App::requestDocument);
    app.start(file);
    return QApplication::exec();
}
