#include "vcard/cardsource.h"

#include "contacts/contacttable.h"
#include "platform/linereader.h"
#include "vcard/decoders.h"
#include "vcard/importmessages.h"
#include "vcard/vcardreader.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <new>

namespace tovanel {

CardSourceRange cardSourceRange(const ContactTable& table, qsizetype contact) {
    CardSourceRange range;
    if (contact < 0 || contact >= table.size()) {
        return {0, 0};
    }
    // The neighbours that count are those of the same file: in a list of several, the contact before the
    // first of a file and the one after its last are in other files.
    const int file = table.fileOf(contact);
    const bool firstOfFile = file >= 0 && table.fileStart(file) == contact;
    const bool lastOfFile =
        file >= 0 && file + 1 < table.fileCount() && table.fileStart(file + 1) == contact + 1;
    if (contact > 0 && !firstOfFile) {
        const qint64 previousEnd = table.endPosition(contact - 1);
        range.start = previousEnd >= 0 ? previousEnd : table.beginPosition(contact);
    }
    const qint64 ownEnd = table.endPosition(contact);
    if (ownEnd >= 0) {
        range.end = ownEnd;
    } else if (contact + 1 < table.size() && !lastOfFile) {
        range.end = table.beginPosition(contact + 1);
    }
    return range;
}

namespace {

QString decode(const QByteArray& bytes, LineReader::Encoding encoding) {
    switch (encoding) {
    case LineReader::Encoding::Bytes:
        return decodeUtf8OrWindows1252(bytes);
    case LineReader::Encoding::Utf16LE:
    case LineReader::Encoding::Utf16BE: {
        // Stateless and with the mark kept: a range that starts mid-file is decoded as it stands.
        QStringDecoder decoder(encoding == LineReader::Encoding::Utf16LE ? QStringDecoder::Utf16LE
                                                                         : QStringDecoder::Utf16BE,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
    }
    return {};
}

void dropLastLineBreak(QString& text) {
    if (text.endsWith(QLatin1String("\r\n"))) {
        text.chop(2);
    } else if (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) {
        text.chop(1);
    }
}

CardSourceText failure(const QString& path, const QString& deviceError) {
    CardSourceText result;
    result.error = readFailureReason(path, deviceError);
    return result;
}

} // namespace

namespace {

// The range's bytes as the file holds them, and the file's encoding; `text` stays empty.
CardSourceText readRange(const QString& path, CardSourceRange range, const FileStamp& expectedStamp,
                         QByteArray& bytes, LineReader::Encoding& encoding) {
    QFile file;
    FileStamp stamp;
    CardSourceText result;
    if (!openRegularFile(path, file, &stamp, &result.error)) {
        return result;
    }
    if (expectedStamp.isValid() && stamp != expectedStamp) {
        result.changed = true;
        result.error = QStringLiteral("Die Datei wurde seit dem Einlesen geändert.");
        return result;
    }
    const QByteArray head = file.read(4);
    if (head.size() < 4 && file.error() != QFileDevice::NoError) {
        return failure(path, file.errorString());
    }
    qsizetype markLength = 0;
    encoding = LineReader::encodingOf(head, markLength);

    // The size at opening: what is appended meanwhile is not this file's card.
    const qint64 size = stamp.size;
    const qint64 end = range.end < 0 ? size : std::min(range.end, size);
    const qint64 start = std::clamp(range.start, qint64(markLength), std::max(qint64(markLength), end));
    qint64 length = end - start;
    if (encoding != LineReader::Encoding::Bytes) {
        length -= length % 2;
    }

    result.ok = true;
    if (length <= 0) {
        return result;
    }
    if (!file.seek(start)) {
        return failure(path, file.errorString());
    }
    bytes = file.read(length);
    if (bytes.size() != length && file.error() != QFileDevice::NoError) {
        return failure(path, file.errorString());
    }
    return result;
}

CardSourceText outOfMemory() {
    CardSourceText result;
    result.error = systemErrorReason(ENOMEM);
    return result;
}

} // namespace

CardSourceText readCardSource(const QString& path, CardSourceRange range, const FileStamp& expectedStamp) {
    try {
        QByteArray bytes;
        LineReader::Encoding encoding = LineReader::Encoding::Bytes;
        CardSourceText result = readRange(path, range, expectedStamp, bytes, encoding);
        if (result.ok) {
            result.text = decode(bytes, encoding);
            dropLastLineBreak(result.text);
        }
        return result;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

CardSourceText readCardBytes(const QString& path, CardSourceRange range, const FileStamp& expectedStamp) {
    try {
        QByteArray bytes;
        LineReader::Encoding encoding = LineReader::Encoding::Bytes;
        CardSourceText result = readRange(path, range, expectedStamp, bytes, encoding);
        if (result.ok) {
            result.unicode = encoding != LineReader::Encoding::Bytes;
            result.bytes = result.unicode ? decode(bytes, encoding).toUtf8() : std::move(bytes);
        }
        return result;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

} // namespace tovanel
