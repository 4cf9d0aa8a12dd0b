#include "recording/decimal.h"

#include <cstdint>

namespace {

constexpr int kMaxDigits = 19;  // every 19-digit integer fits 64 bits
// With at most 19 digits there are at most 19 after the point: kPowersOfTen has them all.
static_assert(sizeof kPowersOfTen / sizeof kPowersOfTen[0] == kMaxDigits + 1);

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool ends_token(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\0'; }

// Skips separators; false when nothing but separators is left.
bool skip_blanks(const char*& p) {
  while (*p == ' ' || *p == '\t' || *p == '\n') ++p;
  return *p != '\0';
}

// Reads the digits of a plain decimal at `s` (just past the blanks) and moves `s` past them;
// false where the text is no plain decimal.
inline bool read_digits(const char*& s, Decimal& d) {
  d.negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  // Every digit, leading zeros included, goes into the mantissa; at most 19 of them fit.
  std::uint64_t mantissa = 0;
  const char* first = s;
  for (; is_digit(*s); ++s) mantissa = mantissa * 10 + static_cast<unsigned>(*s - '0');
  int digits = static_cast<int>(s - first);
  int fraction = 0;  // digits after the point
  if (*s == '.') {
    const char* point = ++s;
    for (; is_digit(*s); ++s) mantissa = mantissa * 10 + static_cast<unsigned>(*s - '0');
    fraction = static_cast<int>(s - point);
    digits += fraction;
  }
  d.mantissa = mantissa;
  d.fraction = fraction;
  return digits != 0 && digits <= kMaxDigits && ends_token(*s);
}

}  // namespace

Token next_decimal(const char*& p, long double& value) {
  if (!skip_blanks(p)) return Token::end;
  const char* s = p;
  Decimal d;
  if (!read_digits(s, d)) return Token::other;
  value = decimal_value(d);
  p = s;
  return Token::number;
}

Token next_decimal_digits(const char*& p, Decimal& d) {
  if (!skip_blanks(p)) return Token::end;
  const char* s = p;
  if (!read_digits(s, d)) return Token::other;
  p = s;
  return Token::number;
}

Token next_integer(const char*& p, long long& value) {
  if (!skip_blanks(p)) return Token::end;
  const char* s = p;
  bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  long long v = 0;
  int digits = 0;
  for (; is_digit(*s); ++s) {
    if (++digits > 18) return Token::other;
    v = v * 10 + (*s - '0');
  }
  if (digits == 0 || !ends_token(*s)) return Token::other;
  value = negative ? -v : v;
  p = s;
  return Token::number;
}
