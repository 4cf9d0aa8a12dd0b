// Exact conversion of the short decimals that recordings hold: the reader's hot path.
//
// A plain decimal ([+-]digits[.digits], at most 19 digits in all) converts exactly to the 80-bit
// extended format by one integer accumulation and one division by an exact power of ten: the format
// holds every 64-bit integer and every power of ten up to 10^27, and its division rounds correctly,
// so the result is the correctly rounded value strtold and the C library's "%Lf" give. Anything
// else is left to the general scanner (scan.h).
#pragma once

enum class Token {
  number,  // a plain decimal, followed by blank, tab, newline or the end of the text
  end,     // only blanks, tabs and newlines up to the end of the text
  other,   // anything else: the general scanner has to decide
};

// Skips blanks, tabs and newlines, then reads one plain decimal into `value` and moves `p`
// past it.
Token next_decimal(const char*& p, long double& value);

// The most digits a plain decimal holds: every 19-digit integer fits 64 bits.
constexpr int kMaxDecimalDigits = 19;

// A plain decimal's digits, before conversion: the integer of all its digits, how many stood
// after the point, and its sign. Equal digits convert to equal values.
struct Decimal {
  unsigned long long mantissa;
  int fraction;
  bool negative;
};
inline bool same_decimal(const Decimal& a, const Decimal& b) {
  return a.mantissa == b.mantissa && a.fraction == b.fraction && a.negative == b.negative;
}

// next_decimal without the conversion: the digits only, for values that may not be needed.
Token next_decimal_digits(const char*& p, Decimal& digits);

// Reads the digits of a plain decimal at `s` (just past the blanks) and moves `s` past them;
// false where the text is no plain decimal: no digit, more than 19, or `ends(s)` false at the
// character after them. next_decimal ends a number at a blank, a tab, a newline or the end of
// the text; the reader's block, which holds no terminator, ends it where its line ends.
template <typename Ends>
inline bool read_decimal_digits(const char*& s, Decimal& d, Ends ends) {
  const auto digit = [](char c) { return static_cast<unsigned>(c - '0') < 10u; };
  d.negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  // Every digit, leading zeros included, goes into the mantissa; at most 19 of them fit.
  unsigned long long mantissa = 0;
  const char* first = s;
  for (; digit(*s); ++s) mantissa = mantissa * 10 + static_cast<unsigned>(*s - '0');
  int digits = static_cast<int>(s - first);
  int fraction = 0;  // digits after the point
  if (*s == '.') {
    const char* point = ++s;
    for (; digit(*s); ++s) mantissa = mantissa * 10 + static_cast<unsigned>(*s - '0');
    fraction = static_cast<int>(s - point);
    digits += fraction;
  }
  d.mantissa = mantissa;
  d.fraction = fraction;
  return digits != 0 && digits <= kMaxDecimalDigits && ends(s);
}

// The value next_decimal gives for those digits: the integer divided by an exact power of ten
// (every power up to 10^19 is exact in the 64-bit mantissa).
inline constexpr long double kPowersOfTen[20] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                                 1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                                 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L};
inline long double decimal_value(const Decimal& d) {
  long double v = static_cast<long double>(d.mantissa);
  if (d.fraction > 0) v /= kPowersOfTen[d.fraction];
  return d.negative ? -v : v;
}

// The same for a decimal integer of at most 18 digits (a time stamp).
Token next_integer(const char*& p, long long& value);
