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
    return QFileDialog::getOpenFileName(m_parent, QString(), QString(), filters.join(QStringLiteral(";;")));
}
