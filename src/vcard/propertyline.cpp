#include "vcard/propertyline.h"

#include "platform/bytesearch.h"
#include "vcard/asciicase.h"
#include "vcard/decoders.h"

#include <cstring>

namespace tovanel {

namespace PropertyLexer {

namespace {

using AsciiCase::is;

QByteArrayView trimmedSlow(QByteArrayView v) {
    while (!v.isEmpty() && isBlank(v.front())) {
        v = v.sliced(1);
    }
    while (!v.isEmpty() && isBlank(v.back())) {
        v.chop(1);
    }
    return v;
}

// Parameters and names seldom carry blanks: the check for none stays inline.
[[gnu::always_inline]] inline QByteArrayView trimmed(QByteArrayView v) {
    if (v.isEmpty() || (!isBlank(v.front()) && !isBlank(v.back()))) {
        return v;
    }
    return trimmedSlow(v);
}

[[gnu::always_inline]] inline QByteArrayView unquoted(QByteArrayView v) {
    v = trimmed(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        v = v.sliced(1, v.size() - 2);
    }
    return v;
}

// The first `c` in `v`, or -1; parameters are a few bytes long, too short for the library's search to pay.
qsizetype indexOf(QByteArrayView v, char c) {
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == c) {
            return i;
        }
    }
    return -1;
}

} // namespace

qsizetype keyEnd(QByteArrayView line, bool* unquoted) {
    if (line.isEmpty()) {
        return -1;
    }
    // Quotes in a key are rare; without one before it, the first ":" is the one.
    const char* const end = line.data() + line.size();
    const char* const hit = findEither(line.data(), end, ':', '"');
    if (hit == end) {
        return -1;
    }
    if (*hit == ':') {
        if (unquoted != nullptr) {
            *unquoted = true;
        }
        return hit - line.data();
    }
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ':' && !quoted) {
            return i;
        }
    }
    return -1;
}

bool declaresQuotedPrintable(QByteArrayView line, qsizetype end) {
    const QByteArrayView key = end >= 0 ? line.first(end) : line;
    // Found by its "-", the rarest of its bytes in keys.
    constexpr qsizetype NeedleSize = 16;
    constexpr qsizetype DashAt = 6;
    if (key.size() < NeedleSize) {
        return false;
    }
    const char* const data = key.data();
    const char* from = data + DashAt;
    const char* const last = data + key.size() - (NeedleSize - DashAt); // last possible "-"
    while (from <= last) {
        const auto* dash = static_cast<const char*>(std::memchr(from, '-', size_t(last - from + 1)));
        if (dash == nullptr) {
            return false;
        }
        // Most dashes of a key are others ("UTF-8", "X-..."): the letter after it rules them out first.
        if (AsciiCase::lower(dash[1]) == 'p' &&
            is(QByteArrayView(dash - DashAt, NeedleSize), "QUOTED-PRINTABLE")) {
            return true;
        }
        from = dash + 1;
    }
    return false;
}

void Parameters::addType(QByteArrayView type) {
    type = unquoted(type);
    switch (type.size()) {
    case 3:
        fax |= is(type, "fax");
        break;
    case 4:
        // Told apart by their first letter, compared in full only then.
        switch (AsciiCase::lower(type[0])) {
        case 'p':
            pref |= is(type, "pref");
            break;
        case 'c':
            cell |= is(type, "cell");
            break;
        case 'h':
            home |= is(type, "home");
            break;
        case 'w':
            work |= is(type, "work");
            break;
        default:
            break;
        }
        break;
    case 5:
        pager |= is(type, "pager");
        break;
    default:
        break;
    }
}

void Parameters::addEncoding(QByteArrayView encoding) {
    encoding = unquoted(encoding);
    encodingGiven = true;
    if (is(encoding, "QUOTED-PRINTABLE")) {
        quotedPrintable = true;
    } else if (is(encoding, "B") || is(encoding, "BASE64")) {
        base64 = true;
    }
}

namespace {

// TYPE=a,b and TYPE="a,b": a list, which may also be repeated in several TYPE parameters.
template <typename Take> void forEachListedType(QByteArrayView value, Take take) {
    QByteArrayView list = unquoted(value);
    while (!list.isEmpty()) {
        const qsizetype comma = indexOf(list, ',');
        take(comma < 0 ? list : list.first(comma));
        list = comma < 0 ? QByteArrayView() : list.sliced(comma + 1);
    }
}

bool isBareEncoding(QByteArrayView parameter) {
    return is(parameter, "QUOTED-PRINTABLE") || is(parameter, "BASE64") || is(parameter, "8BIT") ||
           is(parameter, "7BIT");
}

} // namespace

