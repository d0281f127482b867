#pragma once

#include <QLabel>

namespace tovanel {

// The hint below the contact list. Its dark grey is meant for a light window; on a dark one it would all
// but vanish, so there the theme's own colour for secondary text takes over, or its plain text colour
// where that is too faint. It follows the palette when the desktop's theme changes while the program runs.
class HintLabel final : public QLabel {
public:
    using QLabel::QLabel;

    void followPalette();

protected:
    void changeEvent(QEvent* event) override;
};

} // namespace tovanel
