#pragma once

#include <QMainWindow>

class AddressTableModel;
class Dialogs;
class ListBox;

// The program's one document window: the contact list `Adressen`, its hidden companion `adrData`,
// and every road into a file.
class Window1 final : public QMainWindow {
    Q_OBJECT
public:
    explicit Window1(Dialogs& dialogs, QWidget* parent = nullptr);
    ~Window1() override;

    // Reads a vCard file into the lists; an empty path changes nothing.
    void OpenVcf(const QString& path);

    QString VcfFile() const { return m_vcfFile; }
    int selected() const { return m_selected; }

    ListBox* Adressen() const { return m_adressen; }
    ListBox* adrData() const { return m_adrData; }
    AddressTableModel* adressenModel() const { return m_adressenModel; }
    AddressTableModel* adrDataModel() const { return m_adrDataModel; }

signals:
    // An import read its file to the end (the application's "openOK").
    void fileReadToEnd();

private:
    Dialogs& m_dialogs;
    AddressTableModel* m_adressenModel;
    AddressTableModel* m_adrDataModel;
    ListBox* m_adressen;
    ListBox* m_adrData;
    QString m_vcfFile;
    int m_selected = 0;
};
