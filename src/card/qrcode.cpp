#include "card/qrcode.h"

#include <algorithm>
#include <memory>
#include <qrencode.h>

namespace tovanel {

namespace {

constexpr int QuietZone = 4;

struct CodeDeleter {
    void operator()(QRcode* code) const { QRcode_free(code); }
};
using Code = std::unique_ptr<QRcode, CodeDeleter>;

Code encode(const QByteArray& data) {
    if (data.isEmpty() || data.size() > 8192) {
        return nullptr;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const bool ascii = std::all_of(data.cbegin(), data.cend(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) {
        return Code(QRcode_encodeData(int(data.size()), bytes, 0, QR_ECLEVEL_M));
    }
    // Without saying so a reader may take the bytes for Latin-1 or Shift JIS: "Müller" would come out
    // garbled. ECI 26 names UTF-8.
    const std::unique_ptr<QRinput, decltype(&QRinput_free)> input(QRinput_new2(0, QR_ECLEVEL_M),
                                                                  QRinput_free);
    if (!input || QRinput_appendECIheader(input.get(), 26) != 0 ||
        QRinput_append(input.get(), QR_MODE_8, int(data.size()), bytes) != 0) {
        return nullptr;
    }
    return Code(QRcode_encodeInput(input.get()));
}

} // namespace

bool fitsQrCode(const QByteArray& data) {
    return encode(data) != nullptr;
}

QImage qrCodeImage(const QByteArray& data, int moduleSize) {
    const Code code = encode(data);
    if (!code || moduleSize < 1) {
        return {};
    }
    const int side = (code->width + 2 * QuietZone) * moduleSize;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < code->width * moduleSize; ++y) {
        uchar* line = image.scanLine(y + QuietZone * moduleSize) + QuietZone * moduleSize;
        const unsigned char* modules = code->data + (y / moduleSize) * code->width;
        for (int x = 0; x < code->width * moduleSize; ++x) {
            // The lowest bit of a module says whether it is dark; the others are the encoder's bookkeeping.
            if (modules[x / moduleSize] & 1) {
                line[x] = 0;
            }
        }
    }
    return image;
}

} // namespace tovanel
