// Photos of a card: decoded under limits, since a card may claim any size and a photo of a contact is
// small.
#include "card/cardphoto.h"

#include "vcard/cardlines.h"
#include "vcard/decoders.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <array>

namespace tovanel {

namespace {

constexpr qsizetype MaxPhotoBytes = qsizetype(16) << 20;
constexpr qint64 MaxPhotoPixels = qint64(25) << 20;
// A progressive JPEG keeps the coefficients of every component of the whole picture while it decodes, at
// whatever size it is shown; 8 megapixels of three colours is more than any contact photo needs.
constexpr qint64 MaxJpegPixels = qint64(8) << 20;
constexpr qint64 MaxJpegSamples = 3 * MaxJpegPixels;
constexpr int PhotoAllocationLimitMb = 128;
// The largest picture an icon directory can describe.
constexpr qint64 MaxIconSide = 256;

// Reading that fails once nobody wants the picture any more: the decoders stop at their next read.
class CancellableBuffer final : public QBuffer {
public:
    CancellableBuffer(QByteArray* data, const PhotoCancelled& cancelled)
        : QBuffer(data), m_cancelled(cancelled) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        return m_cancelled && m_cancelled() ? -1 : QBuffer::readData(data, maxSize);
    }

private:
    const PhotoCancelled& m_cancelled;
};

quint32 bigEndian32(QByteArrayView bytes, qsizetype at) {
    return qFromBigEndian<quint32>(bytes.data() + at);
}

// The samples (pixels times colour components) the frame header of a JPEG declares, or -1 without one.
qint64 jpegSamples(QByteArrayView jpeg) {
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xFF) {
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (at + 10 > jpeg.size()) {
                return -1;
            }
            const qint64 height = qFromBigEndian<quint16>(jpeg.data() + at + 5);
            const qint64 width = qFromBigEndian<quint16>(jpeg.data() + at + 7);
            return width * height * uchar(jpeg[at + 9]);
        }
        if (marker == 0xDA || marker == 0xD9) {
            return -1;
        }
        at += 2 + qFromBigEndian<quint16>(jpeg.data() + at + 2);
    }
    return -1;
}

// Whether every chunk of a PNG lies within its bytes. A chunk may claim up to 2 GB, and the decoder sets
// aside what a text chunk claims before it finds the bytes missing: 1.6 GB for a photo of 159 bytes.
bool pngChunksFit(QByteArrayView png) {
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const quint32 length = bigEndian32(png, at);
        if (length > quint64(png.size() - at - 12)) {
            return false;
        }
        if (png.sliced(at + 4, 4) == "IEND") {
            break;
        }
        at += 12 + qsizetype(length);
    }
    return true;
}

// Whether the decoder allocates no more than the claimed size. A GIF is decoded onto its canvas and an icon
// decodes the picture its directory points to, both of a size of their own that the claimed one does not
// show.
bool allocatesClaimedSize(QByteArrayView bytes, const QByteArray& format, QSize claimed) {
    if (format == "gif") {
        return bytes.size() >= 10 && qFromLittleEndian<quint16>(bytes.data() + 6) <= claimed.width() &&
               qFromLittleEndian<quint16>(bytes.data() + 8) <= claimed.height();
    }
    if (format == "ico" || format == "cur") {
        if (bytes.size() < 22) {
            return false;
        }
        const quint32 size = qFromLittleEndian<quint32>(bytes.data() + 14);
        const quint32 offset = qFromLittleEndian<quint32>(bytes.data() + 18);
        if (offset > quint32(bytes.size()) || size > quint32(bytes.size()) - offset || size < 24) {
            return false;
        }
        const QByteArrayView picture = bytes.sliced(offset, size);
        if (picture.startsWith("\x89PNG")) {
            return pngChunksFit(picture) && bigEndian32(picture, 16) <= MaxIconSide &&
                   bigEndian32(picture, 20) <= MaxIconSide;
        }
        // A bitmap's height counts its mask too.
        const auto width = qFromLittleEndian<qint32>(picture.data() + 4);
        const auto height = qFromLittleEndian<qint32>(picture.data() + 8);
        return qAbs(qint64(width)) <= MaxIconSide && qAbs(qint64(height)) <= 2 * MaxIconSide;
    }
    if (format == "jpeg") {
        const qint64 samples = jpegSamples(bytes);
        return samples > 0 && samples <= MaxJpegSamples &&
               qint64(claimed.width()) * claimed.height() <= MaxJpegPixels;
    }
    return true;
}

