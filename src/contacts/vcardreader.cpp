#include "vcardreader.h"

#include "decoders.h"
#include "linereader.h"

#include <QFile>
#include <QFileInfo>

#include <array>

namespace {

enum class Property { Other, Begin, End, FN, ORG, TEL, EMAIL, ADR, NOTE };

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimmed(QByteArrayView v) {
    while (!v.isEmpty() && isBlank(v.front())) {
        v = v.sliced(1);
    }
    while (!v.isEmpty() && isBlank(v.back())) {
        v.chop(1);
    }
    return v;
}

QByteArrayView unquoted(QByteArrayView v) {
    v = trimmed(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        v = v.sliced(1, v.size() - 2);
    }
    return v;
}

bool is(QByteArrayView a, const char* b) { return a.compare(QByteArrayView(b), Qt::CaseInsensitive) == 0; }

// Where the key of a property line ends: the first ":" that is not inside double quotes, or -1.
qsizetype keyEnd(QByteArrayView line) {
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

// The property name of a line without its group prefix ("item1.TEL" -> "TEL").
QByteArrayView propertyName(QByteArrayView line) {
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':') {
        ++end;
    }
    QByteArrayView name = line.first(end);
    const qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 ? name.sliced(dot + 1) : name;
}

Property propertyOf(QByteArrayView name) {
    switch (name.size()) {
    case 2:
        return is(name, "FN") ? Property::FN : Property::Other;
    case 3:
        if (is(name, "TEL")) {
            return Property::TEL;
        }
        if (is(name, "ORG")) {
            return Property::ORG;
        }
        if (is(name, "ADR")) {
            return Property::ADR;
        }
        return is(name, "END") ? Property::End : Property::Other;
    case 4:
        return is(name, "NOTE") ? Property::NOTE : Property::Other;
    case 5:
        if (is(name, "BEGIN")) {
            return Property::Begin;
        }
        return is(name, "EMAIL") ? Property::EMAIL : Property::Other;
    default:
        return Property::Other;
    }
}

bool declaresQuotedPrintable(QByteArrayView line) {
    const qsizetype end = keyEnd(line);
    const QByteArrayView key = end >= 0 ? line.first(end) : line;
    constexpr QByteArrayView Needle("QUOTED-PRINTABLE");
    for (qsizetype i = 0; i + Needle.size() <= key.size(); ++i) {
        if (key.sliced(i, Needle.size()).compare(Needle, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// What the parameters of one property line say.
struct Parameters {
    bool quotedPrintable = false;
    bool base64 = false;
    bool encodingGiven = false; // any ENCODING, also 8BIT: the value is not quoted-printable by guess
    bool pref = false;
    bool cell = false;
    bool home = false;
    bool work = false;
    bool faxOrPager = false;
    QByteArrayView charset;

    void addType(QByteArrayView type) {
        type = unquoted(type);
        if (is(type, "pref")) {
            pref = true;
        } else if (is(type, "cell")) {
            cell = true;
        } else if (is(type, "home")) {
            home = true;
        } else if (is(type, "work")) {
            work = true;
        } else if (is(type, "fax") || is(type, "pager")) {
            faxOrPager = true;
        }
    }

    void addEncoding(QByteArrayView encoding) {
        encoding = unquoted(encoding);
        encodingGiven = true;
        if (is(encoding, "QUOTED-PRINTABLE")) {
            quotedPrintable = true;
        } else if (is(encoding, "B") || is(encoding, "BASE64")) {
            base64 = true;
        }
    }

    void add(QByteArrayView parameter) {
        parameter = trimmed(parameter);
        const qsizetype eq = parameter.indexOf('=');
        if (eq < 0) {
            if (is(parameter, "QUOTED-PRINTABLE") || is(parameter, "BASE64") || is(parameter, "8BIT") ||
                is(parameter, "7BIT")) {
                addEncoding(parameter);
            } else {
                addType(parameter);
            }
            return;
        }
        const QByteArrayView name = trimmed(parameter.first(eq));
        const QByteArrayView value = parameter.sliced(eq + 1);
        if (is(name, "TYPE")) {
            // TYPE=a,b and TYPE="a,b": a list, which may also be repeated in several TYPE parameters.
            QByteArrayView list = unquoted(value);
            while (!list.isEmpty()) {
                const qsizetype comma = list.indexOf(',');
                addType(comma < 0 ? list : list.first(comma));
                list = comma < 0 ? QByteArrayView() : list.sliced(comma + 1);
            }
        } else if (is(name, "ENCODING")) {
            addEncoding(value);
        } else if (is(name, "CHARSET")) {
            charset = unquoted(value);
        } else if (is(name, "PREF")) {
            pref = true;
        }
    }
};

// A property line cut into its parts.
struct PropertyLine {
    Parameters parameters;
    QByteArrayView value;

    explicit PropertyLine(QByteArrayView line) {
        const qsizetype end = keyEnd(line);
        const QByteArrayView key = end >= 0 ? line.first(end) : line;
        value = end >= 0 ? line.sliced(end + 1) : QByteArrayView();
        // Parameters split at ";" outside quotes; the first part is the name.
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
};

// The first `wanted` ";"-separated components of a value; a ";" after a backslash belongs to the text.
QList<QByteArrayView> components(QByteArrayView value, qsizetype wanted) {
    QList<QByteArrayView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == ';') {
            parts.append(value.sliced(start, i - start));
            start = i + 1;
            if (parts.size() == wanted) {
                return parts;
            }
        }
    }
    parts.append(value.sliced(start));
    return parts;
}

QByteArrayView component(const QList<QByteArrayView>& parts, qsizetype index) {
    return index < parts.size() ? parts[index] : QByteArrayView();
}

QString replaceLineEndings(QString text, const QString& replacement) {
    text.replace(QStringLiteral("\r\n"), replacement);
    text.replace(QLatin1Char('\r'), replacement);
    text.replace(QLatin1Char('\n'), replacement);
    return text;
}

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

class Reader {
public:
    Reader(QIODevice& device, const ReadProgress& progress) : m_lines(device), m_progress(progress) {
        m_total = device.isSequential() ? -1 : device.size();
        m_lines.setMaxLineLength(MaxLineLength);
        m_unicodeSource = false;
    }

    VcardReadResult run();

private:
    struct Pending {
        Property property = Property::Other;
        bool keep = false;            // the text is needed: a recognised property inside a card
        bool quotedPrintable = false; // a trailing "=" continues the value on the next line
        qint64 start = 0;
        qint64 end = 0;
    };

    bool handle(const Pending& line, QByteArrayView text);
    void apply(Property property, QByteArrayView line);
    QString decode(QByteArrayView raw, const Parameters& parameters, bool allowImplicitQuotedPrintable) const;
    void setField(Field field, const QString& text) { m_fields[size_t(field)] = text; }
    void openCard(qint64 begin);
    void closeCard();

    LineReader m_lines;
    const ReadProgress& m_progress;
    qint64 m_total = -1;
    bool m_unicodeSource = false;
    VcardReadResult m_result;

    QByteArray m_logical;
    bool m_inCard = false;
    bool m_cardOpen = false;
    std::array<QString, FieldCount> m_fields;
    std::uint8_t m_bold = 0;
    qint64 m_cardBegin = 0;
    qint64 m_cardEnd = -1;
};

void Reader::openCard(qint64 begin) {
    closeCard();
    m_cardOpen = true;
    m_cardBegin = begin;
    m_cardEnd = -1;
    m_bold = 0;
    for (QString& field : m_fields) {
        field.clear();
    }
}

void Reader::closeCard() {
    if (!m_cardOpen) {
        return;
    }
    std::array<QStringView, FieldCount> texts;
    for (size_t i = 0; i < texts.size(); ++i) {
        texts[i] = m_fields[i];
    }
    m_result.table->append(texts, m_bold, m_cardBegin, m_cardEnd);
    m_cardOpen = false;
}

// Returns false when the line stops the reading (an "END" outside a card).
bool Reader::handle(const Pending& line, QByteArrayView text) {
    switch (line.property) {
    case Property::Begin:
        openCard(line.start);
        m_inCard = true;
        return true;
    case Property::End:
        if (!m_inCard) {
            return false;
        }
        m_inCard = false;
        m_cardEnd = line.end;
        closeCard();
        return true;
    case Property::Other:
        return true;
    default:
        if (line.keep) {
            apply(line.property, text);
        }
        return true;
    }
}

QString Reader::decode(QByteArrayView raw, const Parameters& parameters,
                       bool allowImplicitQuotedPrintable) const {
    QByteArray transferDecoded;
    QByteArrayView bytes = raw;
    bool direct = true;
    if (parameters.quotedPrintable) {
        transferDecoded = decodeQuotedPrintable(raw);
    } else if (parameters.base64) {
        transferDecoded = decodeBase64(raw);
    } else if (allowImplicitQuotedPrintable && !parameters.encodingGiven && is(parameters.charset, "UTF-8") &&
               isAscii(raw) && containsQuotedPrintableEscape(raw)) {
        // Some exporters declare only CHARSET=UTF-8 and still write quoted-printable.
        transferDecoded = decodeQuotedPrintable(raw);
    }
    if (!transferDecoded.isNull()) {
        bytes = transferDecoded;
        direct = false;
    }
    // Lines of a UTF-16 file arrive as UTF-8 already; a charset can only describe encoded bytes there.
    const QString text = (direct && m_unicodeSource) ? QString::fromUtf8(bytes)
                                                      : decodeCharset(bytes, parameters.charset);
    return unescapeText(text);
}

void Reader::apply(Property property, QByteArrayView line) {
    const PropertyLine p(line);
    const Parameters& params = p.parameters;
    switch (property) {
    case Property::FN:
        setField(Field::Name, decode(p.value, params, true));
        break;
    case Property::NOTE:
        setField(Field::Notizen, decode(p.value, params, true));
        break;
    case Property::ORG:
        setField(Field::Firma, decode(components(p.value, 1).front(), params, false));
        break;
    case Property::EMAIL:
        setField(Field::Email, decode(components(p.value, 1).front(), params, false));
        break;
    case Property::TEL: {
        if (params.faxOrPager) {
            break;
        }
        Field field;
        if (params.cell) {
            field = Field::TelMobil;
        } else if (params.home) {
            field = Field::TelPrivat;
        } else if (params.work) {
            field = Field::TelArbeit;
        } else {
            break;
        }
        QString number = decode(components(p.value, 1).front(), params, false);
        if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
            number.remove(0, 4);
        }
        setField(field, ex49(number));
        if (params.pref) {
            m_bold |= ContactTable::boldBit(field);
        }
        break;
    }
    case Property::ADR: {
        const bool work = params.work;
        const QList<QByteArrayView> parts = components(p.value, 7);
        const QString separator = QStringLiteral(", ");
        const auto part = [&](qsizetype index) {
            return replaceLineEndings(decode(component(parts, index), params, true), separator);
        };
        setField(work ? Field::AdrArbeit : Field::Adresse, part(2));
        setField(work ? Field::OrtArbeit : Field::Ort, part(3));
        setField(work ? Field::PlzArbeit : Field::Plz, part(5));
        break;
    }
    default:
        break;
    }
}

VcardReadResult Reader::run() {
    constexpr qint64 ProgressStep = 4 << 20;
    qint64 nextProgress = ProgressStep;
    Pending pending;
    bool active = false;
    bool softBreak = false;
    bool stopped = false;
    QByteArrayView line;
    bool first = true;
    while (m_lines.readLine(line)) {
        if (first) {
            m_unicodeSource = m_lines.encoding() != LineReader::Encoding::Bytes;
            first = false;
        }
        if (m_progress && m_lines.bytesRead() >= nextProgress) {
            m_progress(m_lines.bytesRead(), m_total);
            nextProgress = m_lines.bytesRead() + ProgressStep;
        }
        if (active) {
            if (softBreak) {
                // Quoted-printable soft line break: the value goes on, whitespace and all.
                if (pending.keep) {
                    m_logical.chop(1);
                    m_logical.append(line);
                }
                pending.end = m_lines.position();
                softBreak = line.endsWith('=');
                continue;
            }
            if (!line.isEmpty() && isBlank(line.front())) {
                // Folded line: the break and one whitespace character go.
                if (pending.keep) {
                    m_logical.append(line.sliced(1));
                }
                pending.end = m_lines.position();
                softBreak = pending.quotedPrintable && line.endsWith('=');
                continue;
            }
            if (!handle(pending, m_logical)) {
                stopped = true;
                active = false;
                break;
            }
        }
        pending = Pending{};
        pending.property = propertyOf(propertyName(line));
        pending.keep = m_inCard && pending.property != Property::Other && pending.property != Property::Begin &&
                       pending.property != Property::End;
        pending.quotedPrintable = line.endsWith('=') || pending.keep ? declaresQuotedPrintable(line) : false;
        pending.start = m_lines.lineStart();
        pending.end = m_lines.position();
        softBreak = pending.quotedPrintable && line.endsWith('=');
        active = true;
        if (pending.keep) {
            // A value of one line is taken straight from the reader's buffer: a huge one is not copied.
            const int next = m_lines.peek();
            if (next < 0 || (!softBreak && next != ' ' && next != '\t')) {
                handle(pending, m_lines.currentLine());
                active = false;
                continue;
            }
            m_logical.resize(0);
            m_logical.append(m_lines.currentLine());
        }
    }
    if (active && !m_lines.failed() && !handle(pending, m_logical)) {
        stopped = true;
    }
    closeCard();
    if (m_lines.failed()) {
        m_result.status = VcardReadResult::Status::ReadError;
        m_result.error = m_lines.errorString();
    } else if (stopped) {
        m_result.status = VcardReadResult::Status::StrayEnd;
    }
    if (m_progress && !stopped) {
        m_progress(m_lines.bytesRead(), m_total);
    }
    return std::move(m_result);
}

} // namespace

VcardReadResult readVcard(QIODevice& device, const ReadProgress& progress) {
    Reader reader(device, progress);
    return reader.run();
}

QString readFailureReason(const QString& path, const QString& deviceError) {
    const QFileInfo info(path);
    if (info.isDir()) {
        return QStringLiteral("Das ist ein Ordner, keine Datei.");
    }
    if (!info.exists()) {
        return info.isSymLink() ? QStringLiteral("Die Verknüpfung zeigt auf keine vorhandene Datei.")
                                : QStringLiteral("Die Datei existiert nicht.");
    }
    if (!info.isReadable()) {
        return QStringLiteral("Keine Berechtigung, die Datei zu lesen.");
    }
    if (deviceError.isEmpty()) {
        return QStringLiteral("Die Datei konnte nicht gelesen werden.");
    }
    return QStringLiteral("Lesefehler: %1").arg(deviceError);
}

VcardReadResult readVcardFile(const QString& path, const ReadProgress& progress) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        VcardReadResult result;
        result.status = VcardReadResult::Status::ReadError;
        result.error = readFailureReason(path, file.errorString());
        return result;
    }
    VcardReadResult result = readVcard(file, progress);
    if (result.status == VcardReadResult::Status::ReadError) {
        result.error = readFailureReason(path, result.error);
    }
    return result;
}
