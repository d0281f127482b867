#include "vcard/cardsource.h"

#include "contacts/contactsource.h"
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

// A file cards are read out of: opened once, checked against the stamp the list took of it.
class RangeFile {
public:
    bool open(const QString& path, const FileStamp& expectedStamp, CardSourceText& result) {
        m_path = path;
        m_file.close();
        if (!openRegularFile(path, m_file, &m_stamp, &result.error)) {
            return false;
        }
        // Told when a card is read: a card too large to read is that whatever else changed.
        m_changed = expectedStamp.isValid() && m_stamp != expectedStamp;
        const QByteArray head = m_file.read(4);
        if (head.size() < 4 && m_file.error() != QFileDevice::NoError) {
            result = failure(path, m_file.errorString());
            return false;
        }
        m_encoding = LineReader::encodingOf(head, m_markLength);
        return true;
    }

    // The range's bytes as the file holds them; `text` stays empty.
    CardSourceText read(CardSourceRange range, qint64 limit, QByteArray& bytes) {
        CardSourceText result;
        // The size at opening: what is appended meanwhile is not this file's card.
        const qint64 size = m_stamp.size;
        const qint64 end = range.end < 0 ? size : std::min(range.end, size);
        const qint64 start =
            std::clamp(range.start, qint64(m_markLength), std::max(qint64(m_markLength), end));
        qint64 length = end - start;
        if (m_encoding != LineReader::Encoding::Bytes) {
            length -= length % 2;
        }
        if (length > limit) {
            result.tooLarge = true;
            result.size = length;
            return result;
        }
        if (m_changed) {
            result.changed = true;
            result.error = ImportMessages::changedSinceReadReason();
            return result;
        }
        result.ok = true;
        result.size = std::max<qint64>(0, length);
        if (length <= 0) {
            return result;
        }
        if (!m_file.seek(start)) {
            return failure(m_path, m_file.errorString());
        }
        bytes = m_file.read(length);
        if (bytes.size() != length && m_file.error() != QFileDevice::NoError) {
            return failure(m_path, m_file.errorString());
        }
        return result;
    }

    // As readCardBytes hands them out: UTF-16 converted to UTF-8.
    CardSourceText readBytes(CardSourceRange range, qint64 limit) {
        QByteArray bytes;
        CardSourceText result = read(range, limit, bytes);
        if (result.ok) {
            result.unicode = m_encoding != LineReader::Encoding::Bytes;
            result.bytes = result.unicode ? decode(bytes, m_encoding).toUtf8() : std::move(bytes);
        }
        return result;
    }

    // As readCardSource hands them out: decoded, without the line break that ends the range.
    CardSourceText readText(CardSourceRange range, qint64 limit) {
        QByteArray bytes;
        CardSourceText result = read(range, limit, bytes);
        if (result.ok) {
            result.text = decode(bytes, m_encoding);
            dropLastLineBreak(result.text);
        }
        return result;
    }

private:
    QString m_path;
    QFile m_file;
    FileStamp m_stamp;
    LineReader::Encoding m_encoding = LineReader::Encoding::Bytes;
    qsizetype m_markLength = 0;
    bool m_changed = false;
};

CardSourceText outOfMemory() {
    CardSourceText result;
    result.error = systemErrorReason(ENOMEM);
    return result;
}

} // namespace

CardSourceRange cardRange(const ContactTable& table, qsizetype contact) {
    CardSourceRange range = cardSourceRange(table, contact);
    if (contact >= 0 && contact < table.size()) {
        range.start = std::max(range.start, table.beginPosition(contact));
    }
    return range;
}

namespace {

// Opens `path` for one reading of it.
template <typename Read>
CardSourceText readOnce(const QString& path, const FileStamp& expectedStamp, Read read) {
    try {
        RangeFile file;
        CardSourceText result;
        if (!file.open(path, expectedStamp, result)) {
            return result;
        }
        return read(file);
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

} // namespace

CardSourceText readCardSource(const QString& path, CardSourceRange range, const FileStamp& expectedStamp,
                              qint64 limit) {
    return readOnce(path, expectedStamp, [&](RangeFile& file) { return file.readText(range, limit); });
}

CardSourceText readCardBytes(const QString& path, CardSourceRange range, const FileStamp& expectedStamp,
                             qint64 limit) {
    return readOnce(path, expectedStamp, [&](RangeFile& file) { return file.readBytes(range, limit); });
}

struct CardBytesReader::OpenFile {
    std::shared_ptr<const ContactSource> source;
    RangeFile file;
    CardSourceText failure; // why `file` cannot be read, when it cannot
};

CardBytesReader::CardBytesReader() = default;
CardBytesReader::~CardBytesReader() = default;

CardSourceText CardBytesReader::card(const ContactTable& table, qsizetype contact) {
    try {
        std::shared_ptr<const ContactSource> source = table.sourceOf(contact);
        if (!source) {
            CardSourceText none;
            none.error = QStringLiteral("Der Kontakt stammt aus keiner Datei.");
            return none;
        }
        if (!m_open || m_open->source != source) {
            m_open = std::make_unique<OpenFile>();
            m_open->source = source;
            if (m_open->file.open(source->path, source->stamp, m_open->failure)) {
                m_open->failure.ok = true;
            }
        }
        if (!m_open->failure.ok) {
            return m_open->failure;
        }
        return m_open->file.readBytes(cardRange(table, contact), CardLimits::CardBytes);
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

} // namespace tovanel
