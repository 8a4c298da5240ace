#include "Decimal.h"

// Intel's decimal floating-point library as Debian builds it in libbidgcc000: arguments and
// results by value, the rounding mode and the status flags passed to each call (no globals,
// so the arithmetic is safe on any thread).
#define DECIMAL_CALL_BY_REFERENCE 0
#define DECIMAL_GLOBAL_ROUNDING 0
#define DECIMAL_GLOBAL_EXCEPTION_FLAGS 0
#include <bid_conf.h>
#include <bid_functions.h>

#include <charconv>
#include <cstring>
#include <string>
#include <type_traits>

namespace wendrel {

static_assert(sizeof(Decimal) == sizeof(BID_UINT128) && std::is_trivially_copyable_v<Decimal>);

namespace {

// The status flags are not looked at: every case that matters (a division by zero, a value
// out of range, no number) shows in the value itself.
using Operation = BID_UINT128 (*)(BID_UINT128, BID_UINT128, _IDEC_round, _IDEC_flags *);

BID_UINT128 load(const Decimal &decimal)
{
    BID_UINT128 value;
    std::memcpy(&value, &decimal, sizeof value);
    return value;
}

Decimal store(BID_UINT128 value)
{
    Decimal decimal;
    std::memcpy(static_cast<void *>(&decimal), &value, sizeof value); // trivially copyable
    return decimal;
}

Decimal apply(Operation operation, const Decimal &a, const Decimal &b)
{
    _IDEC_flags flags = 0;
    return store(operation(load(a), load(b), BID_ROUNDING_TO_NEAREST, &flags));
}

// A finite value as the library writes it: "+1234E-3" is 1.234.
struct Parts {
    bool negative = false;
    std::string coefficient;
    int exponent = 0;
};

bool split(BID_UINT128 value, Parts &parts)
{
    char text[64] = {}; // at most a sign, 34 digits, "E", a sign and 4 digits
    _IDEC_flags flags = 0;
    bid128_to_string(text, value, &flags);
    const std::string_view view(text);
    const size_t e = view.find('E');
    if (view.size() < 4 || e == std::string_view::npos)
        return false; // "+Inf", "-NaN", ...
    parts.negative = view[0] == '-';
    parts.coefficient = std::string(view.substr(1, e - 1));
    const char *exponent = view.data() + e + 1;
    if (*exponent == '+')
        ++exponent;
    return std::from_chars(exponent, view.data() + view.size(), parts.exponent).ec == std::errc();
}

} // namespace

Decimal Decimal::fromText(std::string_view text)
{
    std::string copy(text); // the library wants a writable string with its terminating zero
    _IDEC_flags flags = 0;
    return store(bid128_from_string(copy.data(), BID_ROUNDING_TO_NEAREST, &flags));
}

Decimal operator+(const Decimal &a, const Decimal &b)
{
    return apply(bid128_add, a, b);
}

Decimal operator-(const Decimal &a, const Decimal &b)
{
    return apply(bid128_sub, a, b);
}

Decimal operator*(const Decimal &a, const Decimal &b)
{
    return apply(bid128_mul, a, b);
}

Decimal operator/(const Decimal &a, const Decimal &b)
{
    return apply(bid128_div, a, b);
}

Decimal Decimal::power(const Decimal &a, const Decimal &b)
{
    return apply(bid128_pow, a, b);
}

bool Decimal::isZero() const
{
    return bid128_isZero(load(*this));
}

bool Decimal::withinMagnitude(const Decimal &limit) const
{
    _IDEC_flags flags = 0;
    const BID_UINT128 value = load(*this);
    const BID_UINT128 bound = bid128_abs(load(limit));
    return bid128_quiet_less_equal(value, bound, &flags)
        && bid128_quiet_greater_equal(value, bid128_negate(bound), &flags); // false for NaN
}

QString Decimal::toText() const
{
    Parts parts;
    if (!split(load(*this), parts))
        return {};
    std::string digits = parts.coefficient;
    if (digits.find_first_not_of('0') == std::string::npos)
        return QStringLiteral("0"); // +0 and -0, with any exponent
    int exponent = parts.exponent;
    while (exponent < 0 && digits.back() == '0') { // trailing zeros after the point
        digits.pop_back();
        ++exponent;
    }
    std::string text;
    if (exponent >= 0) {
        text = digits + std::string(size_t(exponent), '0');
    } else {
        const size_t decimals = size_t(-exponent);
        if (digits.size() <= decimals)
            digits.insert(0, decimals - digits.size() + 1, '0');
        text = digits.substr(0, digits.size() - decimals) + '.' + digits.substr(digits.size() - decimals);
    }
    if (parts.negative)
        text.insert(0, 1, '-');
    return QString::fromLatin1(text);
}

} // namespace wendrel
