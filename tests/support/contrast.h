#pragma once

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace tovanel {

// WCAG 2 contrast between two opaque colours: 1 (none) to 21 (black on white).
inline double wcagContrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark desktop theme's colours (those of Breeze Dark); `placeholder` is its colour for secondary text.
inline QPalette darkPalette(const QColor& placeholder) {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x31, 0x36, 0x3b));
    palette.setColor(QPalette::WindowText, QColor(0xfc, 0xfc, 0xfc));
    palette.setColor(QPalette::Base, QColor(0x1b, 0x1e, 0x20));
    palette.setColor(QPalette::Text, QColor(0xfc, 0xfc, 0xfc));
    palette.setColor(QPalette::Button, QColor(0x31, 0x36, 0x3b));
    palette.setColor(QPalette::ButtonText, QColor(0xfc, 0xfc, 0xfc));
    palette.setColor(QPalette::PlaceholderText, placeholder);
    return palette;
}

// Switches the application's palette as a desktop's theme switch does; widgets hear of it through posted
// events, which are delivered here.
inline void switchPalette(const QPalette& palette) {
    QApplication::setPalette(palette);
    QCoreApplication::sendPostedEvents();
}

} // namespace tovanel
