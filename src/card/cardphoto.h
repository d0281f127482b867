#pragma once

#include "card/cardrow.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace tovanel {

struct CardLine;
class CardLines;

// Asked while a photo's bytes are read; true stops the decoding.
using PhotoCancelled = std::function<bool()>;

// A photo's picture fitted into `box` (at most the preview box), decoded straight to that size where the
// format allows it, else decoded whole and scaled; null when its bytes do not decode within the limits, or
// the decoding was cancelled.
QImage previewPhoto(const QByteArray& photo, QSize box = QSize(PhotoPreviewWidth, PhotoPreviewHeight),
                    const PhotoCancelled& cancelled = {});
// A photo row's picture at its full size, decoded anew under the same limits (the preview when that fails).
QImage fullPhoto(const CardRow& row, const PhotoCancelled& cancelled = {});

// What the photos of one card may take, decoded, all together: a card may hold any number of photos.
class PhotoBudget final {
public:
    // Whether a photo of `size` still fits; if so, it is counted.
    bool take(QSize size);

private:
    qint64 m_pixelsLeft = qint64(32) << 20;
};

// What a PHOTO, LOGO, SOUND or KEY line holds: bytes written into the card (base64, or a "data:" address),
// or the address of a file elsewhere.
struct EmbeddedData {
    enum class Form { Address, DataUri, Base64, Unmarked };
    Form form = Form::Address;
    QByteArray bytes;     // not for an address, nor for more than the reader's `maxBytes`
    QByteArray mediaType; // a "data:" address's, such as "image/jpeg"; may be empty
    QString address;
};
// The bytes of a "data:" address (RFC 2397) in base64; none for another kind of data address.
EmbeddedData dataAddressData(QByteArrayView value, qsizetype maxBytes);
// `guessBase64`: bytes written without ENCODING, as some exporters write photos, are taken for base64 when
// they look so.
EmbeddedData embeddedData(CardLines& card, const CardLine& line, bool guessBase64, qsizetype maxBytes);

// A photo row from a PHOTO line: the picture at preview size (only when `decode`, else just its claimed size
// and bytes), "(kein lesbares Bild)" for bytes that are no picture or exceed the limits, or the address of a
// photo given by one.
CardRow photoRow(CardLines& card, const CardLine& line, bool decode, PhotoBudget& budget);

} // namespace tovanel