void Parameters::addTypes(QByteArrayView value) {
    forEachListedType(value, [this](QByteArrayView type) { addType(type); });
}

QList<QByteArrayView> Parameters::typesOf(QByteArrayView parameter) {
    QList<QByteArrayView> types;
    parameter = trimmed(parameter);
    const qsizetype eq = indexOf(parameter, '=');
    if (eq < 0) {
        if (!parameter.isEmpty() && !isBareEncoding(parameter)) {
            types.append(unquoted(parameter));
        }
    } else if (is(trimmed(parameter.first(eq)), "TYPE")) {
        forEachListedType(parameter.sliced(eq + 1), [&types](QByteArrayView type) {
            type = unquoted(trimmed(type));
            if (!type.isEmpty()) {
                types.append(type);
            }
        });
    }
    return types;
}

void Parameters::add(QByteArrayView parameter) {
    parameter = trimmed(parameter);
    // The usual names are recognised by their start, without looking for the "=" first.
    if (parameter.size() >= 5 && is(parameter.first(5), "TYPE=")) {
        addTypes(parameter.sliced(5));
        return;
    }
    if (parameter.size() >= 8 && is(parameter.first(8), "CHARSET=")) {
        charset = unquoted(parameter.sliced(8));
        return;
    }
    if (parameter.size() >= 9 && is(parameter.first(9), "ENCODING=")) {
        addEncoding(parameter.sliced(9));
        return;
    }
    const qsizetype eq = indexOf(parameter, '=');
    if (eq < 0) {
        if (isBareEncoding(parameter)) {
            addEncoding(parameter);
        } else {
            addType(parameter);
        }
        return;
    }
    const QByteArrayView name = trimmed(parameter.first(eq));
    const QByteArrayView value = parameter.sliced(eq + 1);
    if (is(name, "TYPE")) {
        addTypes(value);
    } else if (is(name, "ENCODING")) {
        addEncoding(value);
    } else if (is(name, "CHARSET")) {
        charset = unquoted(value);
    } else if (is(name, "PREF")) {
        pref = true;
    } else if (is(name, "VALUE")) {
        valueType = unquoted(value);
    } else if (is(name, "X-SERVICE-TYPE")) {
        serviceType = unquoted(value);
    }
}

PropertyLine::PropertyLine(QByteArrayView line, qsizetype knownEnd, bool unquoted) {
    const qsizetype end = knownEnd >= 0 ? knownEnd : keyEnd(line, &unquoted);
    const QByteArrayView key = end >= 0 ? line.first(end) : line;
    value = end >= 0 ? line.sliced(end + 1) : QByteArrayView();
    // Parameters split at ";" outside quotes; the first part is the name.
    if (unquoted) {
        const char* const data = key.data();
        const char* const keyEnd = data + key.size();
        const auto* semicolon = static_cast<const char*>(std::memchr(data, ';', size_t(key.size())));
        while (semicolon != nullptr) {
            const char* const start = semicolon + 1;
            semicolon = static_cast<const char*>(std::memchr(start, ';', size_t(keyEnd - start)));
            parameters.add(QByteArrayView(start, (semicolon != nullptr ? semicolon : keyEnd) - start));
        }
        return;
    }
    bool quoted = false;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= key.size(); ++i) {
        const char c = i < key.size() ? key[i] : ';';
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && (!quoted || i == key.size())) {
            if (start >= 0) {
                parameters.add(key.sliced(start, i - start));
            }
            start = i + 1;
        }
    }
}

bool isQuotedPrintable(const Parameters& parameters, QByteArrayView charset, QByteArrayView value,
                       bool guess) {
    return parameters.quotedPrintable ||
           (guess && !parameters.base64 && !parameters.encodingGiven && is(charset, "UTF-8") &&
            isAscii(value) && containsQuotedPrintableEscape(value));
}

QList<QByteArrayView> splitComponents(QByteArrayView value, char separator) {
    QList<QByteArrayView> parts;
    bool more = true;
    while (more) {
        parts << takeComponent(value, separator, more);
    }
    return parts;
}

} // namespace PropertyLexer

} // namespace tovanel
