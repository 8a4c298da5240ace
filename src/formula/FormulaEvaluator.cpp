#include "FormulaEvaluator.h"

#include "Decimal.h"

#include <string>

namespace wendrel {

namespace {

constexpr int maxCycles = 100;

bool isOperatorChar(QChar ch) // the five operators and the two brackets
{
    return QStringView(u"+-*^/()").contains(ch);
}

bool isArithmetic(QChar ch)
{
    return QStringView(u"+-*/^").contains(ch);
}

bool isNumberChar(QChar ch)
{
    return (ch >= u'0' && ch <= u'9') || ch == u'.';
}

bool isDigit(QChar ch)
{
    return ch >= u'0' && ch <= u'9';
}

bool holdsOperator(QStringView text)
{
    for (QChar ch : text) {
        if (isOperatorChar(ch))
            return true;
    }
    return false;
}

QChar at(const QString &text, qsizetype i) // one past the end reads as NUL
{
    return i >= 0 && i < text.size() ? text[i] : QChar();
}

// A "-" at the start of the text or right after "(" is a sign; any other "-" subtracts.
bool isSign(const QString &text, qsizetype i)
{
    return at(text, i) == u'-' && (i == 0 || at(text, i - 1) == u'(');
}

int precedence(QChar op)
{
    if (op == u'^')
        return 3;
    if (op == u'*' || op == u'/')
        return 2;
    return 1;
}

// The longest leading decimal number of the text (blanks, a sign, digits with at most one
// point); 0 when there is none. Any length is converted, rounded to the arithmetic's digits.
Decimal leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        number.push_back(char(text[i++].unicode()));
    bool point = false, anyDigit = false;
    for (; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (isDigit(ch)) {
            anyDigit = true;
        } else if (ch == u'.' && !point) {
            point = true;
        } else {
            break;
        }
        number.push_back(char(ch.unicode()));
    }
    return anyDigit ? Decimal::fromText(number) : Decimal();
}

bool inRange(const Decimal &value)
{
    static const Decimal limit = Decimal::fromText("1000000000000000000");
    return value.withinMagnitude(limit); // values of exactly +-1e18 pass; what is not a number fails
}

// A value as it goes back into the formula: its exact decimal, always with a point ("14.0"),
// as values put back have always had, so that two values brought side by side by the removal
// of their brackets never read as one number.
QString splicedText(const Decimal &value)
{
    QString text = value.toText();
    if (!text.contains(u'.'))
        text += QStringLiteral(".0");
    return text;
}

// A plain decimal number ("-" first at most, digits, at most one point) rounded to the given
// decimals, ties away from zero, without trailing zeros after the point or leading zeros
// before it; "-0" is "0". Worked on the digits themselves, so a number of any length stays
// exact: a lone number typed with more digits than the arithmetic keeps is printed as typed.
QString roundedText(QStringView number, qsizetype decimals)
{
    const bool negative = number.startsWith(u'-');
    if (negative)
        number = number.sliced(1);
    const qsizetype point = number.indexOf(u'.');
    QString whole = (point < 0 ? number : number.first(point)).toString();
    QString fraction = point < 0 ? QString() : number.sliced(point + 1).toString();
    if (fraction.size() > decimals) {
        bool roundUp = fraction[decimals] >= u'5';
        fraction.truncate(decimals);
        QString digits = whole + fraction;
        for (qsizetype i = digits.size() - 1; roundUp; --i) {
            if (i < 0) {
                digits.prepend(u'1');
                break;
            }
            roundUp = digits[i] == u'9';
            digits[i] = roundUp ? u'0' : QChar(digits[i].unicode() + 1);
        }
        whole = digits.first(digits.size() - fraction.size());
        fraction = digits.last(fraction.size());
    }
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    QString text = fraction.isEmpty() ? whole : whole + u'.' + fraction;
    if (negative && text != QLatin1String("0"))
        text.prepend(u'-');
    return text;
}

// With an operand found on each side, the operator waits for its neighbours: for an operator
// before its left operand that binds as tightly or more (or a sign, when this operator is "+"
// or "-"), and for an operator after its right operand that binds more tightly. So every
// operation runs in the order an ordinary calculator would give it.
bool mustWait(const QString &text, QChar op, qsizetype start, qsizetype end)
{
    const QChar before = at(text, start - 1);
    if (start > 0 && isArithmetic(before)) {
        if (isSign(text, start - 1)) {
            if (op == u'+' || op == u'-')
                return true;
        } else if (precedence(before) >= precedence(op)) {
            return true;
        }
    }
    const QChar after = at(text, end);
    return isArithmetic(after) && precedence(after) > precedence(op);
}

} // namespace

