// Reading vCard lines into the table: which properties a card's cells come from, and how their values
// are decoded into the cells.
#include "vcardreader.h"

#include "asciicase.h"
#include "cardrules.h"
#include "decoders.h"
#include "fastdecoders.h"
#include "importmessages.h"
#include "linereader.h"
#include "propertyline.h"
#include "textbuffer.h"
#include "vcardreader_p.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace {

using AsciiCase::is;
using PropertyLexer::Components;
using PropertyLexer::firstComponent;
using PropertyLexer::isBlank;
using PropertyLexer::Parameters;
using PropertyLexer::PropertyLine;

enum class Property { Other, Begin, End, FN, N, ORG, TEL, EMAIL, ADR, NOTE };

Property propertyOf(QByteArrayView name) {
    switch (name.size()) {
    case 1:
        return is(name, "N") ? Property::N : Property::Other;
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

QString replaceLineEndings(QString text, const QString& replacement) {
    text.replace(QStringLiteral("\r\n"), replacement);
    text.replace(QLatin1Char('\r'), replacement);
    text.replace(QLatin1Char('\n'), replacement);
    return text;
}

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

class Reader {
public:
    // Reads the device up to `size` bytes (-1: to its end); `stop`, when given, is polled every chunk.
    Reader(QIODevice& device, const ReadProgress& progress, qint64 size,
           const std::atomic<bool>* stop = nullptr)
        : m_lines(device), m_progress(progress), m_stop(stop) {
        m_total = size;
        if (size >= 0) {
            m_lines.setEnd(size);
        }
        m_lines.setMaxLineLength(MaxLineLength);
        m_unicodeSource = false;
        watchChunks();
    }
    // Reads the bytes [start, end) of a file of single bytes, `total` long.
    Reader(QIODevice& device, const ReadProgress& progress, qint64 start, qint64 end, qint64 total,
           const std::atomic<bool>* stop)
        : m_lines(device, start, end), m_progress(progress), m_stop(stop) {
        m_total = total;
        m_unicodeSource = false;
        m_nextProgress = start + ProgressStep;
        watchChunks();
    }

    VcardReadResult run();

private:
    struct Pending {
        Property property = Property::Other;
        bool keep = false;            // the text is needed: a recognised property inside a card
        bool quotedPrintable = false; // a trailing "=" continues the value on the next line
        // Where the key of the first line ends, when looked for. Found there, it holds for the whole
        // logical line: the lines that continue it only add to the value.
        qsizetype keyEnd = -1;
        bool unquotedKey = false;
        qint64 start = 0;
        qint64 end = 0;
    };

    bool handle(const Pending& line, QByteArrayView text);
    void apply(const Pending& pending, QByteArrayView line);
    // Appends the text of a raw value: transfer encoding, charset, then backslash escapes.
    void decode(Text& out, QByteArrayView raw, const Parameters& parameters,
                bool allowImplicitQuotedPrintable);
    Text& clearedField(Field field) {
        Text& text = m_fields[size_t(field)];
        text.clear();
        return text;
    }
    void openCard(qint64 begin);
    void closeCard();
    // Composes the name an N value gives into m_nName; m_nUsable tells whether it is a name at all.
    void composeName(QByteArrayView value, const Parameters& parameters);
    // A card without a name of its own is named by its N, else its company, else its first e-mail.
    void fallBackName();

    // Progress is told per chunk rather than per line, so a file without line breaks is no different.
    void watchChunks() {
        if (!m_progress && m_stop == nullptr) {
            return;
        }
        m_lines.setChunkHook([this](qint64 read) {
            if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
                return false;
            }
            if (!m_progress) {
                return true;
            }
            // Every megabyte, and at least every 50 ms: the caller's window then answers a click to
            // cancel at once, and comes up in time on a slow disk.
            const auto now = std::chrono::steady_clock::now();
            if (read >= m_nextProgress || now >= m_nextProgressTime) {
                m_nextProgress = read + ProgressStep;
                m_nextProgressTime = now + ProgressInterval;
                return m_progress(read, m_total);
            }
            return true;
        });
    }

    static constexpr qint64 ProgressStep = 1 << 20;
    static constexpr std::chrono::milliseconds ProgressInterval{50};
    LineReader m_lines;
    const ReadProgress& m_progress;
    const std::atomic<bool>* m_stop;
    qint64 m_nextProgress = ProgressStep;
    std::chrono::steady_clock::time_point m_nextProgressTime =
        std::chrono::steady_clock::now() + ProgressInterval;
    qint64 m_total = -1;
    bool m_unicodeSource = false;
    VcardReadResult m_result;

    std::string m_logical;
    QByteArrayView logical() const { return QByteArrayView(m_logical.data(), qsizetype(m_logical.size())); }
    bool m_inCard = false;
    bool m_cardOpen = false;
    std::array<Text, FieldCount> m_fields;
    Text m_scratch;
    std::string m_bytes;
    std::uint8_t m_bold = 0;
    // What names a card that has no FN: its N line, composed only for such a card, and its first e-mail.
    std::string m_nLine;
    Pending m_nPending;
    bool m_nSeen = false;
    Text m_nName;
    bool m_nUsable = false;
    Text m_firstEmail;
    bool m_emailSeen = false;
    qint64 m_cardBegin = 0;
    qint64 m_cardEnd = -1;
};

void Reader::openCard(qint64 begin) {
    closeCard();
    m_cardOpen = true;
    m_cardBegin = begin;
    m_cardEnd = -1;
    m_bold = 0;
    m_nSeen = false;
    m_firstEmail.clear();
    m_emailSeen = false;
    for (Text& field : m_fields) {
        field.clear();
    }
}

namespace {
bool isBlankText(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}
} // namespace

void Reader::fallBackName() {
    if (!isBlankText(m_fields[size_t(Field::Name)].view())) {
        return;
    }
    Text& name = m_fields[size_t(Field::Name)];
    m_nUsable = false;
    if (m_nSeen) {
        const PropertyLine n(QByteArrayView(m_nLine.data(), qsizetype(m_nLine.size())), m_nPending.keyEnd,
                             m_nPending.unquotedKey);
        composeName(n.value, n.parameters);
    }
    if (m_nUsable) {
        name.swap(m_nName);
    } else if (const QStringView firma = m_fields[size_t(Field::Company)].view(); !isBlankText(firma)) {
        name.clear();
        appendString(name, firma.trimmed());
    } else if (!isBlankText(m_firstEmail.view())) {
        name.clear();
        appendString(name, m_firstEmail.view().trimmed());
    }
}

void Reader::closeCard() {
    if (!m_cardOpen) {
        return;
    }
    fallBackName();
    std::array<QStringView, FieldCount> texts;
    for (size_t i = 0; i < texts.size(); ++i) {
        texts[i] = m_fields[i].view();
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
            apply(line, text);
        }
        return true;
    }
}

