#pragma once

namespace tovanel {

// Makes screen readers see a ListBox as the table the user sees: hidden columns (record numbers and
// positions kept for the program's own use) are left out, while the cells' text and description come
// from the model as usual. Call once; later calls do nothing.
void installListBoxAccessibility();

} // namespace tovanel