bool FormulaEvaluator::CheckFormula(const QString &text) const
{
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (!isDigit(first) && !QStringView(u". ()-").contains(first))
        return false;
    const QChar last = text.back();
    if (!isDigit(last) && !QStringView(u". ()").contains(last))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLetter())
            return false;
        if (i > 0 && isArithmetic(text[i - 1]) && isArithmetic(text[i]))
            return false;
    }
    return true;
}

bool FormulaEvaluator::CheckNumber(const QString &text)
{
    const qsizetype point = text.indexOf(u'.');
    const bool refused = point == text.size() - 1 || point == 0
        || (point > 0 && text.indexOf(u'.', point + 1) >= 0);
    if (refused)
        searchPos = -1;
    return !refused;
}

bool FormulaEvaluator::ApplyOperator(QString &text, QChar op)
{
    const qsizetype i = searchPos < text.size() ? text.indexOf(op, searchPos) : -1;
    searchPos = i < 0 ? -1 : i + 1;
    if (i <= 0 || text[i - 1] == u'(' || at(text, i + 1) == u')')
        return false; // nothing found, or a sign

    // Left operand: a bracketed number or a plain one.
    qsizetype start = 0;
    QString left;
    if (text[i - 1] == u')') {
        qsizetype k = i - 2;
        if (k < 0)
            return false;
        for (;;) {
            const QChar ch = text[k];
            if (QStringView(u"+*/^)").contains(ch))
                return false;
            if (k > 0 && ch == u'-' && text[k - 1] != u'(')
                return false;
            if (k > 0 && ch == u'(' && text[k - 1] == u')')
                return false;
            if (ch == u'(')
                break;
            if (--k < 0)
                return false;
        }
        start = k;
        left = text.mid(k + 1, i - (k + 1)); // "-2)": the conversion ignores the ")"
    } else {
        qsizetype k = i - 1;
        while (k >= 0 && isNumberChar(text[k]))
            --k;
        if (k >= 0 && (op == u'+' || op == u'-') && isSign(text, k)) {
            // A negative number is added to or subtracted from: bracket it, so that the
            // next search of this pass takes "(-5)" as the left operand.
            text.insert(i, u')');
            text.insert(k, u'(');
            return false;
        }
        start = k + 1;
        left = text.mid(start, i - start);
    }
    if (!CheckNumber(left))
        return false;

    // Right operand.
    QString right;
    qsizetype end = 0;
    if (at(text, i + 1) == u'(') {
        qsizetype j = i + 2;
        for (;;) {
            if (j >= text.size())
                return false;
            const QChar ch = text[j];
            if (QStringView(u"+*/^(").contains(ch))
                return false;
            if (ch == u'-' && j != i + 2)
                return false;
            if (ch == u')')
                break;
            ++j;
        }
        right = text.mid(i + 2, j - (i + 2));
        end = j + 1;
    } else {
        qsizetype j = i + 1;
        while (j < text.size() && isNumberChar(text[j]))
            ++j;
        right = text.mid(i + 1, j - (i + 1));
        end = j;
    }
    if (!CheckNumber(right))
        return false;
    if (mustWait(text, op, start, end))
        return false;

    const Decimal a = leadingNumber(left);
    const Decimal b = leadingNumber(right);
    Decimal value;
    switch (op.unicode()) {
    case u'^': value = Decimal::power(a, b); break;
    case u'*': value = a * b; break;
    case u'/':
        if (b.isZero()) {
            overflow = true;
            return false;
        }
        value = a / b;
        break;
    case u'+': value = a + b; break;
    default: value = a - b; break;
    }
    if (!inRange(a) || !inRange(b) || !inRange(value)) {
        overflow = true;
        return false;
    }

    // Splice the value in place of the operands and the operator.
    QString spliced = splicedText(value);
    text.remove(start, end - start);
    if (spliced.startsWith(u'-') && isSign(text, start - 1) && at(text, start) != u'^') {
        // A sign before a negative value: the two minus signs cancel.
        text.replace(start - 1, 1, spliced.mid(1));
        searchPos = start - 1;
        return true;
    }
    const bool aloneInBrackets = start > 0 && text[start - 1] == u'(' && at(text, start) == u')';
    if (spliced.startsWith(u'-') && !aloneInBrackets)
        spliced = u'(' + spliced + u')';
    text.insert(start, spliced);
    // The pass goes on with the new value as the next left operand, so a chain of one
    // operator is done left to right in one pass.
    searchPos = start;
    return true;
}

