#include "platform/linereader.h"

#include "platform/bytesearch.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace tovanel {

LineReader::LineReader(QIODevice& device, qsizetype chunkSize)
    : m_device(device), m_chunkSize(std::max<qsizetype>(chunkSize, 16)) {
    // A file smaller than a chunk gets a buffer of its own size; one that grows meanwhile still fits.
    if (!device.isSequential()) {
        m_chunkSize = std::clamp<qint64>(device.size() - device.pos() + 1, 16, m_chunkSize);
    }
}

LineReader::LineReader(QIODevice& device, qint64 start, qint64 end, qsizetype chunkSize)
    : LineReader(device, chunkSize) {
    m_started = start > 0; // the first part still skips a byte-order mark
    m_base = start;
    m_lineStart = start;
    m_lineEnd = start;
    m_limit = end;
    if (!device.seek(start)) {
        m_failed = true;
        m_error = device.errorString();
    }
}

// Moves the unread rest to the front of the buffer and appends the next chunk. Returns false when
// nothing more could be read.
bool LineReader::fill() {
    if (m_eof || m_failed) {
        return false;
    }
    // While peeking past a line of a byte file, that line must survive the move.
    const qsizetype keep =
        m_keepLine && !m_lineInHead ? std::min(m_begin, qsizetype(m_lineStart - m_base)) : m_begin;
    if (keep > 0) {
        const qsizetype rest = m_end - keep;
        if (rest > 0) {
            std::memmove(m_buffer.data(), m_buffer.constData() + keep, size_t(rest));
        }
        m_base += keep;
        m_end = rest;
        m_begin -= keep;
    }
    // A line longer than the buffer makes it grow; otherwise the buffer keeps one chunk of headroom.
    if (m_buffer.size() - m_end < m_chunkSize) {
        m_buffer.resize(std::max(m_end + m_chunkSize, m_buffer.size() + m_buffer.size() / 2));
    }
    qint64 wanted = m_buffer.size() - m_end;
    if (m_limit >= 0) {
        wanted = std::min(wanted, m_limit - (m_base + m_end));
        if (wanted <= 0) {
            m_eof = true;
            return false;
        }
    }
    const qint64 got = m_device.read(m_buffer.data() + m_end, wanted);
    if (got < 0) {
        m_failed = true;
        m_error = m_device.errorString();
        return false;
    }
    if (got == 0) {
        m_eof = true;
        return false;
    }
    m_end += got;
    if (m_hook && !m_hook(bytesRead())) {
        // Taken as a failure without a reason, so every reading loop ends at once.
        m_cancelled = true;
        m_failed = true;
        return false;
    }
    return true;
}

LineReader::Encoding LineReader::encodingOf(QByteArrayView head, qsizetype& markLength) {
    const auto* b = reinterpret_cast<const unsigned char*>(head.data());
    const qsizetype n = head.size();
    markLength = 0;
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        markLength = 3;
        return Encoding::Bytes;
    }
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        markLength = 2;
        return Encoding::Utf16LE;
    }
    if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        markLength = 2;
        return Encoding::Utf16BE;
    }
    if (n >= 2 && b[0] != 0 && b[1] == 0) {
        // Without a mark, a vCard starts with ASCII ("BEGIN", a blank): its zero byte tells the order.
        return Encoding::Utf16LE;
    }
    if (n >= 2 && b[0] == 0 && b[1] != 0) {
        return Encoding::Utf16BE;
    }
    return Encoding::Bytes;
}

void LineReader::detectEncoding() {
    m_started = true;
    while (m_end - m_begin < 4 && fill()) {
    }
    m_encoding = encodingOf(QByteArrayView(m_buffer.constData(), m_end), m_begin);
    m_lineEnd = m_begin;
}

bool LineReader::readLineSlowly(QByteArrayView& line) {
    if (!m_started) {
        detectEncoding();
    }
    if (m_failed) {
        return false;
    }
    return m_encoding == Encoding::Bytes ? readByteLine(line) : readUtf16Line(line);
}

int LineReader::peekSlowly() {
    const qsizetype unit = m_encoding == Encoding::Bytes ? 1 : 2;
    m_keepLine = m_encoding == Encoding::Bytes;
    while (m_end - m_begin < unit && fill()) {
    }
    m_keepLine = false;
    if (m_failed || m_end - m_begin < unit) {
        return -1;
    }
    return unit == 1 ? static_cast<unsigned char>(m_buffer[m_begin]) : int(unitAt(m_begin));
}

