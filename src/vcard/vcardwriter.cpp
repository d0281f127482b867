#include "vcard/vcardwriter.h"

#include <QString>
#include <algorithm>

namespace tovanel::VcardWriter {

QByteArray escapedText(QStringView value) {
    // Most values need no escape: their UTF-8 is all.
    if (std::all_of(value.begin(), value.end(), [](QChar c) {
            return c != u'\\' && c != u';' && c != u',' && c != u'\t' && isWrittenCharacter(c);
        })) {
        return value.toUtf8();
    }
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' || c == u';' || c == u',') {
            text += u'\\';
            text += c;
        } else if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n') {
            continue; // the line break follows
        } else if (c == u'\n' || c == u'\r') {
            text += QStringLiteral("\\n");
        } else if (isWrittenCharacter(c)) {
            text += c;
        }
    }
    return text.toUtf8();
}

void appendFolded(QByteArray& out, QByteArrayView line) {
    constexpr qsizetype MaxOctets = 75;
    qsizetype start = 0;
    qsizetype room = MaxOctets;
    while (line.size() - start > room) {
        qsizetype cut = start + room;
        // A continuation byte (10xxxxxx) belongs to the character before it.
        while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        if (cut == start) {
            cut = start + room; // not UTF-8: cut where the room ends
        }
        out += line.sliced(start, cut - start);
        out += "\r\n ";
        start = cut;
        room = MaxOctets - 1; // the blank takes one
    }
    out += line.sliced(start);
    out += "\r\n";
}

void appendQuotedPrintable(QByteArray& out, QByteArrayView key, QByteArrayView value) {
    constexpr qsizetype MaxOctets = 76;
    static constexpr char hex[] = "0123456789ABCDEF";
    // The key stays on the first line whatever its length: readers learn from it that the line ends in
    // soft breaks, and one folded before its ":" would not tell them in time.
    QByteArray line = key.toByteArray();
    QByteArray piece;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        const bool blankAtEnd = (c == ' ' || c == '\t') && (i + 1 == value.size() || value[i + 1] == '\r');
        if (c < 0x20 || c >= 0x7F || c == '=' || blankAtEnd) {
            piece += '=';
            piece += hex[c >> 4];
            piece += hex[c & 15];
        } else {
            piece += char(c);
        }
        // A character's bytes stay on one line: readers that decode line by line (old phones among them)
        // would otherwise meet half a character at each end.
        if (i + 1 < value.size() && (static_cast<unsigned char>(value[i + 1]) & 0xC0) == 0x80) {
            continue;
        }
        // The soft break's "=" takes one octet of the line.
        if (line.size() + piece.size() > MaxOctets - 1) {
            out += line;
            out += "=\r\n";
            line.clear();
            // A continuation line that began "BEGIN:" or "END:" would start or end a card for a reader that
            // looks at lines before values.
            if (piece.size() == 1 && QByteArrayView("BbEe").contains(piece.front())) {
                const auto first = static_cast<unsigned char>(piece.front());
                const char escape[3] = {'=', hex[first >> 4], hex[first & 15]};
                piece = QByteArray(escape, 3);
            }
        }
        line += piece;
        piece.clear();
    }
    out += line;
    out += "\r\n";
}

} // namespace tovanel::VcardWriter
