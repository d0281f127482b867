// Every road into a file: the open dialog, "Hinzufügen", drops, and the calls the application makes for

#include "platform/displaytext.h"
// the command line, the desktop and a second launch.
#include "contactlist/contactlistmodel.h"
#include "mainwindow/importflow.h"
#include "mainwindow/mainwindow.h"
#include "menubar/appmenubar.h"
#include "platform/dialogs.h"
#include "platform/documentpaths.h"
#include "platform/filetypes.h"
#include "vcard/importmessages.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QUrl>

namespace tovanel {

void MainWindow::openFile(const QString& path) {
    readFiles({path}, false);
}

void MainWindow::openFiles(const QStringList& paths) {
    readFiles(paths, false);
}

void MainWindow::addFiles(const QStringList& paths) {
    readFiles(paths, true);
}

void MainWindow::readFiles(const QStringList& paths, bool add) {
    // The progress window lets events through while it shows; the application may hand over a document
    // then, and the messages after a reading are modal loops as well.
    if (m_importing || paths.isEmpty()) {
        return;
    }
    const QScopedValueRollback<bool> importing(m_importing, true);
    const DocumentFiles files = expandDocumentPaths(paths);
    QStringList notes = ImportMessages::forFolders(files);
    m_importFlow->setProgressDelay(m_progressDelay);
    m_importFlow->open(files.files, add, notes);
}

void MainWindow::askAndOpen() {
    // No file is asked for that could not be read now.
    if (m_importing) {
        return;
    }
    openFiles(m_dialogs.openFiles(FileTypes::OpenFilter));
}

void MainWindow::askAndAdd() {
    if (m_importing) {
        return;
    }
    addFiles(m_dialogs.openFiles(FileTypes::OpenFilter));
}

QStringList MainWindow::droppedPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) {
        return paths;
    }
    // vCard files and folders; anything else in the drag is left out.
    for (const QUrl& url : data->urls()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (!path.isEmpty() && (FileTypes::matches(FileTypes::VcfFiles, path) || QFileInfo(path).isDir())) {
            paths << path;
        }
    }
    return paths;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (m_importing || droppedPaths(event->mimeData()).isEmpty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (m_importing || droppedPaths(event->mimeData()).isEmpty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedPaths(event->mimeData());
    if (m_importing || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    openFiles(paths);
}

} // namespace tovanel
