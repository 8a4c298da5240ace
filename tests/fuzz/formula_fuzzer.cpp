// libFuzzer target: any text as a formula. Every evaluation must end, without a crash or a
// sanitizer report, with "Error", "Overflow" or a number in the result's notation; a second
// evaluation must agree with the first, a number must read back as itself, and where an
// independent calculator of the same conventions understands the formula it must give the
// same answer.
#include "FormulaEvaluator.h"
#include "ReferenceCalculator.h"

#include <QRegularExpression>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString evaluate(const QString &formula)
{
    wendrel::FormulaEvaluator evaluator(formula);
    evaluator.Evaluate();
    return evaluator.result;
}

bool isNumberResult(const QString &result)
{
    // At most ten decimals, no trailing zero after the point, no leading zero, no "-0".
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]{0,9}[1-9])?$"));
    return number.match(result).hasMatch() && result != QLatin1String("-0");
}

// Numbers longer than the arithmetic's 34 digits are printed whole when they stand alone, but
// rounded by the calculator; the two are compared only where that cannot matter.
bool hasOnlyShortNumbers(const QString &formula)
{
    qsizetype run = 0;
    for (QChar ch : formula) {
        run = (ch.isDigit() || ch == u'.') ? run + 1 : 0;
        if (run > 30)
            return false;
    }
    return true;
}

[[noreturn]] void fail(const char *what, const QString &formula, const QString &got, const QString &expected)
{
    std::fprintf(stderr, "%s\nformula: %s\ngot:      %s\nexpected: %s\n", what, qPrintable(formula),
                 qPrintable(got), qPrintable(expected));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A formula is a line of typing; long inputs only slow the search down.
    if (size > 300)
        return 0;
    const QString formula = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    wendrel::FormulaEvaluator evaluator(formula);
    evaluator.Evaluate();
    const QString result = evaluator.result;
    const bool isNumber = isNumberResult(result);
    if (!isNumber && result != QLatin1String("Error") && result != QLatin1String("Overflow"))
        fail("not a result", formula, result, QString());

    evaluator.Evaluate(); // nothing of the first evaluation may be left over
    if (evaluator.result != result)
        fail("a second evaluation differs", formula, evaluator.result, result);

    if (isNumber && evaluate(result) != result)
        fail("the result does not read back as itself", result, evaluate(result), result);

    QString compact = formula; // the evaluator removes the spaces first
    compact.remove(u' ');
    if (result != QLatin1String("Error") && hasOnlyShortNumbers(compact)) {
        const QString expected = wendrel::ReferenceCalculator(compact).evaluate();
        if (expected != QLatin1String("Error") && expected != result)
            fail("the independent calculator differs", formula, result, expected);
    }
    return 0;
}
