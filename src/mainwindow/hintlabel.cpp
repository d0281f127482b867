#include "mainwindow/hintlabel.h"

#include <QEvent>
#include <algorithm>
#include <cmath>

namespace tovanel {

namespace {

// WCAG's relative luminance and contrast ratio; 4.5 is its least contrast for text of this size.
double relativeLuminance(const QColor& colour) {
    const auto linear = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

constexpr double ReadableContrast = 4.5;

} // namespace

void HintLabel::followPalette() {
    const QColor window = palette().color(QPalette::Window);
    QColor colour(0x4A, 0x4A, 0x4A);
    if (window.lightnessF() < 0.5) {
        // Themes often give it as the text colour half transparent: painted over the window colour.
        const QColor placeholder = palette().color(QPalette::PlaceholderText);
        const float alpha = placeholder.alphaF();
        colour = QColor::fromRgbF(placeholder.redF() * alpha + window.redF() * (1 - alpha),
                                  placeholder.greenF() * alpha + window.greenF() * (1 - alpha),
                                  placeholder.blueF() * alpha + window.blueF() * (1 - alpha));
        if (contrastRatio(colour, window) < ReadableContrast) {
            colour = parentWidget() ? parentWidget()->palette().color(QPalette::WindowText) : Qt::white;
        }
    }
    // Setting the palette comes back here as a palette change; the same colour ends the round.
    if (palette().color(QPalette::WindowText) != colour ||
        !palette().isBrushSet(QPalette::Active, QPalette::WindowText)) {
        QPalette own;
        own.setColor(QPalette::WindowText, colour);
        setPalette(own);
    }
}

void HintLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        followPalette();
    }
}

} // namespace tovanel
