// Reading a large file in parts, two at a time on two threads.
#include "platform/linereader.h"
#include "platform/regularfile.h"
#include "vcard/vcardreader_p.h"

#include <QBuffer>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <vector>

namespace tovanel {

namespace {

// A device of its own on the same bytes, for a reader on another thread; null where there is none. A file
// is opened again through its descriptor's link under /proc, which names the very file open here even
// when it was renamed, removed or opened without a name; an own open file has its own read offset.
std::unique_ptr<QIODevice> reopened(QIODevice& device, qint64 size) {
    if (auto* file = qobject_cast<QFile*>(&device)) {
        if (file->handle() < 0) {
            return nullptr;
        }
        auto copy = std::make_unique<QFile>();
        FileStamp stamp;
        struct stat info {};
        if (::fstat(file->handle(), &info) != 0 ||
            !openRegularFile(QStringLiteral("/proc/self/fd/%1").arg(file->handle()), *copy, &stamp) ||
            !stamp.sameFileAs(
                FileStamp{.size = 0, .device = quint64(info.st_dev), .inode = quint64(info.st_ino)}) ||
            stamp.size < size) {
            return nullptr;
        }
        return copy;
    }
    if (auto* buffer = qobject_cast<QBuffer*>(&device)) {
        auto copy = std::make_unique<QBuffer>();
        copy->setData(buffer->data());
        if (copy->open(QIODevice::ReadOnly)) {
            return copy;
        }
    }
    return nullptr;
}

// The first offset at or after `from` where a line "BEGIN:" starts that the line-by-line reading
// certainly takes for a property line of its own, or -1. The line before it must not end in "=": in a
// quoted-printable value that is a soft line break, and the "BEGIN" line would be the value's rest.
qint64 nextCardStart(QIODevice& device, qint64 from, qint64 size) {
    constexpr qint64 Back = 3; // "=" CR LF before the candidate
    constexpr qint64 Needle = 6;
    qint64 block = 4096;
    qint64 pos = from;
    while (pos < size) {
        const qint64 base = std::max<qint64>(0, pos - Back);
        if (!device.seek(base)) {
            return -1;
        }
        const QByteArray bytes = device.read(std::min(block + (pos - base) + Needle, size - base));
        const char* const d = bytes.constData();
        const qint64 n = bytes.size();
        for (qint64 i = pos - base; i + Needle <= n; ++i) {
            const auto* hit = static_cast<const char*>(std::memchr(d + i, 'B', size_t(n - Needle + 1 - i)));
            if (hit == nullptr) {
                break;
            }
            i = hit - d;
            if (i < 1 || std::memcmp(hit, "BEGIN:", Needle) != 0 || (d[i - 1] != '\n' && d[i - 1] != '\r')) {
                continue;
            }
            qint64 lineBreak = i - 1;
            if (d[lineBreak] == '\n' && lineBreak >= 1 && d[lineBreak - 1] == '\r') {
                --lineBreak;
            }
            if (lineBreak == 0 && base > 0) {
                continue; // the line before cannot be seen; never happens with three bytes of context
            }
            if (lineBreak >= 1 && d[lineBreak - 1] == '=') {
                continue;
            }
            return base + i;
        }
        if (base + n >= size || base + n - Needle <= pos) {
            return -1;
        }
        pos = base + n - Needle + 1;
        block = std::min<qint64>(block * 2, 1 << 20);
    }
    return -1;
}

VcardReadResult cancelledResult() {
    VcardReadResult result;
    result.status = VcardReadResult::Status::Cancelled;
    return result;
}

// Where the parts of about `partBytes` begin: at 0, then at the first card start at or after each step;
// one part alone where none follows.
std::vector<qint64> partStarts(QIODevice& device, qint64 partBytes, qint64 size) {
    std::vector<qint64> starts{0};
    for (qint64 target = partBytes; target < size; target += partBytes) {
        const qint64 from = std::max(target, starts.back() + 1);
        const qint64 at = from < size ? nextCardStart(device, from, size) : -1;
        if (at < 0) {
            break;
        }
        starts.push_back(at);
    }
    return starts;
}

// The parts and what the two readers share while each takes the next part not yet taken.
class PartReading final {
public:
    PartReading(const std::vector<qint64>& starts, qint64 size, const ReadProgress& progress)
        : m_parts(starts.size()), m_firstStop(m_parts.size()), m_size(size), m_progress(progress) {
        for (size_t k = 0; k < m_parts.size(); ++k) {
            m_parts[k].start = starts[k];
            m_parts[k].end = k + 1 < starts.size() ? starts[k + 1] : size;
        }
    }

