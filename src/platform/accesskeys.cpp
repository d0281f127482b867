#include "platform/accesskeys.h"

#include <QAction>
#include <QMenu>
#include <QSet>

namespace tovanel {

namespace {

// The position of the marked letter in `caption`, -1 for none ("&&" is a plain "&").
qsizetype markedLetter(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) == u'&') {
            if (caption.at(i + 1) != u'&') {
                return i + 1;
            }
            ++i;
        }
    }
    return -1;
}

// Where a mark may go: a letter or digit that is not itself part of an escaped "&&".
QList<qsizetype> candidates(const QString& caption) {
    QList<qsizetype> wordStarts;
    QList<qsizetype> others;
    bool inWord = false;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption.at(i);
        if (c == u'&') {
            ++i; // "&&"
            inWord = false;
            continue;
        }
        if (c.isLetterOrNumber()) {
            (inWord ? others : wordStarts).append(i);
            inWord = true;
        } else {
            inWord = false;
        }
    }
    return wordStarts + others;
}

} // namespace

void giveAccessKeys(QMenu& menu) {
    QSet<QString> taken;
    const QList<QAction*> items = menu.actions();
    for (const QAction* item : items) {
        const qsizetype marked = markedLetter(item->text());
        if (marked >= 0) {
            taken.insert(item->text().at(marked).toLower());
        }
    }
    for (QAction* item : items) {
        const QString caption = item->text();
        if (item->isSeparator() || caption.isEmpty() || markedLetter(caption) >= 0) {
            continue;
        }
        for (const qsizetype at : candidates(caption)) {
            const QString letter = caption.at(at).toLower();
            if (!taken.contains(letter)) {
                taken.insert(letter);
                item->setText(caption.left(at) + u'&' + caption.mid(at));
                break;
            }
        }
    }
}

} // namespace tovanel
