#include "detailwindow/valuemenu.h"

#include "detailwindow/qrcodewindow.h"
#include "platform/accesskeys.h"
#include "platform/dialogs.h"
#include "platform/displaytext.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>

namespace tovanel {

namespace {

// The address in a message: as long as a web address may be, on one line, and as the screen shows text.
constexpr qsizetype MaxShownLinkChars = 200;

// Qt says only that nothing took the address: the desktop has no program for its scheme, or the one it
// names would not start.
void openLink(const QUrl& url, Dialogs& dialogs) {
    if (!QDesktopServices::openUrl(url)) {
        dialogs.message(QStringLiteral("„%1“ konnte nicht geöffnet werden: Kein Programm für solche "
                                       "Adressen eingerichtet.")
                            .arg(displayText(oneLine(cutText(url.toDisplayString(), MaxShownLinkChars)))));
    }
}

} // namespace

QMenu* valueMenu(QWidget* parent, const std::optional<ValueLink>& link, const QString& value,
                 Dialogs& dialogs) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("valueMenu"));
    if (link) {
        QAction* open = menu->addAction(link->caption);
        open->setObjectName(QStringLiteral("openValueLink"));
        QObject::connect(open, &QAction::triggered, menu,
                         [url = link->url, &dialogs] { openLink(url, dialogs); });
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
