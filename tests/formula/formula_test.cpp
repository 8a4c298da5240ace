// The formula evaluator: its examples and edge cases as one table, and a comparison with an
// independent recursive-descent calculator on generated formulas.
#include "FormulaEvaluator.h"

#include <QRandomGenerator>
#include <cmath>
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
        {"10000000000000000000", "10000000000000000000"},
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

TEST(FormulaEvaluator, LongOperandsAreNotCut)
{
    const QString digits(120, u'1');
    EXPECT_EQ(evaluate(QStringLiteral("0.") + digits + QStringLiteral("+1")), QStringLiteral("1.1111111111"));
    EXPECT_EQ(evaluate(QString(300, u'0') + QStringLiteral("5*2")), QStringLiteral("10"));
    EXPECT_EQ(evaluate(QString(400, u'9')), QStringLiteral("Overflow")); // beyond a double
}

namespace {

// An independent calculator of the same conventions: "^" binds tightest and groups from the
// left, then "*" "/", then "+" "-"; a "-" at the start or after "(" negates the product or
// power after it; every operation is rounded to 12 decimals; values beyond 1e18 overflow.
class Reference {
public:
    explicit Reference(const QString &text) : s(text) {}
    QString evaluate()
    {
        const auto value = expression();
        if (overflow)
            return QStringLiteral("Overflow");
        if (!value || pos != s.size())
            return QStringLiteral("Error");
        QString out = QString::number(*value, 'f', 10);
        while (out.contains(u'.') && out.endsWith(u'0'))
            out.chop(1);
        if (out.endsWith(u'.'))
            out.chop(1);
        return out == QLatin1String("-0") ? QStringLiteral("0") : out;
    }

private:
    std::optional<double> apply(double a, QChar op, double b)
    {
        double w = 0;
        switch (op.unicode()) {
        case u'^': w = std::pow(a, b); break;
        case u'*': w = a * b; break;
        case u'/':
            if (b == 0) {
                overflow = true;
                return std::nullopt;
            }
            w = a / b;
            break;
        case u'+': w = a + b; break;
        default: w = a - b;
        }
        if (!(std::fabs(a) <= 1e18 && std::fabs(b) <= 1e18 && std::fabs(w) <= 1e18)) {
            overflow = true;
            return std::nullopt;
        }
        return QString::number(w, 'f', 12).toDouble();
    }
    bool at(QChar c) const { return pos < s.size() && s[pos] == c; }
    std::optional<double> expression()
    {
        bool negate = false;
        if (at(u'-')) {
            negate = true;
            ++pos;
        }
        auto value = term();
        if (!value)
            return std::nullopt;
        if (negate)
            value = -*value;
        while (at(u'+') || at(u'-')) {
            const QChar op = s[pos++];
            const auto right = term();
            if (!right || !(value = apply(*value, op, *right)))
                return std::nullopt;
        }
        return value;
    }
    std::optional<double> term()
    {
        auto value = power();
        while (value && (at(u'*') || at(u'/'))) {
            const QChar op = s[pos++];
            const auto right = power();
            if (!right || !(value = apply(*value, op, *right)))
                return std::nullopt;
        }
        return value;
    }
    std::optional<double> power()
    {
        auto value = primary();
        while (value && at(u'^')) {
            ++pos;
            const auto right = primary();
            if (!right || !(value = apply(*value, u'^', *right)))
                return std::nullopt;
        }
        return value;
    }
    std::optional<double> primary()
    {
        if (at(u'(')) {
            ++pos;
            const auto value = expression();
            if (!value || !at(u')'))
                return std::nullopt;
            ++pos;
            return value;
        }
        const qsizetype start = pos;
        while (pos < s.size() && (s[pos].isDigit() || s[pos] == u'.'))
            ++pos;
        bool ok = false;
        const double value = s.mid(start, pos - start).toDouble(&ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    }

    QString s;
    qsizetype pos = 0;
    bool overflow = false;
};

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
        const QString expected = Reference(formula).evaluate();
        // Powers of negative bases to fractional powers and huge powers are compared too:
        // both sides report Overflow.
        EXPECT_EQ(evaluate(formula), expected) << formula.toStdString();
    }
}
