#include "window1.h"

#include "accessiblelistbox.h"
#include "addresstablemodel.h"
#include "detail.h"
#include "dialogs.h"
#include "edgelocks.h"
#include "filetypes.h"
#include "importflow.h"
#include "importprogress.h"
#include "listbox.h"
#include "menubar1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace {
// The controls are laid out for a window of this size; the edge locks carry them along from there.
constexpr QSize DesignSize(960, 480);

// WCAG's relative luminance and contrast ratio; 4.5 is its least contrast for text of this size.
double relativeLuminance(const QColor& colour) {
    const auto linear = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

constexpr double ReadableContrast = 4.5;

// The hint's dark grey is meant for a light window; on a dark one it would all but vanish, so there the
// theme's own colour for secondary text takes over, or its plain text colour where that is too faint.
// It follows the palette when the desktop's theme changes while the program runs.
class HintLabel final : public QLabel {
public:
    using QLabel::QLabel;

    void followPalette() {
        const QColor window = palette().color(QPalette::Window);
        QColor colour(0x4A, 0x4A, 0x4A);
        if (window.lightnessF() < 0.5) {
            // Themes often give it as the text colour half transparent: painted over the window colour.
            const QColor placeholder = palette().color(QPalette::PlaceholderText);
            const float alpha = placeholder.alphaF();
            colour = QColor::fromRgbF(placeholder.redF() * alpha + window.redF() * (1 - alpha),
                                      placeholder.greenF() * alpha + window.greenF() * (1 - alpha),
                                      placeholder.blueF() * alpha + window.blueF() * (1 - alpha));
            if (contrastRatio(colour, window) < ReadableContrast) {
                colour = parentWidget() ? parentWidget()->palette().color(QPalette::WindowText) : Qt::white;
            }
        }
        // Setting the palette comes back here as a palette change; the same colour ends the round.
        if (palette().color(QPalette::WindowText) != colour ||
            !palette().isBrushSet(QPalette::Active, QPalette::WindowText)) {
            QPalette own;
            own.setColor(QPalette::WindowText, colour);
            setPalette(own);
        }
    }

protected:
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
            followPalette();
        }
    }
};
} // namespace

