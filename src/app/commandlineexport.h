#pragma once

#include <QString>

namespace tovanel {

// "tovanel --export OUT FILE": reads FILE as the window would and writes all its contacts, in file order,
// to OUT in the format OUT's extension names. Needs a QGuiApplication for the PDF's fonts, no window.
// Returns an empty text on success, else the German message for standard error.
QString exportVcardFile(const QString& vcardPath, const QString& outputPath);

} // namespace tovanel
