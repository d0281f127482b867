#include "app.h"
#include "singleinstance.h"
#include "widgetdialogs.h"
#include "window1.h"

#include <QApplication>
#include <QTranslator>
#include <cstdio>
#include <memory>

int main(int argc, char* argv[]) {
    // Qt's own dialogs, so their texts follow the German translation.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovanel"));
    // No display name: Qt would append it to every window title, and the main window's title is the
    // file's name alone.
    QApplication::setApplicationVersion(QStringLiteral(TOVANEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tovanel"));

    QString file = App::documentArgument(QApplication::arguments());
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
                     [&dialogs](Window1* window) { dialogs.setParent(window); });
    QObject::connect(&instance, &SingleInstance::documentRequested, &app, &App::requestDocument);
    app.start(file);
    return QApplication::exec();
}
