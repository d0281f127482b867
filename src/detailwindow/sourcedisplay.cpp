#include "detailwindow/sourcedisplay.h"

#include "platform/displaytext.h"
#include "platform/germantext.h"

#include <QRegularExpression>

namespace tovanel {

using namespace SourceLimits;

namespace {

struct Line {
    qsizetype end;  // one past the line's last character
    qsizetype next; // the start of the next line; end when the text ends without a break
};

// The line starting at `from`, ended by LF, by the CRs before an LF, or by a lone CR, as the import reads it.
// The two searches run vectorised, which matters when a card is tens of megabytes of short lines.
Line lineAt(QStringView text, qsizetype from) {
    const QStringView rest = text.sliced(from);
    qsizetype lf = rest.indexOf(u'\n');
    const qsizetype cr = (lf < 0 ? rest : rest.first(lf)).indexOf(u'\r');
    if (cr >= 0) {
        qsizetype run = cr;
        while (run < rest.size() && rest[run] == u'\r') {
            ++run;
        }
        const bool toLf = run < rest.size() && rest[run] == u'\n';
        return {from + cr, from + (toLf ? run + 1 : cr + 1)};
    }
    if (lf >= 0) {
        return {from + lf, from + lf + 1};
    }
    return {text.size(), text.size()};
}

bool isContinuation(QStringView text, qsizetype start) {
    return start > 0 && start < text.size() && (text[start] == u' ' || text[start] == u'\t');
}

} // namespace

QString sourceDisplayText(QStringView card) {
    QString shown;
    shown.reserve(std::min(card.size(), MaxViewChars) + 200);
    qsizetype pos = 0;
    qsizetype foldedLines = 0; // continuation lines of the current property shown so far
    while (pos < card.size()) {
        if (shown.size() >= MaxViewChars) {
            shown += QStringLiteral("… (noch %1 Zeichen)").arg(germanNumber(card.size() - pos));
            break;
        }
        const bool continuation = isContinuation(card, pos);
        foldedLines = continuation ? foldedLines + 1 : 0;
        if (continuation && foldedLines > MaxFoldedLines) {
            // The rest of this property is left out and only counted.
            qsizetype lines = 0;
            qsizetype chars = 0;
            Line line{pos, pos};
            while (isContinuation(card, pos)) {
                line = lineAt(card, pos);
                ++lines;
                chars += line.end - pos;
                pos = line.next;
            }
            shown += QStringLiteral(" … (%1 weitere Zeilen mit %2 Zeichen)")
                         .arg(germanNumber(lines), germanNumber(chars));
            if (line.end < card.size()) {
                shown += u'\n';
            }
            continue;
        }
        const Line line = lineAt(card, pos);
        const qsizetype length = line.end - pos;
        if (length > MaxLineChars) {
            shown += card.sliced(pos, MaxLineChars);
            shown += QStringLiteral("… (%1 Zeichen mehr)").arg(germanNumber(length - MaxLineChars));
        } else {
            shown += card.sliced(pos, length);
        }
        if (line.end < card.size()) {
            shown += u'\n';
        }
        pos = line.next;
    }
    return displayText(std::move(shown));
}

QString sourceCopyText(QStringView card) {
    QString text = card.toString();
    static const QRegularExpression crsBeforeLf(QStringLiteral("\r+\n"));
    text.replace(crsBeforeLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString boxText(QStringView label, QStringView value) {
    // Only as much of the value as could be shown is copied, however long the value is.
    QString text = label.toString();
    text += QLatin1String(":\n");
    text += value.first(std::min(value.size(), MaxBoxChars + 1));
    return boxText(text);
}

QString boxText(QStringView text) {
    int lines = 1;
    int column = 0;
    qsizetype i = 0;
    for (; i < text.size() && i < MaxBoxChars; ++i) {
        if (text[i] == u'\n') {
            column = 0;
        } else if (++column <= BoxLineWidth) {
            continue;
        } else {
            // A long line wraps in the box and takes the room of several.
            column = 1;
        }
        if (++lines > MaxBoxLines) {
            break;
        }
    }
    if (i == text.size()) {
        return displayText(text.toString());
    }
    return displayText(text.first(i).toString() + u'…');
}

} // namespace tovanel
