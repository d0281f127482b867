#include "widgetdialogs.h"

#include "filetypes.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

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
