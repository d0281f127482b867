#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

namespace tovanel {

// A private folder for the files a test needs, removed with the object.
class TempFiles final {
public:
    TempFiles() { QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString())); }
    Q_DISABLE_COPY_MOVE(TempFiles)

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Writes `bytes` to the file `name` in the folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const {
        const QString file = path(name);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
            qFatal("cannot write test file %s", qPrintable(file));
        }
        return file;
    }

    // Makes a sub-folder and returns its path.
    QString folder(const QString& name) const {
        QDir(m_dir.path()).mkpath(name);
        return path(name);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace tovanel
