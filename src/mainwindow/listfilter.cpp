#include "mainwindow/listfilter.h"

#include "contactlist/contactlistmodel.h"
#include "menubar/appmenubar.h"
#include "platform/dialogs.h"
#include "platform/displaytext.h"
#include "platform/germantext.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopedValueRollback>
#include <algorithm>
#include <numeric>

namespace tovanel {

namespace {

// The files of a list that get an entry of their own in the view menu.
constexpr int MaxFileEntries = 50;

// The quick filters in the menu's order; a file's entry carries FileBase plus its number.
constexpr ContactFilter::Quick MenuOrder[] = {
    ContactFilter::Quick::All,          ContactFilter::Quick::Favourites, ContactFilter::Quick::WithoutPhone,
    ContactFilter::Quick::WithoutEmail, ContactFilter::Quick::Duplicates,
};
constexpr int FileBase = 1000;

// The groups the "Gruppe" menu names. A card with 10,000 categories would make a menu nobody can use,
// and Qt checks the whole menu and group for each entry added: the largest groups get entries, in name
// order, and the others are found by the filter field in the groups' column.
constexpr qsizetype MaxGroupEntries = 200;
// A group's name in its entry; the count after it stays in sight.
constexpr qsizetype MaxGroupNameChars = 60;

// The groups of `groups` that get an entry, in name order: the largest, of equal ones those first by name.
std::vector<qsizetype> groupsInMenu(const ContactGroups& groups) {
    std::vector<qsizetype> shown(size_t(groups.names.size()));
    std::iota(shown.begin(), shown.end(), 0);
    if (qsizetype(shown.size()) > MaxGroupEntries) {
        const auto larger = [&groups](qsizetype a, qsizetype b) {
            const qsizetype sizeA = groups.sizes[size_t(a)];
            const qsizetype sizeB = groups.sizes[size_t(b)];
            return sizeA != sizeB ? sizeA > sizeB : a < b;
        };
        std::nth_element(shown.begin(), shown.begin() + MaxGroupEntries, shown.end(), larger);
        shown.resize(size_t(MaxGroupEntries));
        std::sort(shown.begin(), shown.end());
    }
    return shown;
}

} // namespace

ListFilter::ListFilter(QWidget* parent, ContactListModel& model, AppMenuBar& menus, Dialogs& dialogs)
    : QObject(parent), m_model(model), m_menus(menus), m_dialogs(dialogs), m_field(new QLineEdit(parent)),
      m_count(new QLabel(parent)) {
    m_field->setObjectName(QStringLiteral("FilterField"));
    m_field->setAccessibleName(QStringLiteral("Liste filtern"));
    m_field->setPlaceholderText(QStringLiteral("Filtern (Strg+F)"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    m_count->setObjectName(QStringLiteral("CountLabel"));
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    const QList<QAction*> quick = m_menus.quickFilters()->actions();
    for (qsizetype i = 0; i < quick.size(); ++i) {
        quick[i]->setData(int(MenuOrder[i]));
    }
    for (QAction* action : m_menus.viewMenu()->actions()) {
        action->setEnabled(true);
    }
    connect(m_field, &QLineEdit::textChanged, this, &ListFilter::apply);
    connect(m_menus.quickFilters(), &QActionGroup::triggered, this, &ListFilter::apply);
    connect(m_menus.groupFilters(), &QActionGroup::triggered, this, &ListFilter::apply);
    connect(m_menus.filterAction(), &QAction::triggered, this, &ListFilter::focusField);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ListFilter::followList);
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, &ListFilter::updateCount);
    followList();
}

void ListFilter::focusField() {
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

QString ListFilter::countText(qsizetype shown, qsizetype total, bool filtered) {
    if (!filtered) {
        return contactCount(total);
    }
    return QStringLiteral("%1 von %2 %3")
        .arg(germanNumber(shown), germanNumber(total),
             total == 1 ? QStringLiteral("Kontakt") : QStringLiteral("Kontakten"));
}

ContactFilter::Quick ListFilter::checkedQuick(int* file) const {
    *file = -1;
    const QAction* checked = m_menus.quickFilters()->checkedAction();
    const int data = checked ? checked->data().toInt() : 0;
    if (data >= FileBase) {
        *file = data - FileBase;
        return ContactFilter::Quick::File;
    }
    return ContactFilter::Quick(data);
}

void ListFilter::apply() {
    if (m_following) {
        return;
    }
    ContactFilter filter;
    filter.text = m_field->text();
    filter.quick = checkedQuick(&filter.file);
    if (const QAction* group = m_menus.groupFilters()->checkedAction()) {
        filter.group = group->data().toInt();
    }
    if (!m_model.setFilter(filter)) {
        m_dialogs.message(outOfMemoryTo(QStringLiteral("die Liste zu filtern")));
    }
    updateCount();
}

void ListFilter::updateCount() {
    m_count->setText(countText(m_model.rowCount(), m_model.contactCount(), !m_model.filter().isEmpty()));
}

void ListFilter::followList() {
    const QScopedValueRollback<bool> following(m_following, true);
    QActionGroup* group = m_menus.quickFilters();
    for (QAction* entry : std::as_const(m_fileEntries)) {
        if (entry->actionGroup() == group) {
            group->removeAction(entry);
        }
        delete entry;
    }
    m_fileEntries.clear();
    const ContactTable& table = m_model.table();
    if (table.fileCount() > 1) {
        const QStringList names = distinguishingFileNames(table.filePaths());
        // A menu of a phone backup's 100,000 files is no help to anyone, and Qt checks the whole menu and
        // group for each entry added: the first files get entries, the rest a line saying how many.
        const int entries = std::min(table.fileCount(), MaxFileEntries);
        for (int file = 0; file < entries; ++file) {
            // "&" would make the next letter a shortcut.
            QString name = names[file];
            name.replace(QLatin1Char('&'), QStringLiteral("&&"));
            auto* entry = new QAction(QStringLiteral("Nur „%1“").arg(name), m_menus.viewMenu());
            entry->setObjectName(QStringLiteral("AnsichtDatei%1").arg(file + 1));
            entry->setCheckable(true);
            entry->setData(FileBase + file);
            group->addAction(entry);
            m_menus.viewMenu()->addAction(entry);
            m_fileEntries << entry;
        }
        if (table.fileCount() > entries) {
            auto* more = new QAction(
                QStringLiteral("… und %1 weitere Dateien").arg(germanNumber(table.fileCount() - entries)),
                m_menus.viewMenu());
            more->setEnabled(false);
            m_menus.viewMenu()->addAction(more);
            m_fileEntries << more;
        }
    }
    // The model keeps its filter through a reading that was given up, and drops it with a new list.
    const ContactFilter& filter = m_model.filter();
    m_field->setText(filter.text);
    const int wanted =
        filter.quick == ContactFilter::Quick::File ? FileBase + filter.file : int(filter.quick);
    for (QAction* action : group->actions()) {
        if (action->data().toInt() == wanted) {
            action->setChecked(true);
        }
    }
    fillGroupMenu(filter.group);
    updateCount();
}

void ListFilter::fillGroupMenu(int checked) {
    QMenu* menu = m_menus.groupMenu();
    QActionGroup* choices = m_menus.groupFilters();
    for (QAction* entry : choices->actions()) {
        choices->removeAction(entry);
    }
    menu->clear();
    const ContactGroups& groups = m_model.table().groups();
    menu->menuAction()->setEnabled(!groups.isEmpty());
    if (groups.isEmpty()) {
        return;
    }
    const auto add = [&](const QString& caption, const QString& name, int group) {
        QAction* entry = menu->addAction(caption);
        entry->setObjectName(name);
        entry->setCheckable(true);
        entry->setData(group);
        choices->addAction(entry);
        entry->setChecked(group == checked);
    };
    add(QStringLiteral("Alle Gruppen"), QStringLiteral("AnsichtAlleGruppen"), ContactFilter::AllGroups);
    menu->addSeparator();
    const std::vector<qsizetype> shown = groupsInMenu(groups);
    for (const qsizetype group : shown) {
        // "&" would make the next letter a shortcut.
        QString name = displayText(cutText(oneLine(groups.names[group]), MaxGroupNameChars));
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        add(QStringLiteral("%1 (%2)").arg(name, germanNumber(groups.sizes[size_t(group)])),
            QStringLiteral("AnsichtGruppe%1").arg(group + 1), int(group));
    }
    if (const qsizetype more = groups.names.size() - qsizetype(shown.size()); more > 0) {
        QAction* rest = menu->addAction(QStringLiteral("… und %1 weitere").arg(germanNumber(more)));
        rest->setObjectName(QStringLiteral("AnsichtWeitereGruppen"));
        rest->setEnabled(false);
    }
    menu->addSeparator();
    add(QStringLiteral("Ohne Gruppe (%1)").arg(germanNumber(groups.ungrouped)),
        QStringLiteral("AnsichtOhneGruppe"), ContactFilter::Ungrouped);
    if (!choices->checkedAction()) {
        choices->actions().constFirst()->setChecked(true);
    }
}

bool ListFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape && !m_field->text().isEmpty()) {
            m_field->clear();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) {
            emit toList();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tovanel