// One change at most, taking the bracket pairs in the order of their ")": a pair around a
// plain number is removed; a pair around a negative number "-N" becomes "N" when a sign
// stands before it (not before a "^"), or loses one of two pairs around it; other pairs wait.
void FormulaEvaluator::cleanUpBrackets(QString &text) const
{
    for (qsizetype close = text.indexOf(u')'); close >= 0; close = text.indexOf(u')', close + 1)) {
        qsizetype open = close - 1;
        int depth = 0;
        for (; open >= 0; --open) {
            if (text[open] == u')') {
                ++depth;
            } else if (text[open] == u'(') {
                if (depth == 0)
                    break;
                --depth;
            }
        }
        if (open < 0)
            continue;
        const QStringView inside = QStringView(text).mid(open + 1, close - open - 1);
        if (!holdsOperator(inside)) {
            text.remove(close, 1);
            text.remove(open, 1);
            return;
        }
        const bool negativeNumber = inside.size() > 1 && inside.front() == u'-'
            && !holdsOperator(inside.mid(1));
        if (!negativeNumber)
            continue;
        if (isSign(text, open - 1) && at(text, close + 1) != u'^') {
            text.replace(open - 1, close - open + 2, inside.mid(1).toString());
            return;
        }
        if (at(text, open - 1) == u'(' && at(text, close + 1) == u')') {
            text.remove(close, 1);
            text.remove(open, 1);
            return;
        }
    }
}

void FormulaEvaluator::finish(const QString &text)
{
    if (!CheckNumber(text)) {
        result = QStringLiteral("Error");
        return;
    }
    // The final text must be a number; anything left over ("1,250", "10=5") is an error.
    qsizetype digits = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (isDigit(ch))
            ++digits;
        else if (!(ch == u'.' || (ch == u'-' && i == 0))) {
            result = QStringLiteral("Error");
            return;
        }
    }
    if (digits == 0) {
        result = QStringLiteral("Error");
        return;
    }
    result = roundedText(text, 10);
}

void FormulaEvaluator::Evaluate()
{
    overflow = false;
    QString text = formula;
    if (!CheckFormula(formula)) {
        result = QStringLiteral("Error");
        return;
    }
    text.remove(u' ');
    if (!holdsOperator(text)) {
        finish(text);
        return;
    }
    for (int cycle = 0;;) {
        if (cycle == maxCycles) {
            result = QStringLiteral("Error");
            return;
        }
        for (QChar op : {u'^', u'*', u'/', u'+', u'-'}) {
            searchPos = 0;
            while (ApplyOperator(text, op) || searchPos >= 0) {
            }
        }
        if (overflow) {
            result = QStringLiteral("Overflow");
            return;
        }
        cleanUpBrackets(text);
        if (text.size() >= 2 && text.startsWith(u'(') && text.endsWith(u')')) {
            const QStringView inside = text[1] == u'-' ? QStringView(text).mid(2, text.size() - 3)
                                                       : QStringView(text).mid(1, text.size() - 2);
            if (!holdsOperator(inside)) {
                finish(text.mid(1, text.size() - 2));
                return;
            }
        }
        if (text.startsWith(u'-') && !holdsOperator(QStringView(text).mid(1))) {
            finish(text);
            return;
        }
        ++cycle;
        if (!holdsOperator(text)) {
            if (cycle == maxCycles)
                result = QStringLiteral("Error");
            else
                finish(text);
            return;
        }
    }
}

} // namespace wendrel
