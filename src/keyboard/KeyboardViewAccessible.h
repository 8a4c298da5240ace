#pragma once
// What screen readers see of the keyboard view: a group of 66 push buttons in the key table's
// order, each named by the caption it shows now and pressed through its "Press" action (a tap).

namespace wendrel {

// Teaches Qt's accessibility to ask KeyboardView for its keys; once per program.
void installKeyboardViewAccessibility();

} // namespace wendrel
