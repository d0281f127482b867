#include "platform/columnwidths.h"
#include "platform/edgelocks.h"
#include "platform/listbox.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>
#include <numeric>

using namespace tovanel;

class tst_ColumnWidths : public QObject {
    Q_OBJECT
private slots:
    void widthsFor_data();
    void widthsFor();
    void sharesAlwaysFillTheWidth();
    void listFollowsItsViewport();
    void contextMenuComesAtTheCurrentCellByKeyboard_data();
    void contextMenuComesAtTheCurrentCellByKeyboard();
    void edgeLocks_data();
    void edgeLocks();
};

using Widths = QList<int>;

void tst_ColumnWidths::widthsFor_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("total");
    QTest::addColumn<Widths>("widths");

    QTest::newRow("main list at 910") << QStringLiteral("0,1.8*,0.8*,1*,1*,1*,1.4*, 0") << 8 << 910
                                      << Widths{0, 234, 104, 130, 130, 130, 182, 0};
    QTest::newRow("main list at 908") << QStringLiteral("0,1.8*,0.8*,1*,1*,1*,1.4*, 0") << 8 << 908
                                      << Widths{0, 233, 104, 130, 130, 129, 182, 0};
    QTest::newRow("equal shares") << QStringLiteral("*,*,*") << 3 << 300 << Widths{100, 100, 100};
    QTest::newRow("rounding leaves no gap") << QStringLiteral("*,*,*") << 3 << 100 << Widths{33, 34, 33};
    QTest::newRow("fixed and share") << QStringLiteral("120, *") << 2 << 500 << Widths{120, 380};
    QTest::newRow("unnamed columns take one share")
        << QStringLiteral("2*") << 3 << 400 << Widths{200, 100, 100};
    QTest::newRow("narrower than the fixed columns") << QStringLiteral("120,*") << 2 << 100 << Widths{120, 0};
    QTest::newRow("no width at all") << QStringLiteral("0,1*") << 2 << 0 << Widths{0, 0};
}

void tst_ColumnWidths::widthsFor() {
    QFETCH(QString, list);
    QFETCH(int, columns);
    QFETCH(int, total);
    QTEST(ColumnWidths(list).widthsFor(columns, total), "widths");
}

void tst_ColumnWidths::sharesAlwaysFillTheWidth() {
    const ColumnWidths widths(QStringLiteral("0,1.8*,0.8*,1*,1*,1*,1.4*, 0"));
    for (int total = 0; total < 2000; total += 7) {
        const Widths w = widths.widthsFor(8, total);
        QCOMPARE(std::accumulate(w.cbegin(), w.cend(), 0), total);
    }
}

void tst_ColumnWidths::listFollowsItsViewport() {
    QStandardItemModel model(0, 3);
    ListBox list;
    list.setModel(&model);
    list.setColumnWidths(QStringLiteral("0,1*,1*"));
    list.resize(300, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const auto used = [&list] { return list.columnWidth(1) + list.columnWidth(2); };
    QVERIFY(list.isColumnHidden(0));
    QTRY_COMPARE(used(), list.viewport()->width());
    const int wide = list.viewport()->width();

    // Rows enough for the scroll bar: the list keeps its size, the viewport narrows.
    for (int row = 0; row < 50; ++row) {
        model.appendRow({new QStandardItem, new QStandardItem(QStringLiteral("x")), new QStandardItem});
    }
    QTRY_VERIFY(list.verticalScrollBar()->isVisible());
    QVERIFY(list.viewport()->width() < wide);
    QTRY_COMPARE(used(), list.viewport()->width());

    model.removeRows(0, model.rowCount());
    QTRY_VERIFY(!list.verticalScrollBar()->isVisible());
    QTRY_COMPARE(used(), wide);
}

void tst_ColumnWidths::contextMenuComesAtTheCurrentCellByKeyboard_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("row"); // selected before, -1 none
    QTest::newRow("Menu key") << "menu" << 30;
    QTest::newRow("Shift+F10") << "shift+f10" << 30;
    QTest::newRow("Shift+F10 without a selected row") << "shift+f10" << -1;
    QTest::newRow("mouse, far from the selected row") << "mouse" << 30;
}

void tst_ColumnWidths::contextMenuComesAtTheCurrentCellByKeyboard() {
    QFETCH(QString, how);
    QFETCH(int, row);
    QStandardItemModel model(60, 3);
    ListBox list;
    list.setModel(&model);
    list.resize(300, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.selectRow(row);
    list.setCurrentIndex(model.index(row, 2));
    QList<std::pair<QModelIndex, QPoint>> requests;
    connect(&list, &ListBox::menuRequested, &list, [&requests](const QModelIndex& cell, const QPoint& at) {
        requests.append({cell, at});
    });
    // The mouse rests over the first row, which is never the one meant by a key.
    const QPoint mouse = list.visualRect(model.index(0, 1)).center();
    if (how == u"mouse") {
        QContextMenuEvent event(QContextMenuEvent::Mouse, mouse, list.viewport()->mapToGlobal(mouse));
        QApplication::sendEvent(list.viewport(), &event);
    } else if (how == u"menu") {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, mouse, list.viewport()->mapToGlobal(mouse));
        QApplication::sendEvent(&list, &event);
    } else {
        QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier);
    }
    QCOMPARE(requests.size(), 1);
    const QModelIndex expected = how == u"mouse" ? model.index(0, 1) : model.index(row, 2);
    QCOMPARE(requests[0].first, expected);
    const QRect place = expected.isValid() ? list.visualRect(expected) : list.viewport()->rect();
    QVERIFY(place.contains(list.viewport()->mapFromGlobal(requests[0].second)) ||
            place.bottomLeft() == list.viewport()->mapFromGlobal(requests[0].second));
}

void tst_ColumnWidths::edgeLocks_data() {
    QTest::addColumn<int>("locks");
    QTest::addColumn<QRect>("rect"); // placed at (10, 20, 30, 40) for 100 x 100, container now 150 x 130

    QTest::newRow("left, top: stays") << int(Qt::LeftEdge | Qt::TopEdge) << QRect(10, 20, 30, 40);
    QTest::newRow("none: stays") << 0 << QRect(10, 20, 30, 40);
    QTest::newRow("right: moves") << int(Qt::RightEdge) << QRect(60, 20, 30, 40);
    QTest::newRow("left, right: widens") << int(Qt::LeftEdge | Qt::RightEdge) << QRect(10, 20, 80, 40);
    QTest::newRow("bottom: moves down") << int(Qt::LeftEdge | Qt::BottomEdge) << QRect(10, 50, 30, 40);
    QTest::newRow("all: grows") << int(Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge)
                                << QRect(10, 20, 80, 70);
}

void tst_ColumnWidths::edgeLocks() {
    QFETCH(int, locks);
    QWidget container;
    container.resize(100, 100);
    EdgeLocks placer(&container, QSize(100, 100));
    auto* control = new QWidget(&container);
    placer.place(control, QRect(10, 20, 30, 40), Qt::Edges(locks));
    QCOMPARE(control->geometry(), QRect(10, 20, 30, 40));
    container.show();
    QVERIFY(QTest::qWaitForWindowExposed(&container));

    container.resize(150, 130);
    QFETCH(QRect, rect);
    QTRY_COMPARE(control->geometry(), rect);
    container.resize(100, 100);
    QTRY_COMPARE(control->geometry(), QRect(10, 20, 30, 40));
}

QTEST_MAIN(tst_ColumnWidths)
#include "tst_columnwidths.moc"
