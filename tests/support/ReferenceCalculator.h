#pragma once
// An independent calculator of the formula evaluator's conventions, by recursive descent:
// "^" binds tightest and groups from the left, then "*" "/", then "+" "-"; a "-" at the start
// or after "(" negates the product or power after it; every operation is worked out in the
// evaluator's decimal arithmetic and values beyond 1e18 overflow. Used by the tests and the
// formula fuzzer to check the evaluator's rewriting of the text.
#include "Decimal.h"

#include <QString>
#include <optional>

namespace wendrel {

class ReferenceCalculator {
public:
    explicit ReferenceCalculator(const QString &text) : s(text) {}

    // A number with ten decimals at most, "Error" or "Overflow".
    QString evaluate()
    {
        const auto value = expression();
        if (!value || pos != s.size())
            return QStringLiteral("Error");
        if (overflow)
            return QStringLiteral("Overflow");
        return tenDecimals(*value);
    }

private:
    // Ties away from zero: half a unit of the tenth decimal is added to the magnitude and the
    // digits after the tenth are cut.
    static QString tenDecimals(const Decimal &value)
    {
        QString text = value.toText();
        const bool negative = text.startsWith(u'-');
        if (negative)
            text.remove(0, 1);
        text = (Decimal::fromText(text.toStdString()) + Decimal::fromText("0.00000000005")).toText();
        const qsizetype point = text.indexOf(u'.');
        if (point >= 0) {
            text.truncate(point + 11);
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
        return negative && text != QLatin1String("0") ? u'-' + text : text;
    }

    // An overflow is noted and the parse goes on, so that a formula that is not one is an
    // error whatever it would compute.
    Decimal apply(const Decimal &a, QChar op, const Decimal &b)
    {
        Decimal w;
        switch (op.unicode()) {
        case u'^': w = Decimal::power(a, b); break;
        case u'*': w = a * b; break;
        case u'/':
            if (b.isZero()) {
                overflow = true;
                return w;
            }
            w = a / b;
            break;
        case u'+': w = a + b; break;
        default: w = a - b;
        }
        static const Decimal limit = Decimal::fromText("1000000000000000000");
        if (!a.withinMagnitude(limit) || !b.withinMagnitude(limit) || !w.withinMagnitude(limit))
            overflow = true;
        return w;
    }
    bool at(QChar c) const { return pos < s.size() && s[pos] == c; }
    std::optional<Decimal> expression()
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
            value = Decimal() - *value;
        while (at(u'+') || at(u'-')) {
            const QChar op = s[pos++];
            const auto right = term();
            if (!right)
                return std::nullopt;
            value = apply(*value, op, *right);
        }
        return value;
    }
    std::optional<Decimal> term()
    {
        auto value = power();
        while (value && (at(u'*') || at(u'/'))) {
            const QChar op = s[pos++];
            const auto right = power();
            if (!right)
                return std::nullopt;
            value = apply(*value, op, *right);
        }
        return value;
    }
    std::optional<Decimal> power()
    {
        auto value = primary();
        while (value && at(u'^')) {
            ++pos;
            const auto right = primary();
            if (!right)
                return std::nullopt;
            value = apply(*value, u'^', *right);
        }
        return value;
    }
    // A bracketed expression, or digits with one point at most, neither first nor last.
    std::optional<Decimal> primary()
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
        while (pos < s.size() && ((s[pos] >= u'0' && s[pos] <= u'9') || s[pos] == u'.'))
            ++pos;
        const QString number = s.mid(start, pos - start);
        if (number.isEmpty() || number.startsWith(u'.') || number.endsWith(u'.') || number.count(u'.') > 1)
            return std::nullopt;
        return Decimal::fromText(number.toStdString());
    }

    QString s;
    qsizetype pos = 0;
    bool overflow = false;
};

} // namespace wendrel
