#include "Alternates.h"

namespace wendrel {

namespace {

// The letters of French, German, Spanish, Italian, Portuguese, Dutch, Swedish, Danish,
// Norwegian, Finnish, Polish, Czech and Turkish that the plain keys lack, each on the letter it
// is written with, ordered by how often they are written across those languages. Small letters
// and their capitals in the same order; every entry is one character in composed form (NFC).
struct LetterAlternates {
    char16_t letter;
    const char16_t *small;
    const char16_t *capital;
};

constexpr LetterAlternates letterTable[] = {
    {u'a', u"áàäâãąåæ", u"ÁÀÄÂÃĄÅÆ"},
    {u'c', u"çčć", u"ÇČĆ"},
    {u'd', u"ď", u"Ď"},
    {u'e', u"éèêęěë", u"ÉÈÊĘĚË"},
    {u'g', u"ğ", u"Ğ"},
    {u'i', u"íìîïı", u"ÍÌÎÏİ"},
    {u'l', u"ł", u"Ł"},
    {u'n', u"ñńň", u"ÑŃŇ"},
    {u'o', u"óöòôõøœ", u"ÓÖÒÔÕØŒ"},
    {u'r', u"ř", u"Ř"},
    {u's', u"ßşśš", u"ẞŞŚŠ"},
    {u't', u"ť", u"Ť"},
    {u'u', u"üúùûů", u"ÜÚÙÛŮ"},
    {u'y', u"ýÿ", u"ÝŸ"},
    {u'z', u"żžź", u"ŻŽŹ"},
};

// Symbols related to what a digit or symbol key types, by that character.
struct SymbolAlternates {
    char16_t typed;
    const char16_t *offers;
};

constexpr SymbolAlternates symbolTable[] = {
    {u'4', u"€£¥¢"},
    {u'$', u"€£¥¢"},
    {u'1', u"¹½¼"},
    {u'2', u"²"},
    {u'3', u"³¾"},
    {u'0', u"°"},
    {u'%', u"‰"},
    {u'!', u"¡"},
    {u'?', u"¿"},
    {u'\'', u"’‘‚‹›«»„“”"},
    {u'"', u"«»„“”’‘‚‹›"},
    {u'-', u"–—"},
    {u'_', u"–—"},
    {u'.', u"…·"},
    {u'*', u"×·"},
    {u'/', u"÷"},
    {u'+', u"±"},
    {u'=', u"≠≈"},
    {u'<', u"≤«"},
    {u'>', u"≥»"},
    {u'^', u"°"},
    {u'~', u"≈"},
    {u'&', u"§"},
    {u'#', u"№"},
};

QStringList splitCharacters(const char16_t *characters)
{
    QStringList list;
    for (const QChar ch : QStringView(characters))
        list.append(QString(ch));
    return list;
}

const LetterAlternates *letterRow(char16_t letter)
{
    for (const LetterAlternates &row : letterTable) {
        if (row.letter == letter)
            return &row;
    }
    return nullptr;
}

QStringList symbolAlternates(char16_t typed)
{
    for (const SymbolAlternates &row : symbolTable) {
        if (row.typed == typed)
            return splitCharacters(row.offers);
    }
    return {};
}

} // namespace

QStringList smallLetterAlternates(char16_t letter)
{
    const LetterAlternates *row = letterRow(letter);
    return row ? splitCharacters(row->small) : QStringList{};
}

QStringList capitalLetterAlternates(char16_t letter)
{
    const LetterAlternates *row = letterRow(letter);
    return row ? splitCharacters(row->capital) : QStringList{};
}

QStringList keyAlternates(const KeyDef &key, bool shiftOn, bool capsOn, bool fnOn)
{
    switch (key.role) {
    case KeyRole::Letter:
        if (fnOn)
            return {};
        return shiftOn != capsOn ? capitalLetterAlternates(key.typed) : smallLetterAlternates(key.typed);
    case KeyRole::ShiftKey:
        return symbolAlternates(shiftOn ? key.shifted : key.typed);
    case KeyRole::Character:
        return symbolAlternates(key.typed);
    case KeyRole::Equals:
        return fnOn ? QStringList{} : symbolAlternates(key.typed);
    default:
        return {};
    }
}

} // namespace wendrel
