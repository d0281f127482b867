#pragma once

#include "dialogs.h"

#include <QString>
#include <QStringList>

// Answers the program's questions in advance: records every message and every open dialog, and hands the
// open dialogs the queued file names in turn (an empty queue answers like "Abbrechen").
class FakeDialogs final : public Dialogs {
public:
    QStringList messages;
    QStringList openFileTypes; // the file types each open dialog was asked to offer
    QStringList nextFiles;

    void message(const QString& text) override { messages.append(text); }
    QString openFile(const QString& fileTypes) override {
        openFileTypes.append(fileTypes);
        return nextFiles.isEmpty() ? QString() : nextFiles.takeFirst();
    }
};
