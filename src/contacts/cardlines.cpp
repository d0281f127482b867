#include "cardlines.h"

#include "linereader.h"
#include "logicallines.h"
#include "textbuffer.h"

#include <QBuffer>
#include <algorithm>
#include <string>
#include <string_view>

CardLines::CardLines(const QByteArray& bytes, bool unicodeSource) : m_values(unicodeSource) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    reader.assumeBytes();
    std::string joined;
    const auto keepAll = [](QByteArrayView, LogicalLines::Line& line) { line.keep = true; };
    LogicalLines::forEach(
        reader, joined, keepAll, [this](const LogicalLines::Line& logical, QByteArrayView text) {
            CardLine line;
            line.text = text.toByteArray();
            const QByteArrayView view(line.text);
            // A key folded before its ":" is found only in the joined line.
            bool unquoted = logical.unquotedKey;
            const qsizetype keyEnd =
                logical.keyEnd >= 0 ? logical.keyEnd : PropertyLexer::keyEnd(view, &unquoted);
            if (keyEnd < 0) {
                return true; // no ":", so no property
            }
            const PropertyLexer::PropertyLine parsed(view, keyEnd, unquoted);
            line.parameters = parsed.parameters;
            line.value = parsed.value;
            qsizetype nameEnd = 0;
            bool quote = false;
            line.name = PropertyLexer::propertyName(view, nameEnd, quote).toByteArray().toUpper();
            const qsizetype dot = view.first(nameEnd).lastIndexOf('.');
            line.group = dot > 0 ? view.first(dot).toByteArray().toLower() : QByteArray();
            m_lines.push_back(std::move(line));
            return true;
        });
    // The card is what follows its last "BEGIN" line, as the import counts cards.
    const auto begin =
        std::find_if(m_lines.rbegin(), m_lines.rend(), [](const CardLine& l) { return l.name == "BEGIN"; });
    if (begin != m_lines.rend()) {
        m_lines.erase(m_lines.begin(), begin.base());
    }
}

QString CardLines::text(const CardLine& line, QByteArrayView raw) {
    const std::string_view name(line.name.constData(), size_t(line.name.size()));
    return m_values.text(raw, line.parameters, ValueText::guessesQuotedPrintable(name));
}

QString CardLines::telephone(const CardLine& line) {
    Text number;
    m_values.append(number, PropertyLexer::firstComponent(line.value), line.parameters,
                    ValueText::guessesQuotedPrintable("TEL"));
    Text shown;
    telephoneText(number, shown);
    return shown.view().toString();
}