void Reader::decode(Text& out, QByteArrayView raw, const Parameters& parameters,
                    bool allowImplicitQuotedPrintable) {
    QByteArray transferDecoded;
    QByteArrayView bytes = raw;
    bool direct = true;
    if (PropertyLexer::isQuotedPrintable(parameters, parameters.charset, raw, allowImplicitQuotedPrintable)) {
        m_bytes.resize(size_t(raw.size()));
        m_bytes.resize(size_t(decodeQuotedPrintable(raw, m_bytes.data())));
        bytes = QByteArrayView(m_bytes.data(), qsizetype(m_bytes.size()));
        direct = false;
    } else if (parameters.base64) {
        transferDecoded = decodeBase64(raw);
        if (!transferDecoded.isNull()) {
            bytes = transferDecoded;
            direct = false;
        }
    }
    const size_t start = out.size();
    bool backslash = true;
    if (direct && m_unicodeSource) {
        // Lines of a UTF-16 file arrive as UTF-8 already; a charset can only describe encoded bytes there.
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
}

void Reader::composeName(QByteArrayView value, const Parameters& parameters) {
    m_nName.clear();
    m_nUsable = false;
    const Components parts(value, CardRules::NameParts);
    for (const int index : CardRules::NameOrder) {
        // Several values of one part ("Hans,Peter") are separated by commas that no backslash escapes.
        QByteArrayView rest = parts[index];
        while (!rest.isEmpty()) {
            qsizetype comma = 0;
            while (comma < rest.size() && rest[comma] != ',') {
                comma += rest[comma] == '\\' ? 2 : 1;
            }
            comma = std::min(comma, rest.size());
            Text& piece = m_scratch;
            piece.clear();
            decode(piece, rest.first(comma), parameters, true);
            const QStringView text = piece.view().trimmed();
            if (!text.isEmpty()) {
                if (m_nName.size() != 0) {
                    m_nName.push_back(u' ');
                }
                appendString(m_nName, text);
                m_nUsable |= CardRules::isNamePart(index);
            }
            rest = comma < rest.size() ? rest.sliced(comma + 1) : QByteArrayView();
        }
    }
}

void Reader::apply(const Pending& pending, QByteArrayView line) {
    const PropertyLine p(line, pending.keyEnd, pending.unquotedKey);
    const Parameters& params = p.parameters;
    switch (pending.property) {
    case Property::FN:
        decode(clearedField(Field::Name), p.value, params, true);
        break;
    case Property::NOTE:
        decode(clearedField(Field::Note), p.value, params, true);
        break;
    case Property::ORG:
        decode(clearedField(Field::Company), firstComponent(p.value), params, false);
        break;
    case Property::N:
        // Most cards have an FN: the N is composed at the card's end only when it is needed.
        m_nLine.assign(line.data(), size_t(line.size()));
        m_nPending = pending;
        m_nSeen = true;
        break;
    case Property::EMAIL: {
        Text& email = clearedField(Field::Email);
        decode(email, firstComponent(p.value), params, false);
        if (!m_emailSeen) {
            m_emailSeen = true;
            m_firstEmail.append(email.data(), email.size());
        }
        break;
    }
    case Property::TEL: {
        const std::optional<Field> telephone = CardRules::telephoneField(params);
        if (!telephone) {
            break;
        }
        const Field field = *telephone;
        const std::uint8_t bold = ContactTable::boldBit(field);
        if (!CardRules::replacesNumber(m_fields[size_t(field)].size() != 0, (m_bold & bold) != 0,
                                       params.pref)) {
            break;
        }
        Text& number = m_scratch;
        number.clear();
        decode(number, firstComponent(p.value), params, false);
        if (startsWithTelScheme(number)) {
            number.eraseFront(4);
        }
        Text& cell = clearedField(field);
        if (const std::optional<QStringView> rest = nationalNumberRest(number.view())) {
            cell.push_back(u'0');
            appendString(cell, *rest);
        } else {
            cell.swap(number);
        }
        m_bold = params.pref ? std::uint8_t(m_bold | bold) : std::uint8_t(m_bold & ~bold);
        break;
    }
    case Property::ADR: {
        const bool work = CardRules::isWorkAddress(params);
        const Components parts(p.value, 7);
        const auto part = [&](Field field, qsizetype index) {
            Text& text = m_scratch;
            text.clear();
            decode(text, parts[index], params, true);
            Text& cell = clearedField(field);
            if (!text.hasLineBreak()) {
                cell.swap(text);
            } else {
                appendString(cell, replaceLineEndings(text.view().toString(), QStringLiteral(", ")));
            }
        };
        part(work ? Field::WorkStreet : Field::HomeStreet, 2);
        part(work ? Field::WorkCity : Field::HomeCity, 3);
        part(work ? Field::WorkPostalCode : Field::HomePostalCode, 5);
        break;
    }
    default:
        break;
    }
}

VcardReadResult Reader::run() {
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
        if (active) {
            if (softBreak && (is(line, "END:VCARD") || is(line, "BEGIN:VCARD"))) {
                // Some exporters end a quoted-printable value with a dangling "=": taken as a soft line
                // break it would swallow the card's last line. That "=" ends the value instead.
                if (pending.keep && !m_logical.empty()) {
                    m_logical.pop_back();
                }
                softBreak = false;
            }
            if (softBreak) {
                // Quoted-printable soft line break: the value goes on, whitespace and all.
                if (pending.keep) {
                    if (!m_logical.empty()) {
                        m_logical.pop_back();
                    }
                    m_logical.append(line.data(), size_t(line.size()));
                }
                pending.end = m_lines.position();
                softBreak = line.endsWith('=');
                continue;
            }
            if (!line.isEmpty() && isBlank(line.front())) {
                // Folded line: the break and one whitespace character go.
                if (pending.keep) {
                    m_logical.append(line.data() + 1, size_t(line.size() - 1));
                }
                pending.end = m_lines.position();
                softBreak = pending.quotedPrintable && line.endsWith('=');
                continue;
            }
            if (!handle(pending, logical())) {
                stopped = true;
                active = false;
                break;
            }
        }
        pending = Pending{};
        qsizetype nameEnd = 0;
        bool quoteInName = false;
        pending.property = propertyOf(PropertyLexer::propertyName(line, nameEnd, quoteInName));
        pending.keep = m_inCard && pending.property != Property::Other &&
                       pending.property != Property::Begin && pending.property != Property::End;
        if (line.endsWith('=') || pending.keep) {
            pending.keyEnd = PropertyLexer::keyEndAfterName(line, nameEnd, quoteInName, &pending.unquotedKey);
            pending.quotedPrintable = PropertyLexer::declaresQuotedPrintable(line, pending.keyEnd);
        }
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
            const QByteArrayView current = m_lines.currentLine();
            m_logical.assign(current.data(), size_t(current.size()));
        }
    }
    if (active && !m_lines.failed() && !handle(pending, logical())) {
        stopped = true;
    }
    closeCard();
    if (m_lines.cancelled()) {
        VcardReadResult cancelled;
        cancelled.status = VcardReadResult::Status::Cancelled;
        return cancelled;
    }
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

