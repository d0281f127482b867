#pragma once

#include <QByteArray>
#include <QIODevice>

namespace tovanel {

// A read-only device that hands out at most one byte per read, like a slow pipe, and can fail like a disk
// that goes away: after `failAfter` bytes every read reports an error.
class TrickleDevice final : public QIODevice {
public:
    explicit TrickleDevice(QByteArray data, qint64 failAfter = -1)
        : m_data(std::move(data)), m_failAfter(failAfter) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (m_failAfter >= 0 && m_pos >= m_failAfter) {
            setErrorString(QStringLiteral("Eingabe-/Ausgabefehler"));
            return -1;
        }
        if (m_pos >= m_data.size() || maxSize <= 0) {
            return 0;
        }
        *data = m_data[m_pos++];
        return 1;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_failAfter;
    qint64 m_pos = 0;
};

} // namespace tovanel
