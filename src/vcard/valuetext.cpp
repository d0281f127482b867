#include "vcard/valuetext.h"

#include "contacts/telephone.h"
#include "vcard/decoders.h"
#include "vcard/fastdecoders.h"

namespace tovanel {

namespace {

void appendString(Text& out, QStringView text) {
    out.append(text.utf16(), size_t(text.size()));
}

bool startsWithTelScheme(const Text& number) {
    constexpr char16_t Scheme[] = u"tel:";
    if (number.size() < 4) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        const char16_t c = number.data()[i];
        if ((c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c) != Scheme[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

void ValueText::append(Text& out, QByteArrayView raw, const PropertyLexer::Parameters& parameters,
                       bool guessQuotedPrintable) {
    QByteArrayView bytes = raw;
    bool direct = true;
    // Only a declaration or a charset named "UTF-8" (five letters) can make a value quoted-printable: most
    // values are let through without a call.
    const bool maybeQuotedPrintable =
        parameters.quotedPrintable || (guessQuotedPrintable && parameters.charset.size() == 5);
    if (maybeQuotedPrintable &&
        PropertyLexer::isQuotedPrintable(parameters, parameters.charset, raw, guessQuotedPrintable)) {
        // The buffer only grows: a shorter value after a longer one is neither cut nor its room cleared.
        if (m_bytes.size() < size_t(raw.size())) {
            m_bytes.resize(size_t(raw.size()));
        }
        bytes = QByteArrayView(m_bytes.data(), decodeQuotedPrintable(raw, m_bytes.data()));
        direct = false;
    } else if (parameters.base64) {
        m_decoded = decodeBase64(raw);
        if (!m_decoded.isNull()) {
            bytes = m_decoded;
            direct = false;
        }
    }
    const size_t start = out.size();
    bool backslash = true;
    if (direct && m_unicodeSource) {
        appendString(out, QString::fromUtf8(bytes));
    } else {
        // ASCII decodes alike under any charset name, and German UTF-8 needs no QString on the way.
        out.resize(start + size_t(bytes.size()));
        char16_t* const text = out.data() + start;
        const size_t ascii = widenAscii(text, bytes.data(), size_t(bytes.size()), backslash);
        if (ascii < size_t(bytes.size())) {
            const CharsetFamily family = charsetFamily(parameters.charset);
            qsizetype utf8 = -1;
            if (family == CharsetFamily::Utf8 &&
                (utf8 = continueTwoByteUtf8(text + ascii, bytes, qsizetype(ascii), backslash)) >= 0) {
                out.resize(start + ascii + size_t(utf8));
            } else if (family == CharsetFamily::Windows1252) {
                continueWindows1252(text + ascii, bytes, qsizetype(ascii), backslash);
            } else {
                out.resize(start);
                appendString(out, decodeCharset(bytes, parameters.charset));
                backslash = true;
            }
        }
    }
    if (backslash) {
        out.resize(start + size_t(unescapeText(out.data() + start, qsizetype(out.size() - start))));
    }
    if (!m_decoded.isNull()) {
        m_decoded = QByteArray(); // a large value is not held on to
    }
}

QString ValueText::text(QByteArrayView raw, const PropertyLexer::Parameters& parameters,
                        bool guessQuotedPrintable) {
    m_scratch.clear();
    append(m_scratch, raw, parameters, guessQuotedPrintable);
    return m_scratch.view().toString();
}

QString ValueText::generalText(QByteArrayView raw, const PropertyLexer::Parameters& parameters,
                               bool guessQuotedPrintable) const {
    QByteArray bytes = raw.toByteArray();
    bool direct = true;
    if (PropertyLexer::isQuotedPrintable(parameters, parameters.charset, raw, guessQuotedPrintable)) {
        bytes = decodeQuotedPrintable(raw);
        direct = false;
    } else if (parameters.base64) {
        if (const QByteArray decoded = decodeBase64(raw); !decoded.isNull()) {
            bytes = decoded;
            direct = false;
        }
    }
    return unescapeText(direct && m_unicodeSource ? QString::fromUtf8(bytes)
                                                  : decodeCharset(bytes, parameters.charset));
}

void dropTelScheme(Text& number) {
    if (startsWithTelScheme(number)) {
        number.eraseFront(4);
    }
}

void telephoneText(Text& number, Text& out) {
    dropTelScheme(number);
    if (const std::optional<QStringView> rest = nationalNumberRest(number.view())) {
        out.push_back(u'0');
        appendString(out, *rest);
    } else {
        out.swap(number);
    }
}

} // namespace tovanel
