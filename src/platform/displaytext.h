#pragma once

#include <QString>
#include <QStringList>
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

// The first `max` characters of `text` followed by "…", or the text as it is when it is no longer; the
// cut never splits a surrogate pair.
QString cutText(QStringView text, qsizetype max);

// `text` on one line: each line break (CR LF, CR or LF) becomes a blank.
QString oneLine(QString text);

// The name of the file at `path` as the screen shows it (displayText): in a title, a list cell, a menu
// entry or a message.
QString shownFileName(const QString& path);
// The same in German quotes: „name“.
QString quotedFileName(const QString& path);
// The shown names of the files at `paths`, in order: a name that two different files share gets as many
// of its folders as tell them apart ("alt/kontakte.vcf", "neu/kontakte.vcf").
QStringList distinguishingFileNames(const QStringList& paths);

// The most characters a list cell shows, wider than any cell can be at the window's largest size.
inline constexpr qsizetype MaxListCellChars = 1000;
// What of a cell's text a list sorts by: what the cell shows, so texts alike in all of that keep their
// order and no collation key is made for megabytes of one cell.
inline QStringView sortedPart(QStringView text) {
    return text.size() <= MaxListCellChars ? text : text.first(MaxListCellChars);
}

// `text` as a cell of a list shows it and its tooltip repeats it: as displayText, cut after MaxListCellChars
// characters with "…". A cell shows one elided line, and laying out megabytes only to elide them would
// stall every repaint. The cut never splits a surrogate pair.
QString cellText(QStringView text);

} // namespace tovanel
