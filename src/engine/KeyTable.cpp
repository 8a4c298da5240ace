#include "KeyTable.h"

#include <array>

namespace wendrel {

namespace {

using R = KeyRole;

// Face colours of the rows and groups.
constexpr Rgb numberRow1{200, 200, 88}, numberRow2{180, 180, 88}, numberRow3{160, 160, 88},
    numberRow4{140, 140, 88};
constexpr Rgb symbolRow1{158, 169, 133}, symbolRow2{143, 154, 133}, symbolRow3{128, 139, 133},
    symbolRow4{113, 124, 133};
constexpr Rgb formulaKeys{120, 120, 233};

constexpr std::array<KeyDef, 66> keys{{
    // Upper block.
    {1071, u"\\", R::ShiftKey, {8, 79, 25, 25}, u'\\', u'|', symbolRow1, true},
    {1083, u"`", R::ShiftKey, {33, 79, 25, 25}, u'`', u'~', symbolRow1, true},
    {1038, u"7", R::ShiftKey, {58, 79, 25, 25}, u'7', u'&', numberRow1, true},
    {1039, u"8", R::ShiftKey, {83, 79, 25, 25}, u'8', u'*', numberRow1, true},
    {1040, u"9", R::ShiftKey, {108, 79, 25, 25}, u'9', u'(', numberRow1, true},
    {1061, u"+", R::Character, {133, 79, 25, 25}, u'+', 0, numberRow1, true},
    {1088, u"Save", R::Save, {158, 79, 75, 22}, 0, 0, {160, 160, 233}, true},
    {1087, u"Load", R::Load, {158, 101, 75, 22}, 0, 0, {140, 140, 233}, false},
    {1068, u"[", R::ShiftKey, {8, 104, 25, 25}, u'[', u'{', symbolRow2, true},
    {1069, u"]", R::ShiftKey, {33, 104, 25, 25}, u']', u'}', symbolRow2, true},
    {1035, u"4", R::ShiftKey, {58, 104, 25, 25}, u'4', u'$', numberRow2, true},
    {1036, u"5", R::ShiftKey, {83, 104, 25, 25}, u'5', u'%', numberRow2, true},
    {1037, u"6", R::ShiftKey, {108, 104, 25, 25}, u'6', u'^', numberRow2, true},
    {1058, u"-", R::Character, {133, 104, 25, 25}, u'-', 0, numberRow2, true},
    {1070, u"=", R::Equals, {158, 123, 25, 25}, u'=', 0, formulaKeys, true},
    {1081, u"(", R::Character, {183, 123, 25, 25}, u'(', 0, formulaKeys, true},
    {1082, u")", R::Character, {208, 123, 25, 25}, u')', 0, formulaKeys, true},
    {1059, u"-", R::ShiftKey, {8, 129, 25, 25}, u'-', u'_', symbolRow3, true},
    {1066, u"/", R::ShiftKey, {33, 129, 25, 25}, u'/', u'?', symbolRow3, true},
    {1032, u"1", R::ShiftKey, {58, 129, 25, 25}, u'1', u'!', numberRow3, true},
    {1033, u"2", R::ShiftKey, {83, 129, 25, 25}, u'2', u'@', numberRow3, true},
    {1034, u"3", R::ShiftKey, {108, 129, 25, 25}, u'3', u'#', numberRow3, true},
    {1055, u"*", R::Character, {133, 129, 25, 25}, u'*', 0, numberRow3, true},
    {1065, u"BackSpace", R::Character, {158, 148, 75, 31}, 8, 0, {220, 60, 60}, true},
    {1072, u";", R::ShiftKey, {8, 154, 25, 25}, u';', u':', symbolRow4, true},
    {1073, u"'", R::ShiftKey, {33, 154, 25, 25}, u'\'', u'"', symbolRow4, true},
    {1041, u"0", R::ShiftKey, {58, 154, 50, 25}, u'0', u')', numberRow4, true},
    {1042, u".", R::Character, {108, 154, 25, 25}, u'.', 0, numberRow4, true},
    {1064, u"/", R::Character, {133, 154, 25, 25}, u'/', 0, numberRow4, true},
    // Letter block: three rows, each raising one colour component per key.
    {1017, u"Q", R::Letter, {0, 180, 24, 27}, u'q', u'Q', {88, 122, 166}, true},
    {1023, u"W", R::Letter, {24, 180, 24, 27}, u'w', u'W', {109, 122, 166}, true},
    {1004, u"E", R::Letter, {48, 180, 24, 27}, u'e', u'E', {120, 122, 166}, true},
    {1018, u"R", R::Letter, {72, 180, 24, 27}, u'r', u'R', {125, 122, 166}, true},
    {1020, u"T", R::Letter, {96, 180, 24, 27}, u't', u'T', {128, 122, 166}, true},
    {1025, u"Y", R::Letter, {120, 180, 24, 27}, u'y', u'Y', {138, 122, 166}, true},
    {1021, u"U", R::Letter, {144, 180, 24, 27}, u'u', u'U', {148, 122, 166}, true},
    {1008, u"I", R::Letter, {168, 180, 24, 27}, u'i', u'I', {158, 122, 166}, true},
    {1015, u"O", R::Letter, {192, 180, 24, 27}, u'o', u'O', {168, 122, 166}, true},
    {1016, u"P", R::Letter, {216, 180, 24, 27}, u'p', u'P', {178, 122, 166}, true},
    {1000, u"A", R::Letter, {6, 207, 24, 27}, u'a', u'A', {88, 122, 166}, true},
    {1019, u"S", R::Letter, {30, 207, 24, 27}, u's', u'S', {88, 132, 166}, true},
    {1003, u"D", R::Letter, {54, 207, 24, 27}, u'd', u'D', {88, 142, 166}, true},
    {1005, u"F", R::Letter, {78, 207, 24, 27}, u'f', u'F', {88, 148, 166}, true},
    {1006, u"G", R::Letter, {102, 207, 24, 27}, u'g', u'G', {88, 156, 166}, true},
    {1007, u"H", R::Letter, {126, 207, 24, 27}, u'h', u'H', {88, 163, 166}, true},
    {1010, u"J", R::Letter, {150, 207, 24, 27}, u'j', u'J', {88, 171, 166}, true},
    {1011, u"K", R::Letter, {174, 207, 24, 27}, u'k', u'K', {88, 180, 166}, true},
    {1012, u"L", R::Letter, {198, 207, 24, 27}, u'l', u'L', {88, 189, 166}, true},
    {1026, u"Z", R::Letter, {12, 234, 24, 27}, u'z', u'Z', {88, 122, 166}, true},
    {1024, u"X", R::Letter, {36, 234, 24, 27}, u'x', u'X', {93, 122, 176}, true},
    {1002, u"C", R::Letter, {60, 234, 24, 27}, u'c', u'C', {98, 122, 186}, true},
    {1022, u"V", R::Letter, {84, 234, 24, 27}, u'v', u'V', {103, 122, 196}, true},
    {1001, u"B", R::Letter, {108, 234, 24, 27}, u'b', u'B', {108, 122, 206}, true},
    {1014, u"N", R::Letter, {132, 234, 24, 27}, u'n', u'N', {113, 122, 216}, true},
    {1013, u"M", R::Letter, {156, 234, 24, 27}, u'm', u'M', {118, 122, 226}, true},
    {1028, u",", R::ShiftKey, {180, 234, 24, 27}, u',', u'<', {123, 122, 236}, true},
    {1027, u".", R::ShiftKey, {204, 234, 24, 27}, u'.', u'>', {128, 122, 246}, true},
    // Bottom row: the modifiers in reds.
    {1062, u"Fn", R::Fn, {1, 261, 25, 30}, 0, 0, {211, 80, 80}, true},
    {1043, u"Caps", R::Caps, {26, 261, 31, 30}, 0, 0, {211, 90, 90}, true},
    {2003, u"Shift", R::Shift, {57, 261, 50, 30}, 0, 0, {211, 100, 100}, true},
    {2004, u"Space", R::Character, {107, 261, 82, 30}, u' ', 0, {211, 110, 110}, true},
    {1031, u"Enter", R::Character, {189, 261, 60, 30}, 10, 0, {211, 120, 120}, true},
    // Command row in greens; none of these ever lights.
    {1051, u"Shortcut", R::Shortcut, {5, 295, 61, 20}, 0, 0, {0, 166, 111}, false},
    {1052, u"Options", R::Options, {66, 295, 61, 20}, 0, 0, {0, 181, 126}, false},
    {2001, u"Exit", R::Exit, {127, 295, 56, 20}, 0, 0, {0, 196, 141}, false},
    {1048, u"Help", R::Help, {183, 295, 56, 20}, 0, 0, {0, 211, 156}, false},
}};

} // namespace

std::span<const KeyDef> keyTable()
{
    return keys;
}

int keyIndexById(int id)
{
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].id == id)
            return int(i);
    }
    return -1;
}

int keyIndexByRole(KeyRole role)
{
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].role == role)
            return int(i);
    }
    return -1;
}

QString keyCaption(const KeyDef &key, bool upperCaseLabels, bool shiftOn, bool fnOn)
{
    // In Fn mode BackSpace undoes the last edit, and with Shift too redoes it.
    if (key.typed == 8 && fnOn)
        return shiftOn ? QStringLiteral("Redo") : QStringLiteral("Undo");
    switch (key.role) {
    case KeyRole::Letter:
        return QString(QChar(upperCaseLabels ? key.shifted : key.typed));
    case KeyRole::ShiftKey:
        return QString(QChar(shiftOn ? key.shifted : key.typed));
    case KeyRole::Save:
        return fnOn ? QStringLiteral("Copy") : QStringLiteral("Save");
    case KeyRole::Load:
        return fnOn ? QStringLiteral("Paste") : QStringLiteral("Load");
    default:
        return QString::fromUtf16(key.caption);
    }
}

} // namespace wendrel
