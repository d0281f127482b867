#include "detailwindow/detailwindow.h"

#include "card/contactrows.h"
#include "detailwindow/detailrows.h"
#include "detailwindow/sourcedisplay.h"
#include "detailwindow/sourceview.h"
#include "detailwindow/valuemenu.h"
#include "menubar/appmenubar.h"
#include "platform/dialogs.h"
#include "platform/edgelocks.h"
#include "platform/germantext.h"
#include "platform/listbox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <new>

namespace tovanel {

namespace {
// The size the controls' positions are given for; they follow their anchored edges from there.
constexpr QSize DesignedSize{400, 410};
constexpr int RowHeight = 24;
} // namespace

DetailWindow::DetailWindow(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_rows(new DetailRows(this)) {
    setObjectName(QStringLiteral("Detail"));
    setWindowTitle(QStringLiteral("Detail-Ansicht"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // The close box ends this instance; "Close" only hides it, keeping its list.
    setAttribute(Qt::WA_DeleteOnClose);
    createMenuBar();
    createControls();
    // The sizes are those of the window's content; a menu bar inside the window comes on top.
    const int menuHeight = m_menuBar->isNativeMenuBar() ? 0 : m_menuBar->sizeHint().height();
    resize(DesignedSize.width(), DesignedSize.height() + menuHeight);
    setMinimumSize(400, 280);
    setMaximumSize(2048, 32000);
}

void DetailWindow::createControls() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("DetailPanel"));
    setCentralWidget(panel);
    panel->resize(DesignedSize);

    m_closeButton = new QPushButton(QStringLiteral("Close"), panel);
    m_closeButton->setObjectName(QStringLiteral("PushButton1"));
    m_closeButton->setDefault(true);
    connect(m_closeButton, &QPushButton::clicked, this, &DetailWindow::hide);

    m_list = new ListBox(panel);
    m_list->setObjectName(QStringLiteral("Liste"));
    m_list->setAccessibleName(QStringLiteral("Details"));
    m_list->setModel(m_rows);
    m_list->setColumnWidths(QStringLiteral("120, *"));
    m_list->horizontalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(RowHeight);
    m_list->setDragEnabled(true);
    m_list->setDragDropMode(QAbstractItemView::DragOnly);
    m_list->setDefaultDropAction(Qt::CopyAction);
    connect(m_list, &QAbstractItemView::doubleClicked, this, &DetailWindow::showRowMessage);
    m_list->installEventFilter(this);
    connect(m_list, &ListBox::menuRequested, this, [this](const QModelIndex& index, const QPoint& at) {
        if (index.isValid()) {
            m_list->selectRow(index.row());
            popUpMenu(rowMenu(index.row()), at);
        }
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DetailWindow::updateCopyEnabled);
    connect(m_rows, &QAbstractItemModel::modelReset, this, &DetailWindow::updateCopyEnabled);

    m_hintLabel =
        new QLabel(QStringLiteral("Doppelklick zeigt mehr Details,\nsource zeigt vollständiges vcf"), panel);
    m_hintLabel->setObjectName(QStringLiteral("Label1"));
    m_hintLabel->setWordWrap(false);

    m_sourceButton = new QPushButton(QStringLiteral("source"), panel);
    m_sourceButton->setObjectName(QStringLiteral("sourceButton"));
    m_sourceButton->setCheckable(true);
    // Toggled, not clicked: a screen reader's toggle action switches the button without a click.
    connect(m_sourceButton, &QPushButton::toggled, this, &DetailWindow::toggleSource);

    m_sourceText = new SourceView(panel);
    m_sourceText->setObjectName(QStringLiteral("sourceText"));
    m_sourceText->setReadOnly(true);
    m_sourceText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_sourceText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_sourceText->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_sourceText->hide();

    setTabOrder(m_closeButton, m_list);
    setTabOrder(m_list, m_sourceButton);
    setTabOrder(m_sourceButton, m_sourceText);

    const Qt::Edges all = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
    auto* locks = new EdgeLocks(panel, DesignedSize);
    locks->place(m_closeButton, {300, 376, 80, 20}, Qt::RightEdge | Qt::BottomEdge);
    locks->place(m_list, {20, 14, 360, 344}, all);
    locks->place(m_hintLabel, {20, 366, 196, 40}, Qt::LeftEdge | Qt::BottomEdge);
    locks->place(m_sourceButton, {228, 376, 60, 22}, Qt::RightEdge | Qt::BottomEdge);
    locks->place(m_sourceText, {20, 14, 360, 344}, all);
}

void DetailWindow::createMenuBar() {
    m_menuBar = new AppMenuBar(this);
    setMenuBar(m_menuBar);
    // "Wert Kopieren" is this window's command; opening files and contacts is the main window's, which
    // takes no input while this window is shown.
    m_menuBar->copyValueAction()->setEnabled(false);
    connect(m_menuBar->copyValueAction(), &QAction::triggered, this, &DetailWindow::copyValue);
    m_menuBar->openAction()->setEnabled(false);
    m_menuBar->detailAction()->setEnabled(false);
    // "Schließen" closes the front window the way its "Close" button does.
    connect(m_menuBar->closeAction(), &QAction::triggered, this, &DetailWindow::hide);
    // "Kopieren" in the list copies the selected row's value; the source text copies for itself.
    connect(m_menuBar->copyAction(), &QAction::triggered, this, [this] {
        if (QApplication::focusWidget() == m_list) {
            copyValue();
        }
    });
}

bool DetailWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        rebuildRows();
    }
    return QMainWindow::event(event);
}

bool DetailWindow::eventFilter(QObject* watched, QEvent* event) {
    // Space is the keyboard's double-click: a value cut with "…" can be read whole without the mouse.
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            showRowMessage();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void DetailWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    // A main window has no default button of its own: Return and Enter that no control took press "Close".
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->key() == Qt::Key_Enter && event->modifiers() == Qt::KeypadModifier);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        m_closeButton->isVisible() && m_closeButton->isEnabled()) {
        m_closeButton->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void DetailWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    // Hidden, the window is shown again only with a contact handed over anew. It lets go of this one, so
    // that a file opened meanwhile does not have to share the memory with the table it came from. (A
    // window minimised by the desktop is hidden spontaneously and keeps it.)
    if (!event->spontaneous()) {
        m_contact = {};
    }
}