VcardReadResult readVcardLines(QIODevice& device, const ReadProgress& progress, qint64 size) {
    Reader reader(device, progress, size);
    return reader.run();
}

VcardReadResult readVcardRange(QIODevice& device, const ReadProgress& progress, qint64 start, qint64 end,
                               qint64 total, const std::atomic<bool>* stop) {
    Reader reader(device, progress, start, end, total, stop);
    return reader.run();
}

VcardReadResult readVcard(QIODevice& device, const ReadProgress& progress) {
    return readVcardUpTo(device, progress, device.isSequential() ? -1 : device.size());
}

VcardReadResult readVcardFile(const QString& path, const ReadProgress& progress) {
    VcardReadResult result;
    try {
        QFile file;
        FileStamp stamp;
        QString reason;
        if (!openRegularFile(path, file, &stamp, &reason)) {
            result.status = VcardReadResult::Status::ReadError;
            result.error = reason;
            return result;
        }
        result = readVcardUpTo(file, progress, stamp.size);
        result.stamp = stamp;
        result.table->setSourceStamp(stamp);
        if (result.status == VcardReadResult::Status::ReadError) {
            result.error = readFailureReason(path, result.error);
        }
    } catch (const std::bad_alloc&) {
        // The partial tables are gone with the unwinding; what is left is enough for the message.
        result.table.reset();
        result.table = std::make_shared<ContactTable>();
        result.status = VcardReadResult::Status::OutOfMemory;
        result.error.clear();
    }
    return result;
}
