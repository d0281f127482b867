#include "valuemenu.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>

QMenu* valueMenu(QWidget* parent, ValueKind kind, const QString& value) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("valueMenu"));
    if (const std::optional<ValueLink> link = valueLink(kind, value)) {
        QAction* open = menu->addAction(link->caption);
        open->setObjectName(QStringLiteral("openValueLink"));
        QObject::connect(open, &QAction::triggered, menu,
                         [url = link->url] { QDesktopServices::openUrl(url); });
    }
    QAction* copy = menu->addAction(QStringLiteral("Wert kopieren"));
    copy->setObjectName(QStringLiteral("copyValueItem"));
    QObject::connect(copy, &QAction::triggered, menu,
                     [value] { QGuiApplication::clipboard()->setText(value); });
    return menu;
}

void popUpMenu(QMenu* menu, const QPoint& globalPos) {
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}
