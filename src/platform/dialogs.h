#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tovanel {

// What a save dialog offers.
struct SaveRequest {
    QStringList filters;
    int selectedFilter = 0;
    QString suggestedPath;
    // The filter under which the name chosen is a folder to write into; -1 when none is.
    int folderFilter = -1;
};

// What the user chose in a save dialog: the path (empty: cancelled) and the index of the filter.
struct SaveChoice {
    QString path;
    int filter = -1;
};

// The extension a save dialog's filter gives a name ("xlsx" for "Excel-Tabelle (*.xlsx)"), or an empty text
// for a filter without one ("(*)").
QString filterSuffix(const QString& filter);

// The one way the program asks the user something. Window code never calls QMessageBox or QFileDialog
// directly, so tests can answer in advance and the command-line tools can answer without a display.
class Dialogs {
public:
    Dialogs() = default;
    virtual ~Dialogs() = default;
    Q_DISABLE_COPY_MOVE(Dialogs)

    // A modal message with one OK button; lines are separated by "\n".
    virtual void message(const QString& text) = 0;
    // The open-file dialog offering the named file types (e.g. "vcf Files;text File");
    // an empty result means the user cancelled.
    virtual QString openFile(const QString& fileTypes) = 0;
    // The same dialog where several files may be chosen at once; empty when the user cancelled.
    virtual QStringList openFiles(const QString& fileTypes) {
        const QString file = openFile(fileTypes);
        return file.isEmpty() ? QStringList() : QStringList{file};
    }
    // The save-file dialog offering `request.filters` ("Excel-Tabelle (*.xlsx)" …) with one preselected,
    // and which of them the user chose. A name typed without an extension gets the chosen filter's; under
    // the folder filter the name chosen is a folder (one that exists, or a new name) and not entered. It
    // does not ask about replacing a file that exists: chooseSaveFile does, after its own checks. An empty
    // path means the user cancelled, which is also the answer where nobody can be asked.
    virtual SaveChoice saveFile(const SaveRequest& request) {
        Q_UNUSED(request)
        return {};
    }
    // A question answered with "Ja" or "Nein" ("Nein" preselected); "Nein" where nobody can be asked.
    virtual bool ask(const QString& question) {
        Q_UNUSED(question)
        return false;
    }
};

// Why a chosen file must not be written (German, for a message), or an empty text when it may be.
using SaveFileRefusal = std::function<QString(const SaveChoice& choice)>;

// The save dialog until the user chooses a file that may be written or cancels. A name without an extension
// gets the chosen filter's, whatever the dialog did. A file `refusal` names a reason for is refused at
// once, before any question whether to replace it (replacing would be refused anyway), and the dialog comes
// back, with the filter last chosen; so it does after "Nein" to replacing a file that exists. A folder that
// passed `refusal` is written into, not replaced: nobody is asked about it.
SaveChoice chooseSaveFile(Dialogs& dialogs, SaveRequest request, const SaveFileRefusal& refusal);

} // namespace tovanel
