// Photos of a card: decoded under limits, since a card may claim any size and a photo of a contact is
// small.
#include "cardphoto.h"

#include "cardlines.h"
#include "decoders.h"

#include <QBuffer>
#include <QImageReader>

namespace {

constexpr qsizetype MaxPhotoBytes = qsizetype(16) << 20;
constexpr qint64 MaxPhotoPixels = qint64(25) << 20;
constexpr int PhotoAllocationLimitMb = 128;

// Decodes a photo's bytes under the limits: at most `fit` when given (a JPEG is then decoded at a
// fraction of its size, which is many times faster), else whole. `full` is set to the size the picture
// claims. Null when the bytes are no picture, or claim too many pixels.
QImage decodePhotoBytes(const QByteArray& bytes, QSize fit, QSize* full = nullptr, bool headerOnly = false) {
    if (bytes.isEmpty() || bytes.size() > MaxPhotoBytes) {
        return {};
    }
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader::setAllocationLimit(PhotoAllocationLimitMb);
    QImageReader reader(&buffer);
    const QSize claimed = reader.size();
    if (!claimed.isValid() || claimed.isEmpty() ||
        qint64(claimed.width()) * claimed.height() > MaxPhotoPixels) {
        return {};
    }
    if (headerOnly) {
        *full = claimed;
        return {};
    }
    if (fit.isValid() && (claimed.width() > fit.width() || claimed.height() > fit.height())) {
        reader.setScaledSize(claimed.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        return {};
    }
    if (full != nullptr) {
        *full = claimed;
    }
    return image;
}

} // namespace

CardRow photoRow(CardLines& card, const CardLine& line, bool decode) {
    CardRow row;
    row.label = QStringLiteral("Foto");
    const QByteArrayView value = line.value.trimmed();
    QByteArray bytes;
    if (value.startsWith("data:")) {
        const qsizetype comma = value.indexOf(',');
        const QByteArray header = value.first(comma < 0 ? 0 : comma).toByteArray().toLower();
        if (comma >= 0 && header.endsWith(";base64")) {
            bytes = decodeBase64(value.sliced(comma + 1));
        }
    } else if (line.parameters.base64) {
        if (value.size() / 4 * 3 <= MaxPhotoBytes) {
            bytes = decodeBase64(value);
        }
    } else {
        // A photo given by its address: the program uses no network, so the address is all there is.
        row.value = card.text(line, value).trimmed();
        if (!row.value.isEmpty()) {
            return row;
        }
    }
    QSize full;
    row.image = decodePhotoBytes(bytes, QSize(PhotoPreviewWidth, PhotoPreviewHeight), &full, !decode);
    if (!full.isValid()) {
        row.value = QStringLiteral("(kein lesbares Bild)");
    } else {
        row.photo = std::move(bytes);
        row.photoSize = full;
        row.value = QStringLiteral("[Bild %1x%2]").arg(full.width()).arg(full.height());
    }
    return row;
}

QImage previewPhoto(const QByteArray& photo) {
    return decodePhotoBytes(photo, QSize(PhotoPreviewWidth, PhotoPreviewHeight));
}

QImage fullPhoto(const CardRow& row) {
    const QImage image = decodePhotoBytes(row.photo, QSize());
    return image.isNull() ? row.image : image;
}
