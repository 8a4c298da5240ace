// The formula evaluator: its examples and edge cases as tables, results checked against bc, and
// a comparison with an independent recursive-descent calculator on generated formulas.
#include "FormulaEvaluator.h"
#include "ReferenceCalculator.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <optional>

using namespace wendrel;

namespace {

QString evaluate(const QString &formula)
{
    FormulaEvaluator evaluator(formula);
    evaluator.Evaluate();
    return evaluator.result;
}

QString nested(int pairs)
{
    return QStringLiteral("1+") + QString(pairs, u'(') + u'2' + QString(pairs, u')');
}

} // namespace

TEST(FormulaEvaluator, Results)
{
    struct Case {
        QString formula, result;
    } cases[] = {
        // Worked examples.
        {"2+3*4", "14"}, {"(1+2)*3", "9"}, {"-5+2", "-3"}, {"-5-2", "-7"}, {"5-3+2", "4"},
        {"8/2*4", "16"}, {"2^3^2", "64"}, {"3*(-2)", "-6"}, {"(2+3)*(4-1)", "15"}, {"7/2", "3.5"},
        {"1/3", "0.3333333333"}, {"2/3", "0.6666666667"}, {"2^0.5", "1.4142135624"}, {"0.1+0.2", "0.3"},
        {"1/3*3", "1"}, {"-2^2", "-4"}, {"-3*5", "-15"},
        // Numbers alone are only reformatted; spaces are removed.
        {"12", "12"}, {"1.50", "1.5"}, {"007", "7"}, {"1 2", "12"}, {"(5)(6)", "56"}, {"((1+1))", "2"},
        {"10000000000000000000", "10000000000000000000"}, {"-0.00000000004", "0"}, {"-.5", "-0.5"},
        {"0.00000000005", "0.0000000001"}, {"1.2345678901234567890123456789012345678901", "1.2345678901"},
        // Brackets nested up to the cycle limit.
        {nested(99), "3"}, {nested(100), "Error"},
        // Errors.
        {"", "Error"}, {"2+", "Error"}, {"2+a", "Error"}, {"2*-3", "Error"}, {"2 * -3", "Error"},
        {"1.5.5+1", "Error"}, {"1.", "Error"}, {".5", "Error"}, {"x=2+3", "Error"}, {"2+3=", "Error"},
        {"+2", "Error"}, {"2+é", "Error"},
        // Overflow.
        {"1/0", "Overflow"}, {"99999999999*99999999999", "Overflow"}, {"(-8)^(1/3)", "Overflow"},
        {"2000000000000000000+1", "Overflow"}, {"1000000000000000000+0", "1000000000000000000"},
        // Mended: these follow the ordinary conventions of a calculator.
        {"1+6/3*2", "5"}, {"(1+1)*2+3", "7"}, {"2*3^(1+1)", "18"}, {"(1+1)^2*3", "12"},
        {"10-1-1-1-1", "6"}, {"100/2/2/2/2", "6.25"}, {"1+2*(3+1)", "9"}, {"10-2*(1+1)", "6"},
        {"5-(-3)*2", "11"}, {"(-5-2)", "-7"}, {"1-(-5-2)", "8"}, {"(-5+2)", "-3"}, {"-2*(-3)", "6"},
        {"-(2-5)", "3"}, {"-(-2)^2", "-4"}, {"((2-5))", "-3"}, {"-12-((0))", "-12"}, {"1,000+250", "Error"},
        {"10=2+3", "Error"}, {"0*(-3)", "0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(evaluate(c.formula), c.result) << c.formula.toStdString();
}

// Every value is worked out in decimal to 34 significant digits and put back into the formula
// as it is, so the ten decimals of the result are right. Expected: bc -l at scale 40, rounded to
// ten decimals (a fractional power a^b as e(b*l(a))).
TEST(FormulaEvaluator, TenDecimalsAgreeWithBc)
{
    struct Case {
        QString formula, result;
    } cases[] = {
        // Small intermediate values.
        {"1/(1/3000000)", "3000000"}, {"1/(1/123456789)", "123456789"}, {"(1/3000000)*3000000", "1"},
        {"2/3000000*1500000", "1"}, {"0.0000001*0.0000001*1000000000000000", "10"}, {"(1/7)*(1/7)*49", "1"},
        // Large sums of decimals.
        {"606.956-(-8)-(-31456170333)", "31456170947.956"}, {"31456170333.123+0.1+0.2", "31456170333.423"},
        {"123456789012.345678+987654321098.765432", "1111111110111.11111"},
        {"1000000000000000-0.0000000001", "999999999999999.9999999999"},
        {"98765432.123456789*1000.001-0.000000001", "98765530888.8889124558"}, {"0.1+0.2-0.3", "0"},
        // Powers, whole and fractional.
        {"2^59", "576460752303423488"}, {"1.1^10", "2.5937424601"}, {"1.5^11", "86.4975585938"},
        {"2^(-2)", "0.25"}, {"1.0000001^1000000", "1.1051709125"}, {"7^0.25", "1.6265765617"},
        {"0.5^3.5", "0.0883883476"}, {"16^0.25", "2"}, {"100^1.5", "1000"}, {"27^(1/3)", "3"},
        {"1.23456789^9.87654321", "8.0140422255"}, {"2^0.1", "1.0717734625"},
        // What stays as it was.
        {"0^0", "1"}, {"(-8)^(1/3)", "Overflow"}, {"(-8)^0.5", "Overflow"}, {"1/0", "Overflow"},
        {"1/(1-1)", "Overflow"}, {"(-2)^3", "-8"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(evaluate(c.formula), c.result) << c.formula.toStdString();
}

TEST(FormulaEvaluator, LongOperandsAreNotCut)
{
    const QString digits(120, u'1');
    EXPECT_EQ(evaluate(QStringLiteral("0.") + digits + QStringLiteral("+1")), QStringLiteral("1.1111111111"));
    EXPECT_EQ(evaluate(QString(300, u'0') + QStringLiteral("5*2")), QStringLiteral("10"));
    // A lone number is only reformatted, whatever its length: its digits are not rounded off.
    EXPECT_EQ(evaluate(QString(400, u'9')), QString(400, u'9'));
    EXPECT_EQ(evaluate(QString(40, u'9') + QStringLiteral(".99999999995")), u'1' + QString(40, u'0'));
}

namespace {

// Random formulas of small numbers, the five operators, signs and brackets.
class Generator {
public:
    explicit Generator(quint32 seed) : random(seed) {}
    QString formula(int depth = 0)
    {
        QString out;
        if (random.bounded(5) == 0)
            out += u'-';
        const int operands = 1 + int(random.bounded(4));
        for (int i = 0; i < operands; ++i) {
            if (i > 0)
                out += QStringView(u"+-*/^")[random.bounded(5)];
            if (depth < 2 && random.bounded(4) == 0)
                out += u'(' + formula(depth + 1) + u')';
            else
                out += number();
        }
        return out;
    }

private:
    QString number()
    {
        QString n = QString::number(random.bounded(1, 20));
        if (random.bounded(4) == 0)
            n += u'.' + QString::number(random.bounded(1, 10));
        return n;
    }
    QRandomGenerator random;
};

} // namespace

TEST(FormulaEvaluator, AgreesWithAnIndependentCalculator)
{
    Generator generator(20261210);
    for (int i = 0; i < 4000; ++i) {
        const QString formula = generator.formula();
        const QString expected = ReferenceCalculator(formula).evaluate();
        // Powers of negative bases to fractional powers and huge powers are compared too:
        // both sides report Overflow.
        EXPECT_EQ(evaluate(formula), expected) << formula.toStdString();
    }
}

namespace {

// A random formula of decimals, written for the evaluator and, with every operation in
// brackets and a fractional power as e(b*l(a)), for bc.
struct BcCase {
    QString formula, bc;
    int precedence = 4; // of its outermost operator; 4 for a number
};

class DecimalGenerator {
public:
    explicit DecimalGenerator(quint32 seed) : random(seed) {}
    BcCase formula(int depth = 0)
    {
        if (depth >= 3 || random.bounded(3) == 0)
            return number();
        const QChar op = QStringView(u"+-*/^")[random.bounded(5)];
        if (op == u'^')
            return power();
        const int precedence = op == u'+' || op == u'-' ? 1 : 2;
        const BcCase left = formula(depth + 1), right = formula(depth + 1);
        const QString l = left.precedence < precedence ? u'(' + left.formula + u')' : left.formula;
        const QString r = right.precedence <= precedence ? u'(' + right.formula + u')' : right.formula;
        return {l + op + r, u'(' + left.bc + u')' + op + u'(' + right.bc + u')', precedence};
    }

private:
    QString digits(int whole, int decimals)
    {
        QString text = QString::number(random.bounded(1, 10));
        for (int i = 1; i < whole; ++i)
            text += QString::number(random.bounded(10));
        if (decimals > 0) {
            text += u'.';
            for (int i = 0; i < decimals; ++i)
                text += QString::number(random.bounded(1, 10));
        }
        return text;
    }
    BcCase number()
    {
        QString text;
        switch (random.bounded(3)) {
        case 0: text = digits(1 + int(random.bounded(3)), int(random.bounded(5))); break; // 4.25
        case 1: text = digits(8 + int(random.bounded(4)), int(random.bounded(4))); break; // 31456170333.123
        default: text = QStringLiteral("0.00000") + digits(1, int(random.bounded(4))).remove(u'.'); // 0.000007123
        }
        if (random.bounded(4) == 0)
            return {QStringLiteral("(-") + text + u')', QStringLiteral("(-") + text + u')'};
        return {text, text};
    }
    BcCase power()
    {
        const QString base = digits(1 + int(random.bounded(2)), int(random.bounded(3)));
        static const QStringList fractions = {"0.5", "0.25", "1.5", "2.75", "0.1", "3.7"};
        if (random.bounded(2) == 0) {
            const QString exponent = QString::number(random.bounded(7));
            return {base + u'^' + exponent, base + u'^' + exponent, 3};
        }
        const QString exponent = fractions[random.bounded(qsizetype(fractions.size()))];
        return {base + u'^' + exponent, QStringLiteral("e(%1*l(%2))").arg(exponent, base), 3};
    }
    QRandomGenerator random;
};

// bc's answer, "-.5000000000", in the evaluator's notation, "-0.5".
QString fromBc(QString text)
{
    const bool negative = text.startsWith(u'-');
    if (negative)
        text.remove(0, 1);
    if (text.startsWith(u'.'))
        text.prepend(u'0');
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return negative && text != QLatin1String("0") ? u'-' + text : text;
}

} // namespace

// The digits of random formulas with decimals (small values, long sums, whole and fractional
// powers) against bc -l at scale 40, each result rounded to ten decimals, halves away from zero.
TEST(FormulaEvaluator, RandomFormulasAgreeWithBc)
{
    DecimalGenerator generator(20261211);
    QList<BcCase> cases;
    QString script = QStringLiteral("scale=40\n"
                                    "define r(x) { auto s; s=scale; scale=10;\n"
                                    "  if (x<0) x=-((-x+0.00000000005)/1) else x=(x+0.00000000005)/1;\n"
                                    "  scale=s; return x; }\n");
    for (int i = 0; i < 400; ++i) {
        cases.append(generator.formula());
        script += QStringLiteral("\"@%1 \"; r(%2)\n").arg(i).arg(cases.back().bc);
    }
    QProcess bc;
    bc.setEnvironment(QProcess::systemEnvironment() << QStringLiteral("BC_LINE_LENGTH=0"));
    bc.start(QStringLiteral("bc"), {QStringLiteral("-lq")});
    ASSERT_TRUE(bc.waitForStarted()) << "bc is needed (scripts/setup.sh installs it)";
    bc.write(script.toUtf8() + "quit\n");
    bc.closeWriteChannel();
    ASSERT_TRUE(bc.waitForFinished(60000));
    const QString output = QString::fromUtf8(bc.readAllStandardOutput());

    // A division by a value of zero is an error for bc; such cases have no answer.
    static const QRegularExpression answer(QStringLiteral("@(\\d+) (-?[0-9]*\\.?[0-9]+)\\n"));
    int compared = 0;
    for (auto it = answer.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const BcCase &c = cases[match.captured(1).toInt()];
        const QString result = evaluate(c.formula);
        if (result == QLatin1String("Overflow"))
            continue; // a value beyond 1e18 on the way
        EXPECT_EQ(result, fromBc(match.captured(2))) << c.formula.toStdString() << "  bc: " << c.bc.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 300);
}
