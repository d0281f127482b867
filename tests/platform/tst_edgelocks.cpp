#include "platform/edgelocks.h"

#include <QTest>
#include <QWidget>

using namespace tovanel;

Q_DECLARE_METATYPE(Qt::Edges)

class tst_EdgeLocks : public QObject {
    Q_OBJECT
private slots:
    void lockedEdgesFollowTheContainer_data();
    void lockedEdgesFollowTheContainer();
};

namespace {
const QSize DesignSize(400, 300);
const QRect DesignRect(50, 40, 120, 80);
} // namespace

void tst_EdgeLocks::lockedEdgesFollowTheContainer_data() {
    QTest::addColumn<Qt::Edges>("locks");
    QTest::addColumn<QSize>("change");
    const QList<std::pair<Qt::Edge, const char*>> edges = {
        {Qt::LeftEdge, "left"}, {Qt::RightEdge, "right"}, {Qt::TopEdge, "top"}, {Qt::BottomEdge, "bottom"}};
    // Every combination of locked edges, in a container grown and in one shrunk (not past the control).
    for (int combination = 0; combination < 16; ++combination) {
        Qt::Edges locks;
        QStringList names;
        for (int e = 0; e < edges.size(); ++e) {
            if (combination & (1 << e)) {
                locks |= edges[e].first;
                names << QString::fromLatin1(edges[e].second);
            }
        }
        const QString name = names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char('+'));
        QTest::addRow("%s, grown", qPrintable(name)) << locks << QSize(250, 130);
        QTest::addRow("%s, shrunk", qPrintable(name)) << locks << QSize(-90, -60);
    }
}

void tst_EdgeLocks::lockedEdgesFollowTheContainer() {
    QFETCH(Qt::Edges, locks);
    QFETCH(QSize, change);
    QWidget window;
    auto* container = new QWidget(&window);
    container->resize(DesignSize);
    auto* edgeLocks = new EdgeLocks(container, DesignSize);
    auto* control = new QWidget(container);
    edgeLocks->place(control, DesignRect, locks);
    QCOMPARE(control->geometry(), DesignRect);
    window.resize(DesignSize + QSize(300, 200));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    container->resize(DesignSize + change);
    const QRect now = control->geometry();
    const QSize size = container->size();
    // A locked edge keeps its distance to the container's same edge.
    if (locks & Qt::LeftEdge) {
        QCOMPARE(now.left(), DesignRect.left());
    }
    if (locks & Qt::TopEdge) {
        QCOMPARE(now.top(), DesignRect.top());
    }
    if (locks & Qt::RightEdge) {
        QCOMPARE(size.width() - now.right(), DesignSize.width() - DesignRect.right());
    }
    if (locks & Qt::BottomEdge) {
        QCOMPARE(size.height() - now.bottom(), DesignSize.height() - DesignRect.bottom());
    }
    // Only a control locked on both sides changes size; one locked on neither stays where it was placed.
    const bool horizontal = (locks & Qt::LeftEdge) && (locks & Qt::RightEdge);
    const bool vertical = (locks & Qt::TopEdge) && (locks & Qt::BottomEdge);
    if (!horizontal) {
        QCOMPARE(now.width(), DesignRect.width());
    }
    if (!vertical) {
        QCOMPARE(now.height(), DesignRect.height());
    }
    if (!(locks & (Qt::LeftEdge | Qt::RightEdge))) {
        QCOMPARE(now.left(), DesignRect.left());
    }
    if (!(locks & (Qt::TopEdge | Qt::BottomEdge))) {
        QCOMPARE(now.top(), DesignRect.top());
    }
}

QTEST_MAIN(tst_EdgeLocks)
#include "tst_edgelocks.moc"
