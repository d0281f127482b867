#include "mainwindow/contactlistmenu.h"

#include "card/cardbytes.h"
#include "contactlist/contactlistmodel.h"
#include "detailwindow/valuemenu.h"

#include <QMenu>
#include <QMimeData>

namespace tovanel {

QMenu* contactCellMenu(QWidget* parent, const ContactListModel& model, int row, int column,
                       const ContactRef& contact, Dialogs& dialogs) {
    if (row < 0 || row >= model.rowCount() || column < ContactColumn::Name || column > ContactColumn::Email) {
        return nullptr;
    }
    const QString value = model.cell(row, column);
    QMenu* menu = valueMenu(parent, valueLink(fieldValueKind(Field(column - ContactColumn::Name)), value),
                            value, dialogs);
    addQrCodeItem(*menu, contact, parent);
    return menu;
}

void addCardToDrag(QMimeData& data, const ContactRef& contact) {
    if (const QByteArray card = contactCardBytes(contact); !card.isEmpty()) {
        data.setData(QStringLiteral("text/vcard"), card);
    }
}

} // namespace tovanel
