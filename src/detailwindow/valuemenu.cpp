#include "detailwindow/valuemenu.h"

#include "detailwindow/qrcodewindow.h"
#include "platform/accesskeys.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>

namespace tovanel {

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

void addQrCodeItem(QMenu& menu, const ContactRef& contact, QWidget* parent) {
    menu.addSeparator();
    QAction* qr = menu.addAction(QStringLiteral("QR-Code …"));
    qr->setObjectName(QStringLiteral("showQrCode"));
    QObject::connect(qr, &QAction::triggered, parent,
                     [contact, parent] { QrCodeWindow::open(contact, parent); });
}

void popUpMenu(QMenu* menu, const QPoint& globalPos) {
    giveAccessKeys(*menu);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

} // namespace tovanel