// Decodes a photo's bytes under the limits: fitted into `fit` when given, else whole. `full` is set to the
// size the picture claims. Null when the bytes are no picture, claim too many pixels, or decode to another
// size than they claim.
QImage decodePhotoBytes(const QByteArray& bytes, QSize fit, QSize* full = nullptr, bool headerOnly = false,
                        const PhotoCancelled& cancelled = {}) {
    if (bytes.isEmpty() || bytes.size() > MaxPhotoBytes) {
        return {};
    }
    QByteArray data = bytes;
    CancellableBuffer buffer(&data, cancelled);
    buffer.open(QIODevice::ReadOnly);
    QImageReader::setAllocationLimit(PhotoAllocationLimitMb);
    QImageReader reader(&buffer);
    // An icon's size is found by decoding its picture, so the picture is checked first.
    const QByteArray format = reader.format();
    if ((format == "ico" || format == "cur") && !allocatesClaimedSize(bytes, format, {})) {
        return {};
    }
    // Even the size is read past chunks that may claim gigabytes.
    if (format == "png" && !pngChunksFit(bytes)) {
        return {};
    }
    const QSize claimed = reader.size();
    if (!claimed.isValid() || claimed.isEmpty() ||
        qint64(claimed.width()) * claimed.height() > MaxPhotoPixels ||
        !allocatesClaimedSize(bytes, format, claimed)) {
        return {};
    }
    if (headerOnly) {
        *full = claimed;
        return {};
    }
    const bool shrink = fit.isValid() && (claimed.width() > fit.width() || claimed.height() > fit.height());
    const QSize shown = shrink ? claimed.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)) : claimed;
    // A decoder that cannot decode scaled decodes whole, and its picture is checked before it is scaled:
    // scaled by the reader, any size would pass.
    const bool scalesItself = reader.supportsOption(QImageIOHandler::ScaledSize);
    if (shrink && scalesItself) {
        reader.setScaledSize(shown);
    }
    QImage image;
    if (!reader.read(&image) || image.size() != (scalesItself ? shown : claimed)) {
        return {};
    }
    if (image.size() != shown) {
        image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (full != nullptr) {
        *full = claimed;
    }
    return image;
}

// Photo data that some exporters write without ENCODING: base64 has no ":", which every address has.
bool looksBase64(QByteArrayView value) {
    return value.size() >= 8 && std::all_of(value.begin(), value.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '+' || c == '/' || c == '=' || c == ' ' || c == '\t';
           });
}

// The name of a picture format that no installed plug-in reads, by the bytes it starts with; empty for
// bytes of a readable format or of none known.
QString unreadableFormat(const QByteArray& bytes) {
    // Sized by the literal, not by its first zero byte.
    const auto signature = [](const auto& literal) { return QByteArrayView(literal, sizeof(literal) - 1); };
    const std::array<std::pair<QByteArrayView, const char*>, 4> signatures{{
        {signature("II*\0"), "TIFF"},
        {signature("MM\0*"), "TIFF"},
        {signature("\0\0\0\x0CjP  "), "JPEG 2000"},
        {signature("\xFF\x4F\xFF\x51"), "JPEG 2000"},
    }};
    QString name;
    QByteArray format;
    for (const auto& [start, formatName] : signatures) {
        if (bytes.startsWith(start)) {
            name = QString::fromUtf8(formatName);
            format = name == QLatin1String("TIFF") ? "tiff" : "jp2";
        }
    }
    // ISO media files: HEIF pictures (also HEIC) and AVIF, told apart by their brand.
    if (bytes.size() >= 12 && bytes.sliced(4, 4) == "ftyp") {
        const QByteArray brand = bytes.sliced(8, 4);
        if (brand == "avif" || brand == "avis") {
            name = QStringLiteral("AVIF");
            format = "avif";
        } else if (brand.startsWith("hei") || brand.startsWith("hev") || brand == "mif1" || brand == "msf1") {
            name = QStringLiteral("HEIC");
            format = "heic";
        }
    }
    if (bytes.startsWith("RIFF") && bytes.size() >= 12 && bytes.sliced(8, 4) == "WEBP") {
        name = QStringLiteral("WebP");
        format = "webp";
    }
    if (name.isEmpty() || QImageReader::supportedImageFormats().contains(format)) {
        return {};
    }
    return name;
}

} // namespace

