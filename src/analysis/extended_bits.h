// The bits of an 80-bit extended value, for deciding about a value without arithmetic on it: the
// floating-point unit takes hundreds of cycles for an operand that is not a number, infinite or
// denormal, and even a comparison may touch it.
#pragma once

#include <cstdint>
#include <cstring>

struct ExtendedBits {
  std::uint64_t mantissa;       // the explicit integer bit and 63 fraction bits
  std::uint16_t sign_exponent;  // sign bit and 15-bit biased exponent

  // From the value's own storage: no copy through the floating-point unit.
  static ExtendedBits of(const long double& x) {
    ExtendedBits b;
    std::memcpy(&b.mantissa, &x, sizeof b.mantissa);
    std::memcpy(&b.sign_exponent, reinterpret_cast<const char*>(&x) + sizeof b.mantissa,
                sizeof b.sign_exponent);
    return b;
  }
  int exponent() const { return sign_exponent & 0x7fff; }
  bool finite() const { return exponent() != 0x7fff; }
  bool infinite() const { return !finite() && (mantissa << 1) == 0; }
  bool nan() const { return !finite() && (mantissa << 1) != 0; }

  bool operator==(const ExtendedBits& o) const {
    return mantissa == o.mantissa && sign_exponent == o.sign_exponent;
  }
  bool operator!=(const ExtendedBits& o) const { return !(*this == o); }
  bool operator<(const ExtendedBits& o) const {
    return sign_exponent != o.sign_exponent ? sign_exponent < o.sign_exponent
                                            : mantissa < o.mantissa;
  }
};
