#pragma once

#include "platform/linereader.h"
#include "vcard/asciicase.h"
#include "vcard/propertyline.h"

#include <QByteArrayView>
#include <string>

namespace tovanel {

// How the physical lines of a vCard file make up its property lines: a line that starts with a blank
// folds onto the one before (the break and that blank go), and a quoted-printable value that ends in "="
// goes on in the next line whatever that line starts with. In a vCard 2.1 card, as Android writes and
// reads it, a value that ends in a backslash goes on in a next line that is no property (it has no
// ":"), the backslash and the break standing for a line break. The import and the reading of a whole card
// both assemble their lines here, so a value is the same wherever it is shown.
namespace LogicalLines {

// One property line as the assembler hands it out.
struct Line {
    int kind = 0;      // what the caller's classification made of the line's name
    bool keep = false; // the caller wants the line's text
    bool quotedPrintable = false;
    // Where the key ends, found on the first physical line; the lines that continue it add to the value only.
    qsizetype keyEnd = -1;
    bool unquotedKey = false;
    qint64 start = 0; // byte offset of the first physical line
    qint64 end = 0;   // byte offset just past the last physical line and its line break
};

// Reads `lines` to their end, handing each property line to `handle(const Line&, QByteArrayView text)`,
// which returns false to stop. Before its text is gathered, `classify(QByteArrayView name, Line&)` sets
// `kind` and `keep` from the property name (without group): the text of a line nobody keeps is never
// copied. A line of one physical line is handed straight from the reader's buffer; a longer one is joined
// in `joined`. Returns false when `handle` stopped the reading.
// Whether a line ends in a backslash that no other backslash escapes.
inline bool endsInBackslash(QByteArrayView line) {
    qsizetype count = 0;
    while (count < line.size() && line[line.size() - 1 - count] == '\\') {
        ++count;
    }
    return count % 2 == 1;
}

template <typename Classify, typename Handle>
bool forEach(LineReader& lines, std::string& joined, Classify&& classify, Handle&& handle) {
    const auto text = [&joined]() { return QByteArrayView(joined.data(), qsizetype(joined.size())); };
    Line pending;
    bool active = false;
    bool softBreak = false;
    bool version21 = false;      // the card so far says VERSION:2.1
    bool backslashBreak = false; // in such a card, the line before ended in a lone backslash
    QByteArrayView line;
    while (lines.readLine(line)) {
        if (active) {
            if (backslashBreak && !line.isEmpty() && !PropertyLexer::isBlank(line.front()) &&
                PropertyLexer::keyEnd(line) < 0) {
                if (pending.keep) {
                    joined.push_back('n'); // "\n": the escape of a line break
                    joined.append(line.data(), size_t(line.size()));
                }
                pending.end = lines.position();
                backslashBreak = endsInBackslash(line);
                continue;
            }
            backslashBreak = false;
            if (softBreak && (AsciiCase::is(line, "END:VCARD") || AsciiCase::is(line, "BEGIN:VCARD"))) {
                // Some exporters end a quoted-printable value with a dangling "=": taken as a soft line
                // break it would swallow the card's last line. That "=" ends the value instead.
                if (pending.keep && !joined.empty()) {
                    joined.pop_back();
                }
                softBreak = false;
            }
            if (softBreak) {
                // Quoted-printable soft line break: the value goes on, whitespace and all.
                if (pending.keep) {
                    if (!joined.empty()) {
                        joined.pop_back();
                    }
                    joined.append(line.data(), size_t(line.size()));
                }
                pending.end = lines.position();
                softBreak = line.endsWith('=');
                continue;
            }
            if (!line.isEmpty() && PropertyLexer::isBlank(line.front())) {
                // Folded line: the break and one whitespace character go.
                if (pending.keep) {
                    joined.append(line.data() + 1, size_t(line.size() - 1));
                }
                pending.end = lines.position();
                softBreak = pending.quotedPrintable && line.endsWith('=');
                continue;
            }
            if (!handle(pending, text())) {
                return false;
            }
        }
        pending = Line{};
        qsizetype nameEnd = 0;
        bool quoteInName = false;
        const QByteArrayView name = PropertyLexer::propertyName(line, nameEnd, quoteInName);
        classify(name, pending);
        // Whether the value is quoted-printable decides where the line ends, so it is looked for on every
        // line whose end could continue it, kept or not: the key is short, and mostly its end is found at
        // once after the name.
        pending.keyEnd = PropertyLexer::keyEndAfterName(line, nameEnd, quoteInName, &pending.unquotedKey);
        pending.quotedPrintable = PropertyLexer::declaresQuotedPrintable(line, pending.keyEnd);
        pending.start = lines.lineStart();
        pending.end = lines.position();
        softBreak = pending.quotedPrintable && line.endsWith('=');
        if (name.size() == 7 && AsciiCase::is(name, "VERSION")) {
            version21 = pending.keyEnd >= 0 && line.sliced(pending.keyEnd + 1).trimmed() == "2.1";
        } else if (name.size() == 5 && AsciiCase::is(name, "BEGIN")) {
            version21 = false;
        }
        backslashBreak = version21 && endsInBackslash(line);
        active = true;
        if (pending.keep) {
            // A value of one line is taken straight from the reader's buffer: a huge one is not copied.
            const int next = lines.peek();
            if (next < 0 || (!softBreak && !backslashBreak && next != ' ' && next != '\t')) {
                active = false;
                if (!handle(pending, lines.currentLine())) {
                    return false;
                }
                continue;
            }
            const QByteArrayView current = lines.currentLine();
            joined.assign(current.data(), size_t(current.size()));
        }
    }
    if (active && !lines.failed()) {
        return handle(pending, text());
    }
    return true;
}

} // namespace LogicalLines

} // namespace tovanel
