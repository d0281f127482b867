#pragma once

#include <QString>
#include <QStringView>

namespace tovanel {

// How much of a card the source view and the double-click box show. A text area lays out an unbroken
// line in time that grows with the square of its length and keeps a block per line, so a card with a
// 500 KB line, a photo of many megabytes or a million folded lines would freeze the window for minutes;
// these limits keep what is laid out small while ordinary cards are shown in full.
namespace SourceLimits {
// A longer line is cut and ends in a note of how many characters are left out.
constexpr qsizetype MaxLineChars = 2000;
// A property folded over more lines than this (a photo, as a rule) shows only its first lines.
constexpr qsizetype MaxFoldedLines = 1000;
// The whole view holds about this many characters; the rest is summed up in a closing note.
constexpr qsizetype MaxViewChars = 400'000;
// The double-click box: lines (a long line counts once per BoxLineWidth characters begun) and characters.
constexpr int MaxBoxLines = 30;
constexpr int BoxLineWidth = 100;
constexpr qsizetype MaxBoxChars = 2000;
} // namespace SourceLimits

// A card's text as the source view shows it: one line break for CR LF, CR or LF; within the limits
// above, cut with German notes of what is left out; direction controls made visible (displayText).
// A card within the limits is shown exactly as it is in the file.
QString sourceDisplayText(QStringView card);

// A card's text as copied out of the source view: the whole of it, with one line break for CR LF, CR
// or LF as in the view.
QString sourceCopyText(QStringView card);

// "label:\nvalue" as the double-click box shows it: at most MaxBoxLines lines and MaxBoxChars
// characters, ending in "…" when cut, so that the box and its button fit on the screen.
QString boxText(QStringView label, QStringView value);
// `text` cut to the same limits, for a tooltip.
QString boxText(QStringView text);

} // namespace tovanel
