#include "window1.h"

#include "addresstablemodel.h"
#include "dialogs.h"
#include "listbox.h"
#include "vcfimport.h"

#include <QFileInfo>
#include <QHeaderView>

Window1::Window1(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      m_dialogs(dialogs),
      m_adressenModel(new AddressTableModel(AddressTableModel::List::Adressen, this)),
      m_adrDataModel(new AddressTableModel(AddressTableModel::List::AdrData, this)) {
    setObjectName(QStringLiteral("Window1"));
    setWindowTitle(QStringLiteral("Adressen"));
    resize(960, 480);
    setMinimumSize(800, 480);

    auto* central = new QWidget(this);
    setCentralWidget(central);

    m_adressen = new ListBox(central);
    m_adressen->setObjectName(QStringLiteral("Adressen"));
    m_adressen->setModel(m_adressenModel);
    m_adressen->setSortingEnabled(true);
    m_adressen->horizontalHeader()->setSortIndicatorShown(false);
    m_adressen->setColumnWidths(QStringLiteral("0,1.8*,0.8*,1*,1*,1*,1.4*, 0"));
    m_adressen->setGeometry(30, 14, 910, 414);

    m_adrData = new ListBox(central);
    m_adrData->setObjectName(QStringLiteral("adrData"));
    m_adrData->setModel(m_adrDataModel);
    m_adrData->setGeometry(724, 373, 201, 100);
    m_adrData->setVisible(false);
    m_adrData->setEnabled(false);
}

Window1::~Window1() = default;

void Window1::OpenVcf(const QString& path) {
    ImportHooks hooks;
    hooks.fileChosen = [this](const QString& file) {
        m_vcfFile = file;
        setWindowTitle(QStringLiteral("file name: ") + QFileInfo(file).fileName());
    };
    hooks.readToEnd = [this] {
        emit fileReadToEnd();
        m_adressen->setFocus();
    };
    ::OpenVcf(path, *m_adressenModel, *m_adrDataModel, m_dialogs, hooks);
}
