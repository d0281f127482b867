#include "detail.h"

Detail::Detail(Source source, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), m_source(std::move(source)), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("Detail"));
    setWindowTitle(QStringLiteral("Detail-Ansicht"));
}

void Detail::clearListe() {}

void Detail::showModal() {
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}
