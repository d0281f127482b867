#pragma once

#include "card/valuelinks.h"
#include "contacts/contactref.h"

#include <QPoint>
#include <QString>

class QMenu;
class QWidget;

namespace tovanel {

// The context menu of a shown value: the link it offers, if any, then "Wert kopieren". The link goes to
// the desktop's handler only when the user picks it. The caller owns the menu and may add to it.
QMenu* valueMenu(QWidget* parent, ValueKind kind, const QString& value);

// Adds "QR-Code …", which shows `contact` as a QR code over `parent`.
void addQrCodeItem(QMenu& menu, const ContactRef& contact, QWidget* parent);

// Shows `menu` at `globalPos` and deletes it when it closes, so that the caller does not wait for it.
void popUpMenu(QMenu* menu, const QPoint& globalPos);

} // namespace tovanel
