#pragma once

#include "contactlist/contactlistmodel.h"
#include "fakedialogs.h"
#include "importedlists.h"
#include "mainwindow/mainwindow.h"
#include "menubar/appmenubar.h"
#include "vcard/vcardreader.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QBuffer>
#include <QStringList>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace tovanel;

// A fresh main window for each test: shown, active, its list model checked by a model tester, its
// questions answered by `dialogs` and its quit requests counted instead of ending the test.
struct WindowFixture {
    FakeDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QAbstractItemModelTester> tester;
    int quits = 0;

    // For init(); false when the window could not be shown and made active.
    [[nodiscard]] bool open() {
        dialogs.messages.clear();
        dialogs.openFileTypes.clear();
        dialogs.nextFiles.clear();
        dialogs.onMessage = {};
        dialogs.onOpenFile = {};
        dialogs.onQuestion = {};
        dialogs.nextAnswers.clear();
        quits = 0;
        window = std::make_unique<MainWindow>(dialogs);
        window->setQuitHandler([this] { ++quits; });
        tester = std::make_unique<QAbstractItemModelTester>(window->contactModel());
        window->show();
        return QTest::qWaitForWindowActive(window.get());
    }
    void close() {
        tester.reset();
        window.reset();
    }
};

// True when no top-level window is left on screen (a test's cleanup).
inline bool noWindowVisible() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::none_of(windows.cbegin(), windows.cend(), [](QWidget* w) { return w->isVisible(); });
}

// A vCard file text with one card per entry: the name, then optional company, mobile number, e-mail
// address, home and work number.
inline QByteArray cards(const QList<QStringList>& contacts) {
    QByteArray text;
    for (const QStringList& contact : contacts) {
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + contact.value(0).toUtf8() + "\r\n";
        if (!contact.value(1).isEmpty()) {
            text += "ORG:" + contact.value(1).toUtf8() + "\r\n";
        }
        if (!contact.value(2).isEmpty()) {
            text += "TEL;TYPE=CELL:" + contact.value(2).toUtf8() + "\r\n";
        }
        if (!contact.value(3).isEmpty()) {
            text += "EMAIL:" + contact.value(3).toUtf8() + "\r\n";
        }
        if (!contact.value(4).isEmpty()) {
            text += "TEL;TYPE=HOME:" + contact.value(4).toUtf8() + "\r\n";
        }
        if (!contact.value(5).isEmpty()) {
            text += "TEL;TYPE=WORK:" + contact.value(5).toUtf8() + "\r\n";
        }
        text += "END:VCARD\r\n";
    }
    return text;
}

inline QList<QStringList> named(const QStringList& names) {
    QList<QStringList> contacts;
    for (const QString& name : names) {
        contacts << QStringList{name};
    }
    return contacts;
}

// Fills both lists of the window as an import of that text would.
inline void load(MainWindow& window, const QByteArray& vcf) {
    const VcardReadResult result = ImportedLists::read(vcf);
    result.table->setGroups(std::make_shared<const ContactGroups>(findContactGroups(*result.table)));
    window.contactModel()->setTable(result.table);
    window.addressModel()->setTable(result.table);
}

inline QString dataFile(const QString& name) {
    return QStringLiteral(TOVANEL_MAINWINDOW_DATA "/") + name;
}
