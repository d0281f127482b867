#pragma once

#include "export/contactexport.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tovanel {

// "tovanel --export OUT [--format NAME] [--names FOLGE] FILE|FOLDER …": reads the files, and the vCard files
// of the folders, as the window would and writes all their contacts as one list, in file order, to OUT in
// `format`, or else in the format OUT's extension names, the names in `names` order. Needs a
// QGuiApplication for the PDF's fonts, no window. `message` holds the German lines for standard error: why
// it failed, or what the user should still know about a file that was written (cells shortened); empty
// when there is nothing to say.
struct CommandLineExport {
    bool written = false;
    QString message;
};
CommandLineExport exportVcardFiles(const QStringList& paths, const QString& outputPath,
                                   std::optional<ExportFormat> format = std::nullopt,
                                   NameOrder names = NameOrder::GivenFirst);

} // namespace tovanel
