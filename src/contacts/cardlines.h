#pragma once

#include "propertyline.h"
#include "valuetext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

// One property line of a card, assembled by the same line layer as the import.
struct CardLine {
    QByteArray text;  // the whole logical line; the views below point into it
    QByteArray group; // "item1" of "item1.TEL", lower case
    QByteArray name;  // upper case, without the group
    QByteArrayView value;
    PropertyLexer::Parameters parameters;

    CardLine() = default;
    CardLine(CardLine&&) = default;
    CardLine& operator=(CardLine&&) = default;
    Q_DISABLE_COPY(CardLine)
};

// The property lines of one card's bytes, as the import reads them: the lines after the card's last
// "BEGIN" line, since the import starts a contact at each. `unicodeSource`: the bytes are a UTF-16 file's
// lines, converted to UTF-8.
class CardLines final {
public:
    CardLines(const QByteArray& bytes, bool unicodeSource);

    const std::vector<CardLine>& lines() const { return m_lines; }
    // A value or component of a line as text, decoded by the rules of the import.
    QString text(const CardLine& line, QByteArrayView raw);
    // The first component of a telephone line, as the list shows numbers.
    QString telephone(const CardLine& line);

private:
    std::vector<CardLine> m_lines;
    ValueText m_values;
};
