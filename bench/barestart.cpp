// tovanel-barestart: the least a Qt Widgets program does to show a window, as the yardstick for the
// viewer's start-up (bench/startup.sh).
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("tovanel-barestart"));
    window.resize(960, 480);
    window.show();
    return QApplication::exec();
}
