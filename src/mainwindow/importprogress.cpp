#include "mainwindow/importprogress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

namespace tovanel {

namespace {
// The bar counts in thousandths: files beyond 2 GB do not fit the bar's int range in bytes.
constexpr int Steps = 1000;

// Every way of closing the window (Esc, the title bar, the button) cancels the reading; the window itself
// stays until the reading has stopped, so the half-read program never shows.
class ProgressDialog final : public QDialog {
public:
    ProgressDialog(QWidget* parent, Qt::WindowFlags flags, std::function<void()> cancel)
        : QDialog(parent, flags), m_cancel(std::move(cancel)) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        m_cancel();
    }
    void reject() override { m_cancel(); }

private:
    std::function<void()> m_cancel;
};
} // namespace

QString ImportProgress::labelText() {
    return QStringLiteral("Lese Kontakte …");
}

QString ImportProgress::cancelText() {
    return QStringLiteral("Abbrechen");
}

ImportProgress::ImportProgress(QWidget* parent, int delayMs) : m_parent(parent), m_delayMs(delayMs) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_clock.start();
}

ImportProgress::~ImportProgress() {
    delete m_dialog;
    QGuiApplication::restoreOverrideCursor();
}

bool ImportProgress::update(qint64 done, qint64 total) {
    if (m_cancelled) {
        return false;
    }
    if (!m_dialog) {
        // A short import stays free of any window and of event handling.
        if (m_clock.elapsed() < m_delayMs) {
            return true;
        }
        showDialog();
    }
    if (total > 0) {
        m_bar->setRange(0, Steps);
        m_bar->setValue(int(qBound(qint64(0), done * Steps / total, qint64(Steps))));
    } else {
        m_bar->setRange(0, 0); // size unknown: a busy bar
    }
    QCoreApplication::processEvents();
    return !m_cancelled;
}

void ImportProgress::showDialog() {
    auto* dialog = new ProgressDialog(
        m_parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint,
        [this] { m_cancelled = true; });
    dialog->setObjectName(QStringLiteral("ImportProgress"));
    dialog->setWindowTitle(QStringLiteral("Tovanel"));
    dialog->setWindowModality(Qt::ApplicationModal);
    auto* label = new QLabel(labelText(), dialog);
    m_bar = new QProgressBar(dialog);
    m_bar->setTextVisible(true);
    m_bar->setFormat(QStringLiteral("%p %"));
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(label);
    layout->addWidget(m_bar);
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* cancel = buttons->addButton(cancelText(), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ImportCancel"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog->setMinimumWidth(320);
    m_dialog = dialog;
    dialog->show();
}

} // namespace tovanel
