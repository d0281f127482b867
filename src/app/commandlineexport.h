#pragma once

#include <QString>

namespace tovanel {

// "tovanel --export OUT FILE": reads FILE as the window would and writes all its contacts, in file order,
// to OUT in the format OUT's extension names. Needs a QGuiApplication for the PDF's fonts, no window.
// `message` holds the German lines for standard error: why it failed, or what the user should still know
// about a file that was written (cells shortened); empty when there is nothing to say.
struct CommandLineExport {
    bool written = false;
    QString message;
};
CommandLineExport exportVcardFile(const QString& vcardPath, const QString& outputPath);

} // namespace tovanel
