#include "detailwindow/qrcodewindow.h"

#include "card/portablecard.h"
#include "card/qrcode.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovanel {

namespace {
// About 10 cm on a common screen: a phone held at arm's length still resolves the modules of a large code.
constexpr int CodeSide = 400;
} // namespace

QrCodeWindow::QrCodeWindow(const ContactRef& contact, QWidget* parent)
    : QDialog(parent), m_picture(new QLabel(this)), m_omitted(new QLabel(this)),
      m_closeButton(new QPushButton(QStringLiteral("Schließen"), this)) {
    setObjectName(QStringLiteral("QrCode"));
    setWindowTitle(QStringLiteral("QR-Code"));
    m_picture->setObjectName(QStringLiteral("qrPicture"));
    m_picture->setAlignment(Qt::AlignCenter);
    m_omitted->setObjectName(QStringLiteral("qrOmitted"));
    m_omitted->setWordWrap(true);
    m_omitted->setAlignment(Qt::AlignCenter);
    m_closeButton->setObjectName(QStringLiteral("qrClose"));
    m_closeButton->setDefault(true);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);

    const PortableCard card = portableCard(contact, fitsQrCode);
    m_cardText = card.text;
    if (card.text.isEmpty()) {
        m_omitted->setText(QStringLiteral("Der Kontakt ist zu groß für einen QR-Code."));
    } else {
        // Whole pixels a module keep the edges sharp; the code is drawn at least as large as CodeSide.
        const QImage first = qrCodeImage(card.text, 1);
        const int modules = first.width();
        const int moduleSize = std::max(2, (CodeSide + modules - 1) / modules);
        const QImage image = qrCodeImage(card.text, moduleSize);
        m_picture->setPixmap(QPixmap::fromImage(image));
        m_picture->setAccessibleName(QStringLiteral("QR-Code des Kontakts"));
        if (!card.omitted.isEmpty()) {
            m_omitted->setText(QStringLiteral("Nicht im QR-Code: ") +
                               card.omitted.join(QStringLiteral(", ")));
        }
    }
    m_omitted->setVisible(!m_omitted->text().isEmpty());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_picture);
    layout->addWidget(m_omitted);
    layout->addWidget(m_closeButton, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QrCodeWindow* QrCodeWindow::open(const ContactRef& contact, QWidget* parent) {
    auto* window = new QrCodeWindow(contact, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    return window;
}

} // namespace tovanel
