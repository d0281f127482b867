#include "mainwindow/listoutput.h"

#include "contactlist/contactlistmodel.h"
#include "export/contactexport.h"
#include "export/phonelist.h"
#include "mainwindow/importflow.h"
#include "platform/dialogs.h"
#include "platform/displaytext.h"
#include "platform/germantext.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>

namespace tovanel {

namespace {

// Qt's progress dialog: it appears only once the work takes longer than the delay, and its
// "Abbrechen" is polled by the writers through the progress callback.
class Progress final {
public:
    Progress(QWidget* parent, const QString& label, int delayMs)
        : m_dialog(label, QStringLiteral("Abbrechen"), 0, 1000, parent) {
        m_dialog.setObjectName(QStringLiteral("ExportProgress"));
        m_dialog.setWindowTitle(QStringLiteral("Tovanel"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(delayMs);
        m_dialog.setAutoReset(false);
        m_dialog.setAutoClose(false);
        m_dialog.setValue(0);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~Progress() { QGuiApplication::restoreOverrideCursor(); }
    Q_DISABLE_COPY_MOVE(Progress)

    ExportProgress callback() {
        return [this](qsizetype done, qsizetype total) {
            m_dialog.setValue(total > 0 ? int(done * 1000 / total) : 0);
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

// Qt's preview prints only by a click on its tool bar. Its print item gets Ctrl+P, as in the menu that
// opened the preview, and Return, as a dialog's default button would; its page and zoom fields keep their
// own Return.
class PrintKeys final : public QObject {
public:
    explicit PrintKeys(QPrintPreviewDialog& preview) : QObject(&preview) {
        const QString print = QCoreApplication::translate("QPrintPreviewDialog", "Print");
        for (QAction* action : preview.findChildren<QAction*>()) {
            if (action->text() == print) {
                action->setShortcuts(
                    {QKeySequence::Print, QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
            }
        }
        for (QLineEdit* field : preview.findChildren<QLineEdit*>()) {
            field->installEventFilter(this);
        }
        // The pages have the keys first, not the page number field first in the tab order.
        if (auto* pages = preview.findChild<QPrintPreviewWidget*>()) {
            pages->setFocus();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

ExportRequest ListOutput::request(ExportProgress progress) const {
    // The phone list's heading: the file's name, or "a.vcf und 2 weitere".
    const QString heading = listName(model.table());
    return {
        .list = model.shownList(),
        .progress = std::move(progress),
        .title = heading,
        .sortedByName = sortedByName,
    };
}

std::optional<ExportFormat> chosenExportFormat(const QString& path, int filter) {
    const QStringList filters = exportFileFilters();
    if (filter < 0 || filter >= filters.size()) {
        return exportFormatOf(path);
    }
    const auto filterFormat = ExportFormat(filter);
    const QString suffix = QFileInfo(path).suffix();
    if (filterFormat == ExportFormat::Folder) {
        // A folder's name may have a dot ("Kontakte 2.0"); one of our extensions says the file was meant.
        return exportFormatOf(path).value_or(ExportFormat::Folder);
    }
    if (suffix.compare(filterSuffix(filters.at(filter)), Qt::CaseInsensitive) == 0) {
        return filterFormat;
    }
    // The extension typed is taken at its word over a filter left as it was.
    return exportFormatOf(path);
}

void ListOutput::exportToFile() const {
    const QStringList filters = exportFileFilters();
    const QFileInfo source(sourcePath);
    const QString suffix = filterSuffix(filters.value(int(lastFilter)));
    const QString suggested = source.fileName().isEmpty()
                                  ? QString()
                                  : source.absolutePath() + u'/' + source.completeBaseName() +
                                        (suffix.isEmpty() ? QString() : u'.' + suffix);
    const ContactTable& table = model.table();
    const SaveChoice choice = chooseSaveFile(
        dialogs,
        {.filters = filters,
         .selectedFilter = int(lastFilter),
         .suggestedPath = suggested,
         .folderFilter = int(ExportFormat::Folder)},
        [&table, this](const SaveChoice& chosen) -> QString {
            // Also where the name is refused: the dialog comes back with it, and so does the next export.
            if (chosen.filter >= 0 && chosen.filter < ExportFormatCount) {
                lastFilter = ExportFormat(chosen.filter);
            }
            const std::optional<ExportFormat> format = chosenExportFormat(chosen.path, chosen.filter);
            if (!format) {
                return QStringLiteral("%1 hat keine der Endungen .xlsx, .csv, .vcf, .xml, .pdf oder .ics.\n"
                                      "Bitte wählen Sie eines der angebotenen Formate.")
                    .arg(quotedFileName(chosen.path));
            }
            return exportRefusal(table, chosen.path, *format);
        });
    if (choice.path.isEmpty()) {
        return;
    }
    const QString& path = choice.path;
    const ExportFormat format = *chosenExportFormat(path, choice.filter);
    ExportResult result;
    {
        // The progress box is application-modal: left open, it would stand over the message and take
        // its keys.
        Progress progress(window, QStringLiteral("Schreibe Kontakte …"), progressDelayMs);
        result = exportContacts(request(progress.callback()), path, format);
    }
    if (result.status == ExportResult::Status::Failed) {
        dialogs.message(result.error);
    } else if (result.status == ExportResult::Status::Written && !result.notice.isEmpty()) {
        dialogs.message(result.notice);
    }
}

namespace {
// Enough to see how the list will look; the rest is printed the same way.
constexpr int PreviewPages = 20;
} // namespace

void ListOutput::print() const {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(phoneListPageLayout());
    printer.setDocName(listName(model.table()));
    QPrintPreviewDialog preview(&printer, window);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    new PrintKeys(preview);
    QObject::connect(
        &preview, &QPrintPreviewDialog::paintRequested, &preview, [this, &preview](QPrinter* target) {
            Progress progress(window, QStringLiteral("Seiten werden aufgebaut …"), progressDelayMs);
            QPainter painter(target);
            // The preview keeps every page it is given as a picture: a million contacts would be 18,000 pages
            // and more than a gigabyte. It shows the first pages; printing lays out all of them, one at a
            // time.
            const bool previewing =
                painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Picture;
            int pages = 0;
            if (!paintPhoneList(request(progress.callback()), painter, *target, previewing ? PreviewPages : 0,
                                &pages)) {
                // Pages laid out so far would be printed as if they were the list.
                target->abort();
            }
            if (previewing) {
                preview.setWindowTitle(pages > PreviewPages
                                           ? QStringLiteral("Druckvorschau: die ersten %1 von %2 Seiten")
                                                 .arg(germanNumber(PreviewPages), germanNumber(pages))
                                           : QStringLiteral("Druckvorschau"));
            }
        });
    preview.exec();
}

} // namespace tovanel
