#include "filetypes.h"
#include "widgetdialogs.h"
#include "window1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovanel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tovanel"));
    FileTypes::registerType({QStringLiteral("vcf Files"), {QStringLiteral(".vcf")}, {}, QStringLiteral("????")});

    WidgetDialogs dialogs;
    Window1 window(dialogs);
    dialogs.setParent(&window);
    window.show();
    const QStringList args = QApplication::arguments();
    window.OpenVcf(args.size() > 1 ? args.at(1) : dialogs.openFile(FileTypes::OpenFilter));
    return QApplication::exec();
}
