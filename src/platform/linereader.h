#pragma once

#include "platform/bytesearch.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <algorithm>
#include <functional>
#include <limits>

class QIODevice;

namespace tovanel {

// Splits a file into lines while keeping track of byte offsets into the file as stored.
//
// Lines end at LF, at CRs before an LF (CR LF, and the CR CR LF of some phone exports), or at a lone CR. A
// UTF-8 byte-order mark is skipped. UTF-16 files (either byte order, with or without a byte-order mark) are
// recognised from their first bytes; their lines are handed out converted to UTF-8 while positions still
// count the file's own bytes.
//
// The file is read in chunks, so memory stays at the chunk size plus the longest line.
class LineReader final {
public:
    enum class Encoding { Bytes, Utf16LE, Utf16BE };

    explicit LineReader(QIODevice& device, qsizetype chunkSize = 1 << 17);
    // Reads only the bytes [start, end) of a file of single bytes (a byte-order mark is looked for only
    // at the file's start): one part of a file that several readers share out. The device is moved to
    // `start`; positions still count from the beginning of the file.
    LineReader(QIODevice& device, qint64 start, qint64 end, qsizetype chunkSize = 1 << 17);

    // Takes the device's bytes as single bytes from its start, without looking for a byte-order mark or
    // UTF-16: for text whose encoding is known already, such as one card cut out of a file.
    void assumeBytes() { m_started = true; }

    // The encoding of a file from its first (up to four) bytes, and the length of its byte-order mark.
    static Encoding encodingOf(QByteArrayView head, qsizetype& markLength);
    Q_DISABLE_COPY_MOVE(LineReader)

    // The next line without its line ending; false once every line has been read or reading failed.
    // The view stays valid until the next call. Called for every line of a file: the common case, a
    // byte file's line ending in LF or CR LF within the buffer, is taken here, without a call.
    bool readLine(QByteArrayView& line) {
        if (m_started && !m_failed && m_encoding == Encoding::Bytes && !m_overlong) {
            const char* const data = m_buffer.constData();
            const char* const end = data + m_end;
            const char* const hit = findEither(data + m_begin, end, '\r', '\n');
            // LF, or CR LF; a longer run of CRs is the slow path's.
            const qsizetype breakLength = hit == end                         ? 0
                                          : *hit == '\n'                     ? 1
                                          : end - hit >= 2 && hit[1] == '\n' ? 2
                                                                             : 0;
            if (breakLength != 0) {
                const qsizetype lineEnd = hit - data;
                m_lineInHead = false;
                m_lineStart = m_base + m_begin;
                line = QByteArrayView(data + m_begin, std::min(lineEnd - m_begin, m_maxLine));
                m_lineLength = line.size();
                m_lineEnd = m_base + lineEnd + breakLength;
                m_begin = lineEnd + breakLength;
                return true;
            }
        }
        return readLineSlowly(line);
    }
    // The first byte (in a UTF-16 file: code unit) of the next line without taking it, or -1 at the end
    // of the file or after a read error. Peeking may move the line last returned: take it again from
    // currentLine(), which stays valid until the next readLine().
    int peek() {
        if (m_encoding == Encoding::Bytes && m_begin < m_end && !m_failed) {
            return static_cast<unsigned char>(m_buffer.constData()[m_begin]);
        }
        return peekSlowly();
    }
    QByteArrayView currentLine() const {
        if (m_encoding == Encoding::Bytes && !m_lineInHead) {
            return QByteArrayView(m_buffer.constData() + (m_lineStart - m_base), m_lineLength);
        }
        return m_lineInHead && m_encoding == Encoding::Bytes ? QByteArrayView(m_head)
                                                             : QByteArrayView(m_converted);
    }

    // Byte offset of the first byte of the line last returned.
    qint64 lineStart() const { return m_lineStart; }
    // Byte offset just past the line last returned and its line ending.
    qint64 position() const { return m_lineEnd; }
    // Bytes taken from the device so far (for progress).
    qint64 bytesRead() const { return m_base + m_end; }

    // Lines longer than this many bytes are handed out cut to it; their positions still cover the whole
    // line. Without a limit a file without line breaks would be held whole.
    void setMaxLineLength(qsizetype bytes) { m_maxLine = std::max<qsizetype>(bytes, 2); }

    // Reads no byte at or past this file offset: a file that grows meanwhile is read as it was.
    void setEnd(qint64 end) { m_limit = end; }

    // Called after every chunk taken from the device with bytesRead(). Returning false stops the reading
    // as if the file ended there, with cancelled() set. A line of any length is read chunk by chunk, so
    // the caller hears from the reader however the file looks.
    using ChunkHook = std::function<bool(qint64 bytesRead)>;
    void setChunkHook(ChunkHook hook) { m_hook = std::move(hook); }

    Encoding encoding() const { return m_encoding; }
    bool failed() const { return m_failed; }
    bool cancelled() const { return m_cancelled; }
    QString errorString() const { return m_error; }

private:
    bool readLineSlowly(QByteArrayView& line);
    int peekSlowly();
    bool fill();
    void detectEncoding();
    bool readByteLine(QByteArrayView& line);
    bool readUtf16Line(QByteArrayView& line);
    char16_t unitAt(qsizetype byteIndex) const;
    void convertUnits(qsizetype until);
    void takeUtf16Line(qsizetype until);

    QIODevice& m_device;
    qsizetype m_chunkSize;
    QByteArray m_buffer;
    qint64 m_base = 0;     // file offset of m_buffer[0]
    qsizetype m_begin = 0; // first unread byte in m_buffer
    qsizetype m_end = 0;   // one past the last valid byte in m_buffer
    qint64 m_limit = -1;   // file offset where reading stops, -1 for the end of the file
    bool m_eof = false;
    bool m_started = false;
    bool m_failed = false;
    bool m_cancelled = false;
    ChunkHook m_hook;
    QString m_error;
    Encoding m_encoding = Encoding::Bytes;
    qint64 m_lineStart = 0;
    qint64 m_lineEnd = 0;
    qsizetype m_lineLength = 0; // bytes of the line last returned (UTF-8 bytes for UTF-16 files)
    bool m_keepLine = false;    // fill() keeps the bytes of the line last returned
    qsizetype m_maxLine = std::numeric_limits<qsizetype>::max();
    bool m_overlong = false; // the line being read is beyond the limit; its start is in m_head
    qint64 m_overlongStart = 0;
    bool m_lineInHead = false; // the line last returned is m_head
    QByteArray m_head;
    QByteArray m_converted;
    // Longer runs of CRs before an LF are not waited for: each of their CRs ends a line.
    static constexpr qsizetype MaxCrRun = 64;
};

} // namespace tovanel
