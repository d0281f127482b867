#include "mainwindow/birthdaywindow.h"

#include "platform/listbox.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace tovanel {

BirthdayWindow::BirthdayWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_model(new BirthdayListModel(this)), m_list(new ListBox(this)),
      m_empty(
          new QLabel(QStringLiteral("Kein Kontakt der Liste hat einen Geburtstag oder Jahrestag."), this)) {
    setObjectName(QStringLiteral("Geburtstage"));
    setWindowTitle(QStringLiteral("Geburtstage"));
    resize(560, 420);
    m_list->setObjectName(QStringLiteral("GeburtstageListe"));
    m_list->setAccessibleName(QStringLiteral("Geburtstage und Jahrestage"));
    m_list->setModel(m_model);
    // "Wann", "Datum" and "Alter" are short; the name takes what is left.
    m_list->setColumnWidths(QStringLiteral("90, 90, *, 90, 100"));
    m_empty->setObjectName(QStringLiteral("GeburtstageLeer"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(m_empty);
    connect(m_list, &ListBox::doubleClick, this, &BirthdayWindow::chooseSelected);
    m_list->installEventFilter(this);
}

void BirthdayWindow::showList(std::shared_ptr<const ContactTable> table,
                              std::span<const std::uint32_t> contacts, QDate today) {
    m_model->setList(std::move(table), contacts, today);
    const bool empty = m_model->rowCount() == 0;
    m_list->setVisible(!empty);
    m_empty->setVisible(empty);
    if (!empty) {
        m_list->selectRow(0);
    }
}

bool BirthdayWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            chooseSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BirthdayWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void BirthdayWindow::chooseSelected() {
    const int row = m_list->selectedRow();
    if (row < 0 || row >= m_model->rowCount()) {
        return;
    }
    emit contactChosen(contactOf(m_model->sharedTable(), m_model->eventAt(row).contact));
}

} // namespace tovanel