QAction* DetailWindow::copyValueAction() const {
    return m_menuBar->copyValueAction();
}

void DetailWindow::showContact(const ContactRef& contact) {
    m_rows->clear();
    m_contact = contact;
    m_newDetail = true;
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    // The activation that follows builds the list; it is built here already because a window that was
    // the last active one before it was hidden is not always told that it is active again.
    rebuildRows();
}

void DetailWindow::rebuildRows() {
    if (!m_newDetail) {
        return;
    }
    m_newDetail = false;
    QList<DetailRows::Row> rows;
    // The card's further rows are read from its file now: the table keeps only the 13 fields.
    try {
        rows = contactRows(m_contact, false);
    } catch (const std::bad_alloc&) {
        rows = fixedContactRows(m_contact);
    }
    m_rows->setRows(std::move(rows), m_list->columnWidth(1) > 0 ? m_list->columnWidth(1) : 240);
    for (int i = 0; i < m_rows->rowCount(); ++i) {
        if (const int picture = m_rows->pictureHeight(i); picture > 0) {
            m_list->setRowHeight(i, std::max(RowHeight, picture + 4));
        }
    }
    m_sourceButton->setChecked(false);
    showList();
    // Arrow keys and "Wert Kopieren" work from the keyboard straight away.
    m_list->setFocus();
}

void DetailWindow::showList() {
    m_sourceText->hide();
    // A card can be tens of megabytes; it is read anew for the next switch anyway.
    m_sourceText->clearCard();
    m_list->show();
    updateCopyEnabled();
}

void DetailWindow::showRowMessage() {
    const int row = m_list->selectedRow();
    if (row < 0) {
        return;
    }
    const DetailRows::Row& r = m_rows->row(row);
    m_dialogs.message(boxText(r.label, r.value));
}

void DetailWindow::toggleSource() {
    if (!m_sourceButton->isChecked()) {
        showList();
        return;
    }
    const auto refuse = [this](const QString& message) {
        m_sourceButton->setChecked(false);
        m_dialogs.message(message);
    };
    try {
        QString text;
        if (m_contact.isValid()) {
            ContactCard card = readContactCard(m_contact, CardUse::SourceView);
            if (!card.ok) {
                refuse(card.message);
                return;
            }
            text = std::move(card.text);
        }
        m_sourceText->setCard(std::move(text));
    } catch (const std::bad_alloc&) {
        m_sourceText->clearCard();
        refuse(outOfMemoryTo(QStringLiteral("die Karte anzuzeigen")));
        return;
    }
    m_list->hide();
    m_sourceText->show();
    updateCopyEnabled();
}

void DetailWindow::copyValue() {
    if (m_copying) {
        m_copying->future().cancel();
        m_copying->deleteLater();
    }
    if (!m_sourceText->isHidden()) {
        m_sourceText->copyToClipboard();
        return;
    }
    const int row = m_list->selectedRow();
    if (row >= 0) {
        const DetailRows::Row& r = m_rows->row(row);
        if (isPicture(r)) {
            // A photo is copied as the picture it is, decoded whole where the window does not wait for it.
            m_copying = new QFutureWatcher<QImage>(this);
            connect(m_copying, &QFutureWatcherBase::finished, this, [watcher = m_copying.data()] {
                if (!watcher->isCanceled() && watcher->future().resultCount() > 0) {
                    QGuiApplication::clipboard()->setImage(watcher->result());
                }
                watcher->deleteLater();
            });
            m_copying->setFuture(m_rows->fullPicture(row));
        } else {
            QGuiApplication::clipboard()->setText(r.value);
        }
    }
}

QMenu* DetailWindow::rowMenu(int row) {
    if (row < 0 || row >= m_rows->rowCount()) {
        return nullptr;
    }
    const DetailRows::Row& r = m_rows->row(row);
    QMenu* menu = nullptr;
    if (isPicture(r)) {
        // A photo is copied as a picture, which "Wert Kopieren" already does.
        menu = new QMenu(this);
        menu->addAction(m_menuBar->copyValueAction());
    } else {
        menu = valueMenu(this, rowLink(r), r.value, m_dialogs);
    }
    if (m_contact.isValid()) {
        addQrCodeItem(*menu, m_contact, this);
    }
    return menu;
}

void DetailWindow::updateCopyEnabled() {
    m_menuBar->copyValueAction()->setEnabled(!m_sourceText->isHidden() || m_list->selectedRow() >= 0);
}

} // namespace tovanel
