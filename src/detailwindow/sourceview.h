#pragma once

#include <QPlainTextEdit>

namespace tovanel {

// The source view's text area. It shows a card shortened where needed (sourceDisplayText), but copying
// all of it, or copying with nothing selected, gives the whole card as read, not the shortened display.
class SourceView final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit SourceView(QWidget* parent = nullptr);

    // Shows `card`, the text as read from the file. May throw std::bad_alloc.
    void setCard(QString card);
    void clearCard() { setCard({}); }
    // The text a copy of everything gives: the whole card, one line break for CR LF, CR or LF.
    QString fullText() const;
    // Copies the selected text, or the whole card when nothing or everything is selected.
    void copyToClipboard() const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    bool allSelected() const;

    QString m_card;
};

} // namespace tovanel
