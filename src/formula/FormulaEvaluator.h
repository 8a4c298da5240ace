#pragma once
// Evaluates an arithmetic formula typed as text by rewriting the text itself: an operator
// whose two operands are plain numbers is computed in decimal to 34 significant digits and
// its exact value replaces the operator and its operands, until only a number is left; the
// result is rounded to ten decimals.
// Powers, then multiplications, divisions, additions and subtractions are applied in passes;
// brackets are resolved from the inside out by the same rewriting.
#include <QString>

namespace wendrel {

class FormulaEvaluator {
public:
    explicit FormulaEvaluator(QString formula) : formula(std::move(formula)) {}
    virtual ~FormulaEvaluator() = default;

    // Afterwards result holds a number text (14, -3, 3.5, 0.3333333333), "Error" or "Overflow".
    void Evaluate();

    QString result;

private:
    bool CheckFormula(const QString &text) const;
    bool ApplyOperator(QString &text, QChar op);
    bool CheckNumber(const QString &text);
    void cleanUpBrackets(QString &text) const;
    void finish(const QString &text);

    qsizetype searchPos = 0;
    bool overflow = false;
    const QString formula;
};

} // namespace wendrel
