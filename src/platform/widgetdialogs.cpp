#include "platform/widgetdialogs.h"

#include "platform/filetypes.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace tovanel {

void WidgetDialogs::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    m_parent);
    box.exec();
}

QString WidgetDialogs::openFile(const QString& fileTypes) {
    const QStringList filters = FileTypes::dialogFilters(fileTypes);
    // The desktop's own file chooser where its platform theme offers one (GNOME, KDE, the portal),
    // Qt's dialog with its German texts otherwise.
    return QFileDialog::getOpenFileName(m_parent, QString(), QString(), filters.join(QStringLiteral(";;")));
}

QStringList WidgetDialogs::openFiles(const QString& fileTypes) {
    const QStringList filters = FileTypes::dialogFilters(fileTypes);
    return QFileDialog::getOpenFileNames(m_parent, QString(), QString(), filters.join(QStringLiteral(";;")));
}

bool WidgetDialogs::ask(const QString& question) {
    return QMessageBox::question(m_parent, QGuiApplication::applicationDisplayName(), question,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

QString WidgetDialogs::saveFile(const QStringList& filters, const QString& suggestedPath) {
    QString filter = filters.value(0);
    // chooseSaveFile asks about replacing, after refusing what must not be written at all.
    QString path =
        QFileDialog::getSaveFileName(m_parent, QString(), suggestedPath, filters.join(QStringLiteral(";;")),
                                     &filter, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
        return path;
    }
    // "Name (*.xlsx)": the pattern's extension.
    const qsizetype star = filter.lastIndexOf(QStringLiteral("*."));
    if (star >= 0) {
        path += filter.mid(star + 1).chopped(filter.endsWith(u')') ? 1 : 0);
    }
    return path;
}

} // namespace tovanel
