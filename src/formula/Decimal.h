#pragma once
// A decimal floating-point number of 34 significant digits (IEEE 754 decimal128), the
// calculator's arithmetic: every operation is worked out in decimal and rounded once, to the
// nearest value (ties to even), so 0.1+0.2 is exactly 0.3 and 1/(1/3000000) is 3000000.
#include <QString>
#include <cstdint>
#include <string_view>

namespace wendrel {

class Decimal {
public:
    Decimal() = default; // zero

    // A sign, then digits with at most one point among them. More digits than 34 significant
    // ones are rounded off; beyond the format's range (about 10^6144) they are infinite, below
    // it zero. Any other text is not a number.
    static Decimal fromText(std::string_view text);

    friend Decimal operator+(const Decimal &a, const Decimal &b);
    friend Decimal operator-(const Decimal &a, const Decimal &b);
    friend Decimal operator*(const Decimal &a, const Decimal &b);
    friend Decimal operator/(const Decimal &a, const Decimal &b); // x/0 is infinite, 0/0 not a number
    // a to the power b, to the same precision; 0^0 is 1, a negative a with a fractional b is
    // not a number.
    static Decimal power(const Decimal &a, const Decimal &b);

    bool isZero() const;
    // -limit <= value <= limit; false for what is not a number.
    bool withinMagnitude(const Decimal &limit) const;

    // The exact value in fixed-point notation, as short as it can be: no exponent, no trailing
    // zeros after the point, no point without decimals, "-" before a negative value and zero
    // as "0". Empty for infinities and what is not a number.
    QString toText() const;

private:
    alignas(16) std::uint64_t bits[2] = {}; // the library's encoding; all zero bits are zero
};

} // namespace wendrel
