#include "platform/displaytext.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace tovanel {

namespace {

bool isDirectionControl(char16_t c) {
    // Unsigned wrap-around turns each range test into one compare.
    return char16_t(c - 0x202A) <= 0x202E - 0x202A || char16_t(c - 0x2066) <= 0x2069 - 0x2066;
}

// U+FFFD rather than removing the control or writing its code point: the reader sees that something
// stood there, the mark takes one column like any other character so columns and cut positions stay
// where they were, and its own direction is neutral, so it reorders nothing around it.
constexpr char16_t Mark = u'\uFFFD';

} // namespace

bool hasDirectionControls(QStringView text) {
    for (const QChar c : text) {
        if (isDirectionControl(c.unicode())) {
            return true;
        }
    }
    return false;
}

QString displayText(QString text) {
    if (!hasDirectionControls(text)) {
        return text;
    }
    for (QChar& c : text) {
        if (isDirectionControl(c.unicode())) {
            c = QChar(Mark);
        }
    }
    return text;
}

QString cutText(QStringView text, qsizetype max) {
    if (text.size() <= max) {
        return text.toString();
    }
    const qsizetype cut = max > 0 && text.at(max).isLowSurrogate() ? max - 1 : max;
    QString shown;
    shown.reserve(cut + 1);
    shown.append(text.first(cut));
    shown.append(u'…');
    return shown;
}

QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

QString cellText(QStringView text) {
    return displayText(cutText(text, MaxListCellChars));
}

QString shownFileName(const QString& path) {
    // A name may hold a line break; in a message of one line per file it would pass for two files.
    return oneLine(displayText(QFileInfo(path).fileName()));
}

QString quotedFileName(const QString& path) {
    return u'„' + shownFileName(path) + u'“';
}

QStringList distinguishingFileNames(const QStringList& paths) {
    QStringList names;
    names.reserve(paths.size());
    QHash<QString, QList<qsizetype>> sharing;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        names << QFileInfo(paths[i]).fileName();
        sharing[names.constLast()].append(i);
    }
    for (const QList<qsizetype>& files : std::as_const(sharing)) {
        if (files.size() < 2) {
            continue;
        }
        QStringList absolute;       // each file's whole path, which tells the same file twice
        QList<QStringList> folders; // each file's folders, the nearest first
        qsizetype deepest = 0;
        for (const qsizetype file : files) {
            const QFileInfo info(paths[file]);
            absolute << info.absoluteFilePath();
            QStringList parts = info.absolutePath().split(u'/', Qt::SkipEmptyParts);
            std::reverse(parts.begin(), parts.end());
            deepest = std::max(deepest, parts.size());
            folders << parts;
        }
        if (QSet<QString>(absolute.begin(), absolute.end()).size() < 2) {
            continue;
        }
        // One more folder for all of them until every different file has a name of its own; the same
        // file twice keeps the same name.
        for (qsizetype depth = 1; depth <= deepest; ++depth) {
            QHash<QString, QString> pathOf;
            bool apart = true;
            for (qsizetype i = 0; i < files.size() && apart; ++i) {
                const QString label = QStringList(folders[i].mid(0, depth)).join(u'/');
                apart = pathOf.value(label, absolute[i]) == absolute[i];
                pathOf.insert(label, absolute[i]);
            }
            if (apart || depth == deepest) {
                for (qsizetype i = 0; i < files.size(); ++i) {
                    QStringList shown = folders[i].mid(0, depth);
                    std::reverse(shown.begin(), shown.end());
                    names[files[i]] = shown.join(u'/') + u'/' + names[files[i]];
                }
                break;
            }
        }
    }
    for (QString& name : names) {
        name = oneLine(displayText(std::move(name)));
    }
    return names;
}

} // namespace tovanel
