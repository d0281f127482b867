#include "importprogress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
// The bar counts in thousandths: files beyond 2 GB do not fit the bar's int range in bytes.
constexpr int Steps = 1000;

// The reading cannot be stopped halfway, so the window offers no way to close it.
class ProgressDialog final : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
    void keyPressEvent(QKeyEvent* event) override {
        // Escape would otherwise reject the dialog and hand the half-read program back to the user.
        event->accept();
    }
};
} // namespace

QString ImportProgress::labelText() {
    return QStringLiteral("Lese Kontakte …");
}

ImportProgress::ImportProgress(QWidget* parent, int delayMs) : m_parent(parent), m_delayMs(delayMs) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_clock.start();
}

ImportProgress::~ImportProgress() {
    delete m_dialog;
    QGuiApplication::restoreOverrideCursor();
}

void ImportProgress::update(qint64 done, qint64 total) {
    if (!m_dialog) {
        // A short import stays free of any window and of event handling.
        if (m_clock.elapsed() < m_delayMs) {
            return;
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
}

void ImportProgress::showDialog() {
    auto* dialog = new ProgressDialog(m_parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
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
    dialog->setMinimumWidth(320);
    m_dialog = dialog;
    dialog->show();
}
