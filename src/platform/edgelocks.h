#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QVector>

class QWidget;

namespace tovanel {

// Absolute placement of controls in a container whose size changes: each control has a rectangle laid out
// for a design size of the container, and the edges it is locked to. A locked edge keeps its distance to
// the same edge of the container; locked left and right widens the control with the container, locked
// right (or bottom) alone moves it. Edges locked on neither side stay where they were placed.
class EdgeLocks final : public QObject {
    Q_OBJECT
public:
    EdgeLocks(QWidget* container, QSize designSize);

    void place(QWidget* control, QRect designRect, Qt::Edges locks);
    // The rectangle a control with these locks takes in a container of the given size.
    static QRect rectFor(QRect designRect, Qt::Edges locks, QSize designSize, QSize containerSize);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void relayout();

    struct Placed {
        QPointer<QWidget> control;
        QRect designRect;
        Qt::Edges locks;
    };
    QWidget* m_container;
    QSize m_designSize;
    QVector<Placed> m_placed;
};

} // namespace tovanel
