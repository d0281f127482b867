#pragma once

class QMenu;

namespace tovanel {

// Gives every item of `menu` that has none an underlined letter (Alt or the letter while the menu is
// open), unique in the menu: a word's first letter where it is free, otherwise the first free letter of
// the caption. Letters an item already has are kept; call it again after items were added.
void giveAccessKeys(QMenu& menu);

} // namespace tovanel
