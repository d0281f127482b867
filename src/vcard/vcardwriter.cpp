#include "vcard/vcardwriter.h"

#include <QString>

namespace tovanel::VcardWriter {

QByteArray escapedText(QStringView value) {
    QString text;
    text.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'\\' || c == u';' || c == u',') {
            text += u'\\';
            text += c;
        } else if (c == u'\n') {
            text += QStringLiteral("\\n");
        } else if (c.unicode() >= 0x20 && c.unicode() != 0x7F) {
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

} // namespace tovanel::VcardWriter
