#include "detailwindow/sourceview.h"

#include "detailwindow/sourcedisplay.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace tovanel {

SourceView::SourceView(QWidget* parent) : QPlainTextEdit(parent) {
    // The card's lines as the file holds them: columns line up, and a long line breaks only at the edge,
    // never after a hyphen, where its rest would look like a line of its own.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setWordWrapMode(QTextOption::WrapAnywhere);
}

void SourceView::setCard(QString card) {
    const QString shown = sourceDisplayText(card);
    m_card = std::move(card);
    setPlainText(shown);
}

QString SourceView::fullText() const {
    return sourceCopyText(m_card);
}

bool SourceView::allSelected() const {
    const QTextCursor cursor = textCursor();
    return cursor.selectionStart() == 0 && cursor.selectionEnd() >= document()->characterCount() - 1;
}

bool SourceView::event(QEvent* event) {
    // A copy with nothing selected copies the whole card; without this the menu's "Kopieren" shortcut
    // would take the key and find nothing to copy.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QPlainTextEdit::event(event);
}

void SourceView::copyToClipboard() const {
    QGuiApplication::clipboard()->setMimeData(createMimeDataFromSelection());
}

void SourceView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copyToClipboard();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

QMimeData* SourceView::createMimeDataFromSelection() const {
    if (!textCursor().hasSelection() || allSelected()) {
        auto* mime = new QMimeData;
        mime->setText(fullText());
        return mime;
    }
    return QPlainTextEdit::createMimeDataFromSelection();
}

} // namespace tovanel
