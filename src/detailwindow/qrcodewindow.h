#pragma once

#include "contacts/contactref.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace tovanel {

// A contact as a QR code that a phone camera reads at arm's length, with a word under it about what the
// code leaves out to fit.
class QrCodeWindow final : public QDialog {
    Q_OBJECT
public:
    explicit QrCodeWindow(const ContactRef& contact, QWidget* parent = nullptr);

    QLabel* picture() const { return m_picture; }
    QLabel* omitted() const { return m_omitted; }
    // The vCard text the code holds; empty when the contact fits no code.
    QByteArray cardText() const { return m_cardText; }

    // Opens the window for `contact` over `parent`, modal like the windows it is opened from; it deletes
    // itself when closed.
    static QrCodeWindow* open(const ContactRef& contact, QWidget* parent);

private:
    QLabel* m_picture;
    QLabel* m_omitted;
    QPushButton* m_closeButton;
    QByteArray m_cardText;
};

} // namespace tovanel
