#pragma once

#include "addresstablemodel.h"
#include "dialogs.h"
#include "filetypes.h"
#include "vcardreader.h"
#include "window1.h"

#include <QBuffer>
#include <QStringList>
#include <functional>

// Answers the window's questions the way a test told it to, and remembers what was asked.
class ScriptedDialogs final : public Dialogs {
public:
    void message(const QString& text) override {
        messages << text;
        if (onMessage) {
            onMessage(text);
        }
    }
    QString openFile(const QString& fileTypes) override {
        openFileTypes << fileTypes;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }

    QStringList messages;
    QStringList openFileTypes;
    QStringList openAnswers;
    std::function<void(const QString&)> onMessage;
};

// The file types the application registers at start.
inline void registerFileTypes() {
    FileTypes::registerType({FileTypes::VcfFiles, {QStringLiteral(".vcf")}, {}, QStringLiteral("????")});
    FileTypes::registerType({FileTypes::TextFile,
                             {QStringLiteral(".txt"), QStringLiteral(".text")},
                             QStringLiteral("TEXT"),
                             QStringLiteral("????")});
}

// A vCard file text with one card per entry: the name, then optional company and mobile number.
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
inline void load(Window1& window, const QByteArray& vcf) {
    QByteArray bytes = vcf;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const VcardReadResult result = readVcard(buffer);
    window.adressenModel()->setTable(result.table);
    window.adrDataModel()->setTable(result.table);
}

inline QString dataFile(const QString& name) {
    return QStringLiteral(TOVANEL_MAINWINDOW_DATA "/") + name;
}
