#pragma once

#include "platform/dialogs.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <functional>

namespace tovanel {

// Answers the program's questions in advance: records every message and every open dialog, and hands the
// open dialogs the queued file names in turn (an empty queue answers like "Abbrechen").
class FakeDialogs final : public Dialogs {
public:
    QStringList messages;
    QStringList openFileTypes; // the file types each open dialog was asked to offer
    QStringList nextFiles;
    // The answers of the dialogs where several files may be chosen; once these are used up, such a dialog
    // takes its one file from nextFiles.
    QList<QStringList> nextFileLists;
    // The save dialogs: what each was asked, and the queued answers (empty queue: "Abbrechen").
    QList<QStringList> saveFilters;
    QList<int> saveSelectedFilters;
    QStringList saveSuggestions;
    QStringList nextSaveFiles;
    // The filter chosen with each queued file; once these are used up, the first filter the file's extension
    // belongs to, else the one preselected.
    QList<int> nextSaveFilterChoices;
    // The queued answers to yes/no questions (empty queue: "Nein").
    QList<bool> nextAnswers;
    // Run while the message or the open dialog would be on screen, e.g. to look at the windows then.
    std::function<void(const QString&)> onMessage;
    std::function<void()> onOpenFile;
    std::function<void(const QString&)> onQuestion;

    void message(const QString& text) override {
        messages.append(text);
        if (onMessage) {
            onMessage(text);
        }
    }
    QString openFile(const QString& fileTypes) override {
        openFileTypes.append(fileTypes);
        if (onOpenFile) {
            onOpenFile();
        }
        return nextFiles.isEmpty() ? QString() : nextFiles.takeFirst();
    }
    QStringList openFiles(const QString& fileTypes) override {
        if (nextFileLists.isEmpty()) {
            return Dialogs::openFiles(fileTypes);
        }
        openFileTypes.append(fileTypes);
        if (onOpenFile) {
            onOpenFile();
        }
        return nextFileLists.takeFirst();
    }
    SaveChoice saveFile(const SaveRequest& request) override {
        saveFilters.append(request.filters);
        saveSelectedFilters.append(request.selectedFilter);
        saveSuggestions.append(request.suggestedPath);
        if (nextSaveFiles.isEmpty()) {
            return {};
        }
        SaveChoice choice{.path = nextSaveFiles.takeFirst(), .filter = request.selectedFilter};
        if (!nextSaveFilterChoices.isEmpty()) {
            choice.filter = nextSaveFilterChoices.takeFirst();
            return choice;
        }
        const QString suffix = QFileInfo(choice.path).suffix();
        for (qsizetype i = 0; i < request.filters.size(); ++i) {
            if (!suffix.isEmpty() &&
                filterSuffix(request.filters.at(i)).compare(suffix, Qt::CaseInsensitive) == 0) {
                choice.filter = int(i);
                break;
            }
        }
        return choice;
    }
    bool ask(const QString& question) override {
        if (onQuestion) {
            onQuestion(question);
        }
        return !nextAnswers.isEmpty() && nextAnswers.takeFirst();
    }
};

} // namespace tovanel
