#pragma once

#include "vcard/propertyline.h"
#include "vcard/valuetext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>

namespace tovanel {

// One property line of a card, assembled by the same line layer as the import. `value` and the views in
// `parameters` point into the reading's buffers: a line holds only while it is handed out, so that a card
// of millions of lines costs no more than one of them.
struct CardLine {
    QByteArray group;   // "item1" of "item1.TEL", lower case
    QByteArray name;    // upper case, without the group
    QByteArrayView key; // the name and parameters before the value's ":"
    QByteArrayView value;
    PropertyLexer::Parameters parameters;
    qint64 start = 0; // byte offset in the card, which tells lines apart across readings

    CardLine() = default;
    Q_DISABLE_COPY_MOVE(CardLine)
};

// The property lines of one card's bytes, as the import reads them: the lines after the card's last
// "BEGIN" line, since the import starts a contact at each. `unicodeSource`: the bytes are a UTF-16 file's
// lines, converted to UTF-8.
class CardLines final {
public:
    CardLines(const QByteArray& bytes, bool unicodeSource);

    // Hands the card's lines to `handle` in file order, read anew each time, until it returns false.
    void forEach(const std::function<bool(const CardLine&)>& handle) const;
    // A value or component of a line as text, decoded by the rules of the import.
    QString text(const CardLine& line, QByteArrayView raw);
    // The first component of a telephone line, as the list shows numbers.
    QString telephone(const CardLine& line);
    // A telephone line's whole value as the card writes it, only without a "tel:" scheme: a "+49" number
    // keeps its international form and a ";ext=" its extension, for a phone that dials from abroad.
    QString writtenTelephone(const CardLine& line);

    // The line's types as written, from TYPE parameters and vCard 2.1's bare ones: the shared parameters
    // keep only those the fixed cells need, while labels and messenger services tell more kinds apart.
    static QList<QByteArray> types(const CardLine& line);

private:
    QByteArray m_bytes;
    qint64 m_cardStart = 0; // where the line after the last "BEGIN" line starts
    ValueText m_values;
};

} // namespace tovanel
