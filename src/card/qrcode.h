#pragma once

#include <QByteArray>
#include <QImage>

namespace tovanel {

// A QR code of `data` (byte mode, error correction level M, the smallest version it fits), as a black
// and white (grey-scale) picture of `moduleSize` pixels a module with the quiet zone of four modules the
// standard asks for. Null when the data does not fit the largest code.
QImage qrCodeImage(const QByteArray& data, int moduleSize);

// Whether `data` fits the largest QR code.
bool fitsQrCode(const QByteArray& data);

} // namespace tovanel
