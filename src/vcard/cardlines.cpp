#include "vcard/cardlines.h"

#include "platform/linereader.h"
#include "vcard/asciicase.h"
#include "vcard/logicallines.h"
#include "vcard/textbuffer.h"

#include <QBuffer>
#include <string>
#include <string_view>

namespace tovanel {

namespace {

// Reads the property lines of `bytes`, handing those whose name `wanted` accepts to `handle` until it
// returns false; the text of the others is never gathered.
template <typename Wanted, typename Handle>
void readLines(const QByteArray& bytes, Wanted&& wanted, Handle&& handle) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    reader.assumeBytes();
    std::string joined;
    const auto classify = [&wanted](QByteArrayView name, LogicalLines::Line& line) {
        line.keep = wanted(name);
    };
    LogicalLines::forEach(
        reader, joined, classify, [&handle](const LogicalLines::Line& logical, QByteArrayView text) {
            if (!logical.keep) {
                return true;
            }
            // A key folded before its ":" is found only in the joined line.
            bool unquoted = logical.unquotedKey;
            const qsizetype keyEnd =
                logical.keyEnd >= 0 ? logical.keyEnd : PropertyLexer::keyEnd(text, &unquoted);
            if (keyEnd < 0) {
                return true; // no ":", so no property
            }
            CardLine line;
            const PropertyLexer::PropertyLine parsed(text, keyEnd, unquoted);
            line.parameters = parsed.parameters;
            line.value = parsed.value;
            line.key = text.first(keyEnd);
            line.start = logical.start;
            qsizetype nameEnd = 0;
            bool quote = false;
            line.name = PropertyLexer::propertyName(text, nameEnd, quote).toByteArray().toUpper();
            const qsizetype dot = text.first(nameEnd).lastIndexOf('.');
            line.group = dot > 0 ? text.first(dot).toByteArray().toLower() : QByteArray();
            return handle(line);
        });
}

} // namespace

CardLines::CardLines(const QByteArray& bytes, bool unicodeSource) : m_bytes(bytes), m_values(unicodeSource) {
    // The card is what follows its last "BEGIN" line, as the import counts cards.
    readLines(
        m_bytes, [](QByteArrayView name) { return AsciiCase::is(name, "BEGIN"); },
        [this](const CardLine& line) {
            m_cardStart = line.start + 1;
            return true;
        });
}

void CardLines::forEach(const std::function<bool(const CardLine&)>& handle) const {
    readLines(
        m_bytes, [](QByteArrayView) { return true; },
        [this, &handle](const CardLine& line) { return line.start < m_cardStart || handle(line); });
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

QString CardLines::writtenTelephone(const CardLine& line) {
    Text number;
    m_values.append(number, line.value, line.parameters, ValueText::guessesQuotedPrintable("TEL"));
    dropTelScheme(number);
    return number.view().trimmed().toString();
}

QList<QByteArray> CardLines::types(const CardLine& line) {
    QList<QByteArray> types;
    const QList<QByteArrayView> parameters = PropertyLexer::splitComponents(line.key, ';');
    for (qsizetype i = 1; i < parameters.size(); ++i) {
        for (const QByteArrayView type : PropertyLexer::Parameters::typesOf(parameters[i])) {
            types.append(type.toByteArray());
        }
    }
    return types;
}

} // namespace tovanel
