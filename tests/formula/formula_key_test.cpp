// The "=" key in the real window.
#include "WindowFixture.h"

using namespace wendrel;
using namespace wendrel::test;

class FormulaKey : public WindowTest {
protected:
    // Fn, then "=" with the caret at the end of the given text.
    QString calculate(const QString &before)
    {
        setText(before, before.size());
        tap(1062);
        tap(1070);
        EXPECT_EQ(window->state().fnOn, 0) << before.toStdString();
        return text();
    }
};

TEST_F(FormulaKey, TypesTheResultAfterTheFormula)
{
    struct Case {
        QString before, after;
    } cases[] = {
        {"Total 2+3*4", "Total 2+3*4=14"},
        {"2+3=", "2+3=5"},
        {"7/2", "7/2=3.5"},
        {"1/0", "1/0=Overflow"},
        {"abc", "abc"},
        {"x\r\n-5+2", "x\r\n-5+2=-3"},
        {"(1+1)*2+3", "(1+1)*2+3=7"},
        {"2+3==", "2+3=="},       // one "=" is dropped, the other makes it an error
        {"", ""},
        {"sum ", "sum "},
        {"x=2+3", "x=2+3"},
        {"a\t2+3", "a\t2+3"},     // a tab belongs to the formula
    };
    for (const Case &c : cases)
        EXPECT_EQ(calculate(c.before), c.after) << c.before.toStdString();
}

TEST_F(FormulaKey, ResultIsNotCorrectedByTheTypingAssistant)
{
    // After ". " the assistant would capitalise a typed letter; results hold no letters but
    // "Overflow", which is typed as it is.
    EXPECT_EQ(calculate(QStringLiteral("ok. 9^99^99")), QStringLiteral("ok. 9^99^99=Overflow"));
}

TEST_F(FormulaKey, AHeadOf256CharactersWithoutABreakIsNotEvaluated)
{
    const QString head = QString(252, u'0') + QStringLiteral("1+1"); // 255 characters
    EXPECT_EQ(calculate(head), head + QStringLiteral("=2"));
    const QString longHead = QString(253, u'0') + QStringLiteral("1+1"); // 256
    EXPECT_EQ(calculate(longHead), longHead);
    const QString afterSpace = QStringLiteral("a ") + QString(300, u'0') + QStringLiteral("1+1");
    EXPECT_EQ(calculate(afterSpace), afterSpace + QStringLiteral("=2"));
}

TEST_F(FormulaKey, FormulaBeforeASelectionAndTheResultReplacesIt)
{
    setText(QStringLiteral("2*4 junk"), 3);
    window->textArea().setSelection(3, 8);
    tap(1062);
    tap(1070);
    EXPECT_EQ(text(), QStringLiteral("2*4=8"));
}

TEST_F(FormulaKey, OutsideFnModeTypesAnEqualsSign)
{
    type(QStringLiteral("2"));
    tap(1070);
    EXPECT_EQ(text(), QStringLiteral("2="));
    EXPECT_EQ(window->state().litFlags[size_t(keyIndexById(1070))], 1);
}
