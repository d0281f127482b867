#pragma once

#include "vcard/propertyline.h"
#include "vcard/textbuffer.h"

#include <QByteArrayView>
#include <QString>
#include <string>
#include <string_view>

namespace tovanel {

// The text of a property value, decoded by the one set of rules that the import and the reading of the
// whole card share: transfer encoding (quoted-printable, declared or guessed, or base64), then the charset,
// then the backslash escapes.
class ValueText final {
public:
    // `unicodeSource`: the value comes from a UTF-16 file, whose lines arrive as UTF-8 already; a charset
    // can only describe encoded bytes there.
    explicit ValueText(bool unicodeSource = false) : m_unicodeSource(unicodeSource) {}
    void setUnicodeSource(bool unicodeSource) { m_unicodeSource = unicodeSource; }

    // Appends the text of a raw value or component. `guessQuotedPrintable`: whether an undeclared value that
    // looks quoted-printable is read as such (see guessesQuotedPrintable).
    void append(Text& out, QByteArrayView raw, const PropertyLexer::Parameters& parameters,
                bool guessQuotedPrintable);
    QString text(QByteArrayView raw, const PropertyLexer::Parameters& parameters, bool guessQuotedPrintable);

    // The same through the general decoders only, without the fast paths: what append must always give.
    QString generalText(QByteArrayView raw, const PropertyLexer::Parameters& parameters,
                        bool guessQuotedPrintable) const;

    // Whether a property's values are read as quoted-printable when they look so without saying so, as some
    // exporters write them. Not in numbers, e-mail addresses and company names, where "=" may stand for
    // itself.
    static constexpr bool guessesQuotedPrintable(std::string_view propertyName) {
        return propertyName != "TEL" && propertyName != "EMAIL" && propertyName != "ORG";
    }

private:
    bool m_unicodeSource;
    std::string m_bytes;
    QByteArray m_decoded; // a base64 value's bytes
    Text m_scratch;
};

// Takes the scheme off a decoded "tel:" address; any other number stays as it is.
void dropTelScheme(Text& number);

// A decoded telephone value as the program shows it, into the empty `out`: a "tel:" address loses its
// scheme, and a "+49" number takes its national form. `number` is used up.
void telephoneText(Text& number, Text& out);

} // namespace tovanel