Window1::Window1(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs),
      m_adressenModel(new AddressTableModel(AddressTableModel::List::Adressen, this)),
      m_adrDataModel(new AddressTableModel(AddressTableModel::List::AdrData, this)),
      m_quit([] { QCoreApplication::quit(); }), m_searchColumn(Field::Name),
      m_progressDelay(ImportProgress::DefaultDelayMs) {
    setObjectName(QStringLiteral("Window1"));
    m_menuBar = new MenuBar1(this);
    setMenuBar(m_menuBar);

    setWindowTitle(QStringLiteral("Adressen"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    createControls();
    m_importFlow = new ImportFlow(*this, m_vcfFile, *m_adressenModel, *m_adrDataModel, m_dialogs, m_adressen);
    connect(m_importFlow, &ImportFlow::readToEnd, this, &Window1::fileReadToEnd);
    // The sizes are those of the window's content; a menu bar inside the window comes on top.
    const int menuHeight = m_menuBar->isNativeMenuBar() ? 0 : m_menuBar->sizeHint().height();
    resize(DesignSize.width(), DesignSize.height() + menuHeight);
    connectHandlers();
    setAcceptDrops(true);
}

Window1::~Window1() = default;

void Window1::createControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("content"));
    central->setMinimumSize(800, 480);
    central->setMaximumSize(32000, 32000);
    setCentralWidget(central);
    central->resize(DesignSize);
    auto* locks = new EdgeLocks(central, DesignSize);
    const Qt::Edges allEdges = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;

    installListBoxAccessibility();
    m_adressen = new ListBox(central);
    m_adressen->setObjectName(QStringLiteral("Adressen"));
    m_adressen->setAccessibleName(QStringLiteral("Kontakte"));
    m_adressen->setModel(m_adressenModel);
    // No sort column at start: the rows stay in file order until a heading is clicked.
    m_adressen->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_adressen->setSortingEnabled(true);
    m_adressen->setColumnWidths(QStringLiteral("0,1.8*,0.8*,1*,1*,1*,1.4*, 0"));
    m_adressen->setDragEnabled(true);
    m_adressen->setDragDropMode(QAbstractItemView::DragOnly);
    m_adressen->setTypeAheadEnabled(false);
    m_adressen->setDragText([this] { return dragText(); });
    locks->place(m_adressen, {30, 14, 910, 414}, allEdges);

    auto* hint =
        new HintLabel(QStringLiteral("Doppelclick zeigt mehr Details || Nr. Fett = Favorit"), central);
    hint->followPalette();
    m_hintLabel = hint;
    m_hintLabel->setObjectName(QStringLiteral("Label2"));
    m_hintLabel->setAutoFillBackground(true);
    m_hintLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    locks->place(m_hintLabel, {478, 441, 516, 20}, Qt::LeftEdge | Qt::BottomEdge);

    m_adrData = new ListBox(central);
    m_adrData->setObjectName(QStringLiteral("adrData"));
    m_adrData->setModel(m_adrDataModel);
    m_adrData->setFocusPolicy(Qt::NoFocus);
    m_adrData->setFrameShape(QFrame::NoFrame);
    m_adrData->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_adrData->setDragEnabled(false);
    locks->place(m_adrData, {724, 373, 201, 100}, Qt::RightEdge | Qt::BottomEdge);
    // A window of its own that is never shown: accessibility tools list a window's controls, hidden
    // ones too, and this list is only the import's bookkeeping.
    m_adrData->setWindowFlag(Qt::Window);
    m_adrData->setVisible(false);
    m_adrData->setEnabled(false);

    // The search row stays with the window's bottom edge, below the list that grows above it.
    m_searchField = new QLineEdit(central);
    m_searchField->setObjectName(QStringLiteral("SearchField"));
    m_searchField->setAccessibleName(QStringLiteral("Name suchen"));
    m_searchField->setPlaceholderText(QStringLiteral("Eingabe"));
    locks->place(m_searchField, {25, 440, 259, 22}, Qt::LeftEdge | Qt::BottomEdge);

    // The buttons take no focus from a mouse click, so the search text keeps it and Return keeps working.
    m_searchButton = new QPushButton(QStringLiteral("Name finden"), central);
    m_searchButton->setObjectName(QStringLiteral("SearchButton"));
    m_searchButton->setToolTip(QStringLiteral("search name"));
    m_searchButton->setFocusPolicy(Qt::TabFocus);
    locks->place(m_searchButton, {296, 441, 100, 20}, Qt::LeftEdge | Qt::BottomEdge);

    m_nextButton = new QPushButton(QStringLiteral("Weiter"), central);
    m_nextButton->setObjectName(QStringLiteral("NextButton"));
    m_nextButton->setToolTip(QStringLiteral("search next"));
    m_nextButton->setFocusPolicy(Qt::TabFocus);
    m_nextButton->setEnabled(false);
    locks->place(m_nextButton, {408, 441, 58, 20}, Qt::LeftEdge | Qt::BottomEdge);

    m_clearSortLabel = new QLabel(QStringLiteral("x"), central);
    m_clearSortLabel->setObjectName(QStringLiteral("Label1"));
    m_clearSortLabel->setAccessibleName(QStringLiteral("Sortierung aufheben"));
    m_clearSortLabel->setAlignment(Qt::AlignCenter);
    m_clearSortLabel->setToolTip(QStringLiteral("clear the sort"));
    // Reached by Tab after the list and pressed with Space or Return; a label draws no focus of its own.
    m_clearSortLabel->setFocusPolicy(Qt::StrongFocus);
    m_clearSortLabel->setStyleSheet(QStringLiteral("QLabel:focus { border: 1px solid palette(highlight); }"));
    locks->place(m_clearSortLabel, {10, 12, 15, 20}, Qt::LeftEdge | Qt::TopEdge);

    setTabOrder(m_searchField, m_searchButton);
    setTabOrder(m_searchButton, m_nextButton);
    setTabOrder(m_nextButton, m_adressen);
    setTabOrder(m_adressen, m_clearSortLabel);
}