bool LineReader::readByteLine(QByteArrayView& line) {
    qsizetype scanFrom = m_begin;
    for (;;) {
        const char* data = m_buffer.constData();
        const qsizetype breakAt = findEither(data + scanFrom, data + m_end, '\r', '\n') - data;
        qsizetype lineEnd = -1;
        qsizetype next = -1;
        qsizetype waitingCr = -1; // a CR whose run of CRs reaches the end of the buffer
        if (breakAt < m_end) {
            if (data[breakAt] == '\n') {
                lineEnd = breakAt;
                next = breakAt + 1;
            } else {
                // The CRs before an LF end one line together; only the LF after them tells, so it must
                // already be in the buffer to be seen.
                qsizetype run = breakAt;
                while (run < m_end && data[run] == '\r' && run - breakAt < MaxCrRun) {
                    ++run;
                }
                if (run < m_end || m_eof) {
                    lineEnd = breakAt;
                    next = run < m_end && data[run] == '\n' ? run + 1 : breakAt + 1;
                } else {
                    waitingCr = breakAt - m_begin;
                }
            }
        }
        if (lineEnd < 0 && m_eof) {
            if (m_begin >= m_end && !m_overlong) {
                return false;
            }
            lineEnd = m_end;
            next = m_end;
        }
        if (lineEnd >= 0) {
            m_lineInHead = m_overlong;
            m_lineStart = m_overlong ? m_overlongStart : m_base + m_begin;
            line = m_overlong ? QByteArrayView(m_head)
                              : QByteArrayView(data + m_begin, std::min(lineEnd - m_begin, m_maxLine));
            m_overlong = false;
            m_lineLength = line.size();
            m_lineEnd = m_base + next;
            m_begin = next;
            return true;
        }
        // No complete line in the buffer. Of a line beyond the limit only the start is kept; the rest is
        // searched for the line ending and dropped (but for a last CR, whose LF may follow).
        // A line whose CRs still wait for what follows them ends at its first CR.
        const qsizetype unended = waitingCr >= 0 ? waitingCr : m_end - m_begin;
        if (m_overlong || unended > m_maxLine) {
            if (!m_overlong) {
                m_overlong = true;
                m_overlongStart = m_base + m_begin;
                m_head = QByteArray(data + m_begin, m_maxLine);
            }
            m_begin += unended;
            waitingCr = waitingCr >= 0 ? 0 : -1;
        }
        // Read on, and only scan what is new (and a run of CRs that waits for what follows it).
        const qsizetype scanned = m_end - m_begin;
        if (!fill()) {
            if (m_failed) {
                return false;
            }
        }
        scanFrom = m_begin + (waitingCr >= 0 ? waitingCr : scanned > 0 ? scanned - 1 : 0);
    }
}

char16_t LineReader::unitAt(qsizetype i) const {
    const auto* b = reinterpret_cast<const unsigned char*>(m_buffer.constData()) + i;
    return m_encoding == Encoding::Utf16LE ? char16_t(b[0] | (b[1] << 8)) : char16_t((b[0] << 8) | b[1]);
}

void LineReader::convertUnits(qsizetype until) {
    QString text((until - m_begin) / 2, Qt::Uninitialized);
    for (qsizetype k = 0; k < text.size(); ++k) {
        text[k] = QChar(unitAt(m_begin + 2 * k));
    }
    m_converted = text.toUtf8();
}

// Converts the line that ends at `until` (a buffer index), or hands out the start kept of a line beyond
// the limit.
void LineReader::takeUtf16Line(qsizetype until) {
    m_lineStart = m_overlong ? m_overlongStart : m_base + m_begin;
    if (m_overlong) {
        m_converted = m_head;
    } else {
        convertUnits(until - m_begin > m_maxLine ? m_begin + (m_maxLine & ~qsizetype(1)) : until);
    }
    m_overlong = false;
}

bool LineReader::readUtf16Line(QByteArrayView& line) {
    qsizetype i = m_begin;
    for (;;) {
        // Only whole code units count; an odd byte left at the very end of the file is dropped.
        while (i + 1 < m_end) {
            const char16_t u = unitAt(i);
            if (u == u'\n' || u == u'\r') {
                qsizetype next = i + 2;
                if (u == u'\r') {
                    qsizetype run = i;
                    while (run + 1 < m_end && unitAt(run) == u'\r' && (run - i) / 2 < MaxCrRun) {
                        run += 2;
                    }
                    if (run + 1 >= m_end && !m_eof) {
                        break; // the LF after the CRs may be in the next chunk
                    }
                    if (run + 1 < m_end && unitAt(run) == u'\n') {
                        next = run + 2;
                    }
                }
                takeUtf16Line(i);
                line = QByteArrayView(m_converted);
                m_lineEnd = m_base + next;
                m_begin = next;
                return true;
            }
            i += 2;
        }
        if (m_overlong || i - m_begin > m_maxLine) {
            if (!m_overlong) {
                m_overlong = true;
                m_overlongStart = m_base + m_begin;
                convertUnits(m_begin + (m_maxLine & ~qsizetype(1)));
                m_head = m_converted;
            }
            m_begin = i;
        }
        const qsizetype offset = i - m_begin;
        const bool more = fill();
        i = m_begin + offset;
        if (!more) {
            if (m_failed) {
                return false;
            }
            if (i + 1 < m_end) {
                continue; // a CR at the end waited for a LF that never came: it ends the line
            }
            if (m_end - m_begin < 2 && !m_overlong) {
                return false;
            }
            takeUtf16Line(m_end - (m_end - m_begin) % 2);
            line = QByteArrayView(m_converted);
            m_lineEnd = m_base + m_end;
            m_begin = m_end;
            return true;
        }
    }
}

} // namespace tovanel
