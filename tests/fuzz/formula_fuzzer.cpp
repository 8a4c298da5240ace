// libFuzzer target: any text as a formula. Every evaluation must end, without a crash or a
// sanitizer report, with a number, "Error" or "Overflow".
#include "FormulaEvaluator.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString formula = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    wendrel::FormulaEvaluator evaluator(formula);
    evaluator.Evaluate();
    const QString &result = evaluator.result;
    if (result != QLatin1String("Error") && result != QLatin1String("Overflow")) {
        bool isNumber = false;
        result.toDouble(&isNumber);
        if (!isNumber)
            std::abort();
    }
    return 0;
}
