#pragma once

#include "card/valuelinks.h"
#include "contacts/contactref.h"

#include <QPoint>
#include <QString>
#include <optional>

class QMenu;
class QWidget;

namespace tovanel {

class Dialogs;

// The context menu of a shown value: `link`, if it offers one (valueLink, rowLink), then "Wert kopieren".
// The link goes to the desktop's handler only when the user picks it; where no program takes it, a
// message through `dialogs` says so. The caller owns the menu and may add to it.
QMenu* valueMenu(QWidget* parent, const std::optional<ValueLink>& link, const QString& value,
                 Dialogs& dialogs);

// Adds "QR-Code …", which shows `contact` as a QR code over `parent`.
void addQrCodeItem(QMenu& menu, const ContactRef& contact, QWidget* parent);

// Shows `menu` at `globalPos` and deletes it when it closes, so that the caller does not wait for it.
void popUpMenu(QMenu* menu, const QPoint& globalPos);

} // namespace tovanel
