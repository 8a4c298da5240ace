#pragma once
// Where words begin and end, for deleting a word at a time and for grouping typed letters
// into undo steps.
#include <QString>

namespace wendrel {

// Letters, digits, combining marks and apostrophes ("don't", "l’été") make up words;
// everything else separates them.
bool isWordCharacter(char32_t ch);

// The position a word-wise BackSpace deletes back to from position: over the spaces and line
// breaks before it, then over the word before them (or, where no word stands there, over the
// run of punctuation). Surrogate pairs stay whole.
qsizetype previousWordStart(QStringView text, qsizetype position);

} // namespace wendrel
