#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QtGlobal>

class QProgressBar;
class QWidget;

namespace tovanel {

// What the user sees while a file is read: the wait cursor from the start, and for a read that takes
// longer than `delayMs` a modal window "Lese Kontakte …" with the share of the file read and a button
// "Abbrechen" (Esc and closing the window do the same). The window blocks the rest of the program, so
// nothing can start another import or reach the lists meanwhile. Both go away with the object, on every
// path out of the reading.
class ImportProgress final {
public:
    static constexpr int DefaultDelayMs = 500;
    static QString labelText();

    explicit ImportProgress(QWidget* parent, int delayMs = DefaultDelayMs);
    ~ImportProgress();
    Q_DISABLE_COPY_MOVE(ImportProgress)

    // Called by the reading now and then (every megabyte or so) with the bytes read so far and the file's
    // size, -1 when unknown. Once the window shows, each call lets the program paint and handle events.
    // Returns false once the user cancelled: the reading is to stop.
    bool update(qint64 done, qint64 total);
    bool cancelled() const { return m_cancelled; }
    static QString cancelText();

    // The progress window, nullptr until it is shown.
    QDialog* dialog() const { return m_dialog; }

private:
    void showDialog();

    QWidget* m_parent;
    int m_delayMs;
    QElapsedTimer m_clock;
    QPointer<QDialog> m_dialog;
    QProgressBar* m_bar = nullptr;
    bool m_cancelled = false;
};

} // namespace tovanel
