// The value decoders on arbitrary bytes. The first line of the input names the charset for
// decodeCharset, so charset names are fuzzed too; the rest is the value. The import's fast decoding must
// give exactly what the general decoders give, for every input.
#include "contacts/telephone.h"
#include "vcard/decoders.h"
#include "vcard/valuetext.h"

#include <cstdint>
#include <cstdlib>

using namespace tovanel;

namespace {
void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf('\n');
    const QByteArrayView charset = newline >= 0 && newline <= 64 ? input.first(newline) : QByteArrayView();
    const QByteArrayView value = newline >= 0 && newline <= 64 ? input.sliced(newline + 1) : input;

    const QByteArray qp = decodeQuotedPrintable(value);
    check(qp.size() <= value.size());
    (void)containsQuotedPrintableEscape(value);
    const QByteArray b64 = decodeBase64(value);
    check(b64.size() <= value.size());

    const QString utf = decodeQuotedPrintableUtf8(value);
    check(utf.size() <= value.size());
    const QString mac = decodeMacRoman(value);
    check(mac.size() == value.size());
    check(decodeWindows1252(value).size() == value.size());
    (void)decodeUtf8OrWindows1252(value);
    (void)decodeCharset(value, charset);
    (void)decodeCharset(qp, charset);

    for (const QByteArrayView key : {QByteArrayView("X"), QByteArrayView("X;ENCODING=QUOTED-PRINTABLE"),
                                     QByteArrayView("X;ENCODING=b")}) {
        PropertyLexer::Parameters parameters =
            PropertyLexer::PropertyLine(key.toByteArray() + ':').parameters;
        parameters.charset = charset;
        for (const bool unicodeSource : {false, true}) {
            ValueText values(unicodeSource);
            for (const bool guess : {false, true}) {
                check(values.text(value, parameters, guess) == values.generalText(value, parameters, guess));
            }
        }
    }

    const QString text = QString::fromUtf8(value);
    const QString number = nationalNumber(text);
    check(number.size() <= text.size());
    const QString unescaped = unescapeText(text);
    check(unescaped.size() <= text.size());
    (void)nationalNumber(unescaped);
    return 0;
}