    // Tells the caller how far the reading is; false once it is to stop.
    bool report() {
        if (m_progress && !m_stop && !m_progress(m_bytesDone, m_size)) {
            m_stop = true;
        }
        return !m_stop;
    }
    void stop() { m_stop = true; }
    bool stopped() const { return m_stop; }

    void readParts(QIODevice& source, bool reporting) {
        for (size_t k = m_next++; k < m_parts.size() && k <= m_firstStop && !m_stop; k = m_next++) {
            Part& part = m_parts[k];
            qint64 counted = part.start;
            const ReadProgress onProgress = [&](qint64 done, qint64) {
                m_bytesDone += done - counted;
                counted = done;
                return reporting ? report() : !m_stop;
            };
            ReadOptions range;
            range.progress = onProgress;
            range.rangeStart = part.start;
            range.rangeEnd = part.end;
            range.stop = &m_stop;
            part.result = VcardReading::readLines(source, range, m_size);
            if (part.result.status != VcardReadResult::Status::ReadToEnd) {
                size_t stopAt = m_firstStop;
                while (k < stopAt && !m_firstStop.compare_exchange_weak(stopAt, k)) {
                }
            }
        }
    }

    // The parts' tables in file order, up to and with the first part that did not read to its end.
    VcardReadResult joined() {
        VcardReadResult result;
        for (Part& part : m_parts) {
            result.table->appendTable(*part.result.table);
            if (part.result.status != VcardReadResult::Status::ReadToEnd) {
                result.status = part.result.status;
                result.error = part.result.error;
                break;
            }
        }
        if (m_progress && result.status != VcardReadResult::Status::StrayEnd) {
            m_progress(m_bytesDone, m_size);
        }
        return result;
    }

private:
    struct Part {
        qint64 start = 0;
        qint64 end = 0;
        VcardReadResult result;
    };
    std::vector<Part> m_parts;
    std::atomic<size_t> m_next{0};
    std::atomic<size_t> m_firstStop; // parts after one that stops the reading are not needed
    std::atomic<qint64> m_bytesDone{0};
    std::atomic<bool> m_stop{false}; // cancelled, or the other thread failed: both threads leave
    qint64 m_size;
    const ReadProgress& m_progress;
};

// Reads the parts here and on a helper thread, and rethrows what either reader threw; false, with nothing
// read, when no thread was to be had (memory or process limits).
bool readOnTwoThreads(PartReading& reading, QIODevice& device, QIODevice& second) {
    std::exception_ptr failure;
    std::promise<void> helperDone;
    std::future<void> helperFinished = helperDone.get_future();
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                reading.readParts(second, false);
            } catch (...) {
                failure = std::current_exception();
                reading.stop();
            }
            helperDone.set_value();
        });
    } catch (const std::system_error&) {
        return false;
    }
    try {
        reading.readParts(device, true);
    } catch (...) {
        reading.stop();
        helper.join();
        throw;
    }
    // The caller's progress display lives on this thread, so this thread reports while the helper works.
    while (helperFinished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        reading.report();
    }
    helper.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return true;
}

} // namespace

VcardReadResult VcardReading::readInParts(QIODevice& device, const ReadOptions& options, qint64 segmentBytes,
                                          qint64 size) {
    const auto sequential = [&]() { return readLines(device, options, size); };
    if (device.isSequential() || device.pos() != 0 || segmentBytes <= 0 || size <= segmentBytes) {
        return sequential();
    }
    std::unique_ptr<QIODevice> second = reopened(device, size);
    if (second == nullptr) {
        return sequential();
    }
    qsizetype markLength = 0;
    const QByteArray head = device.peek(4);
    if (LineReader::encodingOf(head, markLength) != LineReader::Encoding::Bytes) {
        return sequential();
    }
    const std::vector<qint64> starts = partStarts(device, segmentBytes, size);
    if (!device.seek(0)) {
        return sequential();
    }
    if (starts.size() == 1) {
        return sequential();
    }

    PartReading reading(starts, size, options.progress);
    // Parts are far smaller than the step at which a reading reports by bytes, so all of them may be read
    // before the first report by time: the caller hears at once that the reading began, and can stop it.
    if (!reading.report()) {
        return cancelledResult();
    }
    if (!readOnTwoThreads(reading, device, *second)) {
        // One reader does it all.
        return sequential();
    }
    if (reading.stopped()) {
        return cancelledResult();
    }
    return reading.joined();
}

} // namespace tovanel
