// What a file manager does when files are dragged out of it, for a virtual display that has none: a
// small window that, pressed, starts a drag of the files named on its command line as file URLs
// (text/uri-list). Driven by xdotool; prints how the drag ended ("dropped" or "refused"), and exits a
// while later.
// Usage: tovanel-dragsource FILE...
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {
class DragSource final : public QWidget {
public:
    explicit DragSource(const QList<QUrl>& urls) : m_urls(urls) {
        setWindowTitle(QStringLiteral("Ziehquelle"));
        resize(160, 160);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            return;
        }
        auto* data = new QMimeData;
        data->setUrls(m_urls);
        // On the heap, and left to Qt: the drop's target asks for the data only after exec() has
        // returned here, and a drag gone by then would have dropped nothing. So does a drag source
        // that has ended.
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
        std::puts(action == Qt::IgnoreAction ? "refused" : "dropped");
        std::fflush(stdout);
        QTimer::singleShot(10000, qApp, &QApplication::quit);
    }

private:
    QList<QUrl> m_urls;
};
} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QList<QUrl> urls;
    for (const QString& file : QApplication::arguments().mid(1)) {
        urls << QUrl::fromLocalFile(file);
    }
    DragSource window(urls);
    window.show();
    return QApplication::exec();
}
