#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tovanel {

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
    // The save-file dialog offering `filters` ("Excel-Tabelle (*.xlsx)" …, the first preselected) and
    // proposing `suggestedPath`. A name typed without an extension gets the chosen filter's. It does not ask
    // about replacing a file that exists: chooseSaveFile does, after its own checks. An empty result means
    // the user cancelled, which is also the answer where nobody can be asked.
    virtual QString saveFile(const QStringList& filters, const QString& suggestedPath) {
        Q_UNUSED(filters)
        Q_UNUSED(suggestedPath)
        return {};
    }
    // A question answered with "Ja" or "Nein" ("Nein" preselected); "Nein" where nobody can be asked.
    virtual bool ask(const QString& question) {
        Q_UNUSED(question)
        return false;
    }
};

// Why a chosen file must not be written (German, for a message), or an empty text when it may be.
using SaveFileRefusal = std::function<QString(const QString& path)>;

// The save dialog until the user chooses a file that may be written or cancels: a file `refusal` names a
// reason for is refused at once, before any question whether to replace it (replacing would be refused
// anyway), and the dialog comes back; so it does after "Nein" to replacing a file that exists.
QString chooseSaveFile(Dialogs& dialogs, const QStringList& filters, const QString& suggestedPath,
                       const SaveFileRefusal& refusal);

} // namespace tovanel