void Window1::connectHandlers() {
    connect(m_adressen, &ListBox::doubleClick, this, &Window1::openDetail);
    m_adressen->installEventFilter(this);
    m_clearSortLabel->installEventFilter(this);

    // "Detail" follows the selection at once, so its shortcut is right without the menu being opened.
    connect(m_adressen->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Window1::updateDetailAction);
    // A new table drops the selection without a selection signal.
    connect(m_adressenModel, &QAbstractItemModel::modelReset, this, [this] {
        m_adressen->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        m_searchText.clear();
        updateDetailAction();
    });
    connect(m_adressenModel, &QAbstractItemModel::layoutChanged, this, &Window1::updateDetailAction);
    // Queued: the header's click handler is still on the stack when the sort gives up.
    connect(
        m_adressenModel, &AddressTableModel::sortFailed, this,
        [this] {
            m_dialogs.message(QStringLiteral("Nicht genug Arbeitsspeicher, um die Liste zu sortieren."));
        },
        Qt::QueuedConnection);
    connect(m_menuBar->fileMenu(), &QMenu::aboutToShow, this, &Window1::updateDetailAction);

    connect(m_menuBar->openAction(), &QAction::triggered, this, &Window1::askAndOpen);
    connect(m_menuBar->detailAction(), &QAction::triggered, this, &Window1::openDetail);
    connect(m_menuBar->closeAction(), &QAction::triggered, this, &Window1::close);
    // The menu's own handler copies from a focused text control; the list has none, so this one serves it.
    connect(m_menuBar->copyAction(), &QAction::triggered, this, [this] {
        if (QApplication::focusWidget() == m_adressen) {
            copySelected();
        }
    });
    for (int column = 1; column <= MenuBar1::SortColumns; ++column) {
        QAction* sort = m_menuBar->sortAction(column);
        sort->setEnabled(true);
        connect(sort, &QAction::triggered, this, [this, column] { sortByColumn(column); });
    }
    m_menuBar->fileOrderAction()->setEnabled(true);
    connect(m_menuBar->fileOrderAction(), &QAction::triggered, this, &Window1::clearSort);

    connect(m_searchField, &QLineEdit::textChanged, this, &Window1::searchTextChanged);
    connect(m_searchButton, &QPushButton::clicked, this, &Window1::findFromTop);
    connect(m_nextButton, &QPushButton::clicked, this, &Window1::findNext);
    updateDetailAction();
}

Detail* Window1::detail() {
    if (!m_detail) {
        Detail::Source source;
        source.adressen = m_adressenModel;
        source.adrData = m_adrDataModel;
        source.selected = [this] { return m_selected; };
        source.vcfFile = [this] { return m_vcfFile; };
        m_detail = new Detail(std::move(source), m_dialogs, this);
        // The application's own items work from the detail window's menu bar as from this one.
        const MenuBar1* detailMenus = m_detail->appMenuBar();
        connect(detailMenus->quitAction(), &QAction::triggered, m_menuBar->quitAction(), &QAction::trigger);
        connect(detailMenus->aboutAction(), &QAction::triggered, m_menuBar->aboutAction(), &QAction::trigger);
    }
    return m_detail;
}

void Window1::OpenVcf(const QString& path) {
    // The progress window lets events through while it shows; the application may hand over a document
    // then, and the messages after a reading are modal loops as well.
    if (m_importing) {
        return;
    }
    const QScopedValueRollback<bool> importing(m_importing, true);
    m_importFlow->setProgressDelay(m_progressDelay);
    m_importFlow->open(path);
}

// Window events

void Window1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Event_Activate();
    }
}

void Window1::Event_Activate() {
    // A detail window that was never opened need not be built just to be hidden; building it at the
    // first activation would hold up the window's first paint at start-up.
    if (m_detail) {
        m_detail->hide();
    }
}

void Window1::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_quit) {
        m_quit();
    }
}

void Window1::updateDetailAction() {
    m_menuBar->detailAction()->setEnabled(m_adressen->listIndex() > -1);
}

void Window1::keyPressEvent(QKeyEvent* event) {
    // Not a dialog, so Return is not taken to the default button for us. What reaches the window here
    // was left alone by the focused control (the search field passes Return on).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        for (QPushButton* button : {m_searchButton, m_nextButton}) {
            if (button->isDefault() && button->isEnabled()) {
                button->click();
                event->accept();
                return;
            }
        }
    }
    QMainWindow::keyPressEvent(event);
}

