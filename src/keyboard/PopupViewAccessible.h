#pragma once
// What screen readers see of a long press's popup: a popup menu whose items are its cells, each
// named by the character it types, the cell under the finger selected. The touch that opened
// the popup chooses; the items only tell what is offered and what the finger is on.

namespace wendrel {

// Teaches Qt's accessibility to ask PopupView for its cells; once per program.
void installPopupViewAccessibility();

} // namespace wendrel
