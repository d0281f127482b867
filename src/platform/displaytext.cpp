#include "platform/displaytext.h"

#include <QFileInfo>

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
    return displayText(QFileInfo(path).fileName());
}

QString quotedFileName(const QString& path) {
    return u'„' + shownFileName(path) + u'“';
}

} // namespace tovanel