QString Window1::droppedVcf(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty()) {
        return {};
    }
    const QUrl first = data->urls().constFirst();
    if (!first.isLocalFile()) {
        return {};
    }
    const QString path = first.toLocalFile();
    return FileTypes::matches(FileTypes::VcfFiles, path) ? path : QString();
}

void Window1::dragEnterEvent(QDragEnterEvent* event) {
    if (m_importing || droppedVcf(event->mimeData()).isEmpty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void Window1::dragMoveEvent(QDragMoveEvent* event) {
    if (m_importing || droppedVcf(event->mimeData()).isEmpty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void Window1::dropEvent(QDropEvent* event) {
    const QString path = droppedVcf(event->mimeData());
    if (m_importing || path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OpenVcf(path);
}

bool Window1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_adressen && event->type() == QEvent::KeyPress) {
        return Adressen_KeyDown(static_cast<QKeyEvent*>(event));
    }
    if (watched == m_clearSortLabel && event->type() == QEvent::MouseButtonPress) {
        clearSort();
        return false;
    }
    if (watched == m_clearSortLabel && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            clearSort();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// Adressen

QString Window1::dragText() const {
    const int row = m_adressen->listIndex();
    if (row < 0) {
        return {};
    }
    QString text;
    for (int column = 1; column < AddressTableModel::ColumnCount; ++column) {
        text += m_adressenModel->cell(row, column) + QLatin1Char('\t');
    }
    return text;
}

bool Window1::Adressen_KeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // After a hit Return walks on through the hits; otherwise it opens the selected contact. It
        // never starts a search of its own from here.
        if (m_nextButton->isDefault() && m_nextButton->isEnabled()) {
            m_nextButton->click();
        } else if (m_adressen->listIndex() >= 0) {
            openDetail();
        }
        event->accept();
        return true;
    }
    if (event->matches(QKeySequence::Copy)) {
        copySelected();
        event->accept();
        return true;
    }
    // Only a key that types something starts a search; navigation, Tab, Escape and shortcuts keep their
    // meaning in the list. Ctrl together with Alt is AltGr on some systems and does type.
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool command = (mods & (Qt::ControlModifier | Qt::MetaModifier)) &&
                         !(mods.testFlag(Qt::ControlModifier) && mods.testFlag(Qt::AltModifier));
    const QString text = event->text();
    const bool printable =
        !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); });
    if (command || !printable) {
        return false;
    }
    m_searchField->setFocus();
    m_searchField->setText(text);
    m_searchField->setCursorPosition(int(text.size()));
    // The text may not have changed (the same letter again); the search starts from the top all the same.
    searchTextChanged();
    return true;
}

QString Window1::copyText() const {
    const int row = m_adressen->listIndex();
    if (row < 0) {
        return {};
    }
    // Neither the contact number before "Name" nor the file position after "e-mail": only what the list
    // shows.
    QStringList cells;
    for (int column = 1; column < AddressTableModel::ColumnCount - 1; ++column) {
        cells << m_adressenModel->cell(row, column);
    }
    return cells.join(QLatin1Char('\t'));
}

void Window1::copySelected() {
    const QString text = copyText();
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

void Window1::sortByColumn(int column) {
    const QHeaderView* header = m_adressen->horizontalHeader();
    const bool turn =
        header->sortIndicatorSection() == column && header->sortIndicatorOrder() == Qt::AscendingOrder;
    m_adressen->sortByColumn(column, turn ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void Window1::clearSort() {
    // Back to file order: the contact number is the sort column again, ascending.
    m_adressen->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_adressenModel->sort(0, Qt::AscendingOrder);
}

// Menu items

void Window1::askAndOpen() {
    // No file is asked for that could not be read now.
    if (m_importing) {
        return;
    }
    OpenVcf(m_dialogs.openFile(FileTypes::OpenFilter));
}

void Window1::openDetail() {
    m_selected = m_adressen->listIndex();
    detail()->showSelectedContact();
}
