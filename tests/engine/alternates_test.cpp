// The alternates of a long press: every letter of the languages Wendrel serves is on the key
// of the letter it is written with, in both cases, and each offer fits the popup.
#include "Alternates.h"
#include "PopupLayout.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

struct Alphabet {
    const char *language;
    const char16_t *letters; // the small letters beyond a to z
};

const Alphabet alphabets[] = {
    {"French", u"àâæçéèêëîïôœùûüÿ"},
    {"German", u"äöüß"},
    {"Spanish", u"áéíñóúü"},
    {"Italian", u"àèéìíîòóùú"},
    {"Portuguese", u"áâãàçéêíóôõú"},
    {"Dutch", u"áéíóúàèëïöü"},
    {"Swedish", u"åäöé"},
    {"Danish", u"æøåé"},
    {"Norwegian", u"æøåéèêóòô"},
    {"Finnish", u"äöåšž"},
    {"Polish", u"ąćęłńóśźż"},
    {"Czech", u"áčďéěíňóřšťúůýž"},
    {"Turkish", u"çğıöşü"},
};

// Letters that are not a base letter with an accent: the key they are written with.
char16_t baseLetter(QChar letter)
{
    switch (letter.unicode()) {
    case u'ß': return u's';
    case u'æ': return u'a';
    case u'ø':
    case u'œ': return u'o';
    case u'ł': return u'l';
    case u'ı': return u'i';
    default: return QString(letter).normalized(QString::NormalizationForm_D).at(0).unicode();
    }
}

// The capital a key offers for a small letter: its own, but for the two whose capital is
// not simply their uppercase.
QString capitalOf(QChar small)
{
    if (small == u'ß')
        return QStringLiteral("ẞ");
    if (small == u'ı')
        return QStringLiteral("İ");
    return QString(small).toUpper();
}

const KeyDef &keyWithCaption(QStringView caption)
{
    for (const KeyDef &key : keyTable()) {
        if (keyCaption(key, false, false, false) == caption)
            return key;
    }
    throw std::runtime_error("no such key");
}

} // namespace

TEST(Alternates, EveryLetterOfEveryAlphabetIsOnItsBaseKeyInBothCases)
{
    for (const Alphabet &alphabet : alphabets) {
        for (const QChar letter : QStringView(alphabet.letters)) {
            SCOPED_TRACE(std::string(alphabet.language) + " " + QString(letter).toStdString());
            const char16_t base = baseLetter(letter);
            ASSERT_TRUE(base >= u'a' && base <= u'z');
            const KeyDef &key = keyWithCaption(QString(QChar(base)));
            EXPECT_TRUE(keyAlternates(key, false, false, false).contains(QString(letter)));
            EXPECT_TRUE(keyAlternates(key, true, false, false).contains(capitalOf(letter)));
        }
    }
    // Turkish's dotted capital I, which the I key lacks.
    EXPECT_TRUE(keyAlternates(keyWithCaption(u"i"), true, false, false).contains(QStringLiteral("İ")));
}

TEST(Alternates, EachOfferIsOneComposedCharacterOfAnAlphabetInItsCapitalsOrder)
{
    QSet<QString> known;
    for (const Alphabet &alphabet : alphabets) {
        for (const QChar letter : QStringView(alphabet.letters))
            known.insert(QString(letter));
    }
    for (char16_t base = u'a'; base <= u'z'; ++base) {
        const QStringList small = smallLetterAlternates(base);
        const QStringList capital = capitalLetterAlternates(base);
        SCOPED_TRACE(QString(QChar(base)).toStdString());
        ASSERT_EQ(small.size(), capital.size());
        EXPECT_EQ(QSet<QString>(small.begin(), small.end()).size(), small.size()) << "no repeats";
        for (qsizetype i = 0; i < small.size(); ++i) {
            EXPECT_TRUE(known.contains(small[i])) << small[i].toStdString() << " is no letter of the alphabets";
            EXPECT_EQ(capital[i], capitalOf(small[i][0]));
        }
    }
}

TEST(Alternates, EveryKeysOfferFitsThePopupAsComposedSingleCharacters)
{
    for (const KeyDef &key : keyTable()) {
        for (const bool shift : {false, true}) {
            for (const bool caps : {false, true}) {
                const QStringList offer = keyAlternates(key, shift, caps, false);
                SCOPED_TRACE(std::to_string(key.id));
                EXPECT_LE(offer.size(), 18) << "two rows of the popup at most";
                EXPECT_EQ(popupCellRects(QRectF(key.rect.x, key.rect.y, key.rect.width, key.rect.height),
                                         int(offer.size())).size(), offer.size());
                for (const QString &text : offer) {
                    EXPECT_EQ(text.size(), 1);
                    EXPECT_EQ(text, text.normalized(QString::NormalizationForm_C));
                    EXPECT_NE(text, keyCaption(key, shift != caps, shift, false)) << "not the key's own";
                }
            }
        }
    }
}

TEST(Alternates, FollowShiftCapsAndFn)
{
    struct Case {
        const char *name;
        const char16_t *key;
        bool shift, caps, fn;
        QString first; // empty: the key offers nothing
    };
    const Case cases[] = {
        {"small e", u"e", false, false, false, "é"},
        {"Shift e", u"e", true, false, false, "É"},
        {"Caps e", u"e", false, true, false, "É"},
        {"Shift and Caps e", u"e", true, true, false, "é"},
        {"Fn e is a shortcut key", u"e", false, false, true, ""},
        {"s", u"s", false, false, false, "ß"},
        {"Shift s", u"s", true, false, false, "ẞ"},
        {"letter without alternates", u"q", false, false, false, ""},
        {"4", u"4", false, false, false, "€"},
        {"Shift 4 is $", u"4", true, false, false, "€"},
        {"Fn 4 still types", u"4", false, false, true, "€"},
        {"Shift 1 is !", u"1", true, false, false, "¡"},
        {"Shift / is ?", u"/", true, false, false, "¿"},
        {"quote", u"'", false, false, false, "’"},
        {"Shift quote", u"'", true, false, false, "«"},
        {"=", u"=", false, false, false, "≠"},
        {"Fn = is the formula key", u"=", false, false, true, ""},
        {"Space", u"Space", false, false, false, ""},
        {"BackSpace", u"BackSpace", false, false, false, ""},
        {"Enter", u"Enter", false, false, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList offer = keyAlternates(keyWithCaption(c.key), c.shift, c.caps, c.fn);
        EXPECT_EQ(offer.value(0), c.first);
    }
}
