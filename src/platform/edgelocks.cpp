#include "platform/edgelocks.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace tovanel {

EdgeLocks::EdgeLocks(QWidget* container, QSize designSize)
    : QObject(container), m_container(container), m_designSize(designSize) {
    container->installEventFilter(this);
}

void EdgeLocks::place(QWidget* control, QRect designRect, Qt::Edges locks) {
    m_placed.append({control, designRect, locks});
    control->setGeometry(rectFor(designRect, locks, m_designSize, m_container->size()));
}

QRect EdgeLocks::rectFor(QRect designRect, Qt::Edges locks, QSize designSize, QSize containerSize) {
    const int dx = containerSize.width() - designSize.width();
    const int dy = containerSize.height() - designSize.height();
    QRect rect = designRect;
    if (locks.testFlag(Qt::RightEdge)) {
        if (locks.testFlag(Qt::LeftEdge)) {
            rect.setWidth(std::max(0, designRect.width() + dx));
        } else {
            rect.moveLeft(designRect.left() + dx);
        }
    }
    if (locks.testFlag(Qt::BottomEdge)) {
        if (locks.testFlag(Qt::TopEdge)) {
            rect.setHeight(std::max(0, designRect.height() + dy));
        } else {
            rect.moveTop(designRect.top() + dy);
        }
    }
    return rect;
}

bool EdgeLocks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_container && event->type() == QEvent::Resize) {
        relayout();
    }
    return QObject::eventFilter(watched, event);
}

void EdgeLocks::relayout() {
    for (const Placed& placed : m_placed) {
        if (!placed.control) {
            continue;
        }
        placed.control->setGeometry(
            rectFor(placed.designRect, placed.locks, m_designSize, m_container->size()));
    }
}

} // namespace tovanel