bool PhotoBudget::take(QSize size) {
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels > m_pixelsLeft) {
        return false;
    }
    m_pixelsLeft -= pixels;
    return true;
}

EmbeddedData dataAddressData(QByteArrayView value, qsizetype maxBytes) {
    EmbeddedData data;
    data.form = EmbeddedData::Form::DataUri;
    const qsizetype comma = value.indexOf(',');
    QByteArray header = value.first(comma < 0 ? 0 : comma).toByteArray().toLower();
    // vCard 3 escapes the comma of a text value, and some exporters escape it in an address too.
    if (header.endsWith('\\')) {
        header.chop(1);
    }
    // "data:base64," without a media type is written too.
    if (comma >= 0 && (header.endsWith(";base64") || header == "data:base64")) {
        data.mediaType = header.mid(5, header.size() - 5 - 7);
        if (value.size() / 4 * 3 <= maxBytes) {
            data.bytes = decodeBase64(value.sliced(comma + 1));
        }
    }
    return data;
}

EmbeddedData embeddedData(CardLines& card, const CardLine& line, bool guessBase64, qsizetype maxBytes) {
    EmbeddedData data;
    const QByteArrayView value = line.value.trimmed();
    if (value.startsWith("data:")) {
        data = dataAddressData(value, maxBytes);
    } else if (line.parameters.base64 ||
               // A value that says what it is (an address) is no base64, whatever it looks like.
               (guessBase64 && !line.parameters.encodingGiven && line.parameters.valueType.isEmpty() &&
                looksBase64(value))) {
        data.form = line.parameters.base64 ? EmbeddedData::Form::Base64 : EmbeddedData::Form::Unmarked;
        if (value.size() / 4 * 3 <= maxBytes) {
            data.bytes = decodeBase64(value);
        }
    } else {
        data.address = card.text(line, value).trimmed();
        // A "data:" address that only shows as one once decoded (quoted-printable) is one all the same.
        if (data.address.startsWith(QLatin1String("data:"))) {
            data = dataAddressData(data.address.toUtf8(), maxBytes);
        }
    }
    return data;
}

CardRow photoRow(CardLines& card, const CardLine& line, bool decode, PhotoBudget& budget) {
    CardRow row;
    row.label = QStringLiteral("Foto");
    EmbeddedData data = embeddedData(card, line, true, MaxPhotoBytes);
    if (data.form == EmbeddedData::Form::Address) {
        // A photo given by its address: the program uses no network, so the address is all there is.
        row.value = std::move(data.address);
        if (!row.value.isEmpty()) {
            return row;
        }
    }
    QByteArray bytes = std::move(data.bytes);
    QSize full;
    decodePhotoBytes(bytes, {}, &full, true);
    if (full.isValid() && !budget.take(full)) {
        full = {};
    }
    if (full.isValid() && decode) {
        row.image = decodePhotoBytes(bytes, QSize(PhotoPreviewWidth, PhotoPreviewHeight));
        if (row.image.isNull()) {
            full = {};
        }
    }
    if (!full.isValid()) {
        const QString format = unreadableFormat(bytes);
        row.value = format.isEmpty() ? QStringLiteral("(kein lesbares Bild)")
                                     : QStringLiteral("(Bildformat %1 wird nicht unterstützt)").arg(format);
    } else {
        row.photo = std::move(bytes);
        row.photoSize = full;
        row.value = QStringLiteral("[Bild %1x%2]").arg(full.width()).arg(full.height());
    }
    return row;
}

QImage previewPhoto(const QByteArray& photo, QSize box, const PhotoCancelled& cancelled) {
    return decodePhotoBytes(photo, box.boundedTo(QSize(PhotoPreviewWidth, PhotoPreviewHeight)), nullptr,
                            false, cancelled);
}

QImage fullPhoto(const CardRow& row, const PhotoCancelled& cancelled) {
    const QImage image = decodePhotoBytes(row.photo, QSize(), nullptr, false, cancelled);
    return image.isNull() ? row.image : image;
}

} // namespace tovanel
