#pragma once

#include <QString>
#include <QStringView>

namespace tovanel {

// Whether `text` holds a bidirectional embedding, override or isolate control (U+202A–U+202E,
// U+2066–U+2069).
bool hasDirectionControls(QStringView text);

// `text` as the program shows it on screen: every bidirectional embedding, override or isolate control
// is replaced by U+FFFD, so that a name such as "gnp.exe" behind a right-to-left override cannot pass
// for "exe.png". Text without such controls comes back as it was handed in, without a copy. Only for
// display: copying, dragging and the table dump keep the text as read.
QString displayText(QString text);

// The most characters a list cell shows, wider than any cell can be at the window's largest size.
inline constexpr qsizetype MaxListCellChars = 1000;

// `text` as a cell of a list shows it and its tooltip repeats it: as displayText, cut after MaxListCellChars
// characters with "…". A cell shows one elided line, and laying out megabytes only to elide them would
// stall every repaint. The cut never splits a surrogate pair.
QString cellText(QStringView text);

} // namespace tovanel
