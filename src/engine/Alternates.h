#pragma once
// The characters a long press on a key offers: the accented and other letters of the
// languages written with the Latin alphabet on the plain letter they are written with, and a
// few related symbols on digit and symbol keys. Data, most used first.
#include "KeyTable.h"

#include <QStringList>

namespace wendrel {

// What the key offers in the state given, in the case it would type: capitals when exactly
// one of Shift and Caps is on (as the letter itself follows them). Empty when it offers
// nothing; in Fn mode letters are shortcut keys and "=" the formula key, so they offer nothing.
QStringList keyAlternates(const KeyDef &key, bool shiftOn, bool capsOn, bool fnOn);

// The small letters offered on a plain letter a to z (empty for any other character), and
// their capitals in the same order. The capitals are the letters' own capitals with two
// exceptions: sharp s offers the capital sharp s, and dotless i offers the capital dotted I
// (the dotless capital is the I key itself).
QStringList smallLetterAlternates(char16_t letter);
QStringList capitalLetterAlternates(char16_t letter);

} // namespace wendrel
