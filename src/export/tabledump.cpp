#include "export/tabledump.h"

#include "contactlist/contactlistmodel.h"

#include <QStringList>

namespace tovanel {

namespace TableDump {

QString escaped(const QString& cell) {
    QString out;
    out.reserve(cell.size());
    for (QChar c : cell) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString row(const ContactListModel& contactModel, const ContactListModel& addressModel, int row) {
    QStringList fields;
    QStringList bold;
    for (int c = 0; c < ContactListModel::ColumnCount; ++c) {
        fields << escaped(contactModel.cell(row, c));
        if (contactModel.isBold(row, c)) {
            bold << QString::number(c);
        }
    }
    for (int c = 0; c < ContactListModel::ColumnCount; ++c) {
        fields << escaped(addressModel.cell(row, c));
    }
    fields << bold.join(QLatin1Char(','));
    return fields.join(QLatin1Char('\t'));
}

QString message(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return QStringLiteral("message: ") + line;
}

} // namespace TableDump

} // namespace tovanel
