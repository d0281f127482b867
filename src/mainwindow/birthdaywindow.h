#pragma once

#include "contactlist/birthdaylist.h"
#include "contacts/contactref.h"

#include <QDate>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <span>

class QLabel;

namespace tovanel {

class ListBox;

// "Geburtstage": the birthdays and anniversaries of the list as it is shown, the next first. Enter or a
// double-click on a row asks for that contact's details.
class BirthdayWindow final : public QWidget {
    Q_OBJECT
public:
    explicit BirthdayWindow(QWidget* parent = nullptr);

    // Shows the events of `contacts` of `table`, seen from `today`.
    void showList(std::shared_ptr<const ContactTable> table, std::span<const std::uint32_t> contacts,
                  QDate today = QDate::currentDate());

    ListBox* list() const { return m_list; }
    BirthdayListModel* model() const { return m_model; }
    // "Keine Geburtstage …" in place of the list when there is nothing to show.
    QLabel* emptyLabel() const { return m_empty; }

signals:
    void contactChosen(const ContactRef& contact);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Esc closes the window, as it does the detail window.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void chooseSelected();

    BirthdayListModel* m_model;
    ListBox* m_list;
    QLabel* m_empty;
};

} // namespace tovanel
