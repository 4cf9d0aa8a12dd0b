#include "recording/decimal.h"

#include <cstdint>

namespace {

constexpr int kMaxDigits = 19;    // every 19-digit integer fits 64 bits
constexpr int kMaxFraction = 27;  // 10^27 = 2^27 * 5^27 with 5^27 < 2^64: exact

struct PowersOfTen {
  long double value[kMaxFraction + 1];
  PowersOfTen() {
    value[0] = 1;
    for (int k = 1; k <= kMaxFraction; ++k) value[k] = value[k - 1] * 10;
  }
};
const PowersOfTen kPowers;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool ends_token(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\0'; }

// Skips separators; false when nothing but separators is left.
bool skip_blanks(const char*& p) {
  while (*p == ' ' || *p == '\t' || *p == '\n') ++p;
  return *p != '\0';
}

}  // namespace

Token next_decimal(const char*& p, long double& value) {
  if (!skip_blanks(p)) return Token::end;
  const char* s = p;
  bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  std::uint64_t mantissa = 0;
  int digits = 0;    // significant digits taken into the mantissa
  int fraction = 0;  // digits after the point
  bool any = false;
  for (; is_digit(*s); ++s) {
    any = true;
    if (mantissa == 0 && *s == '0') continue;
    if (++digits > kMaxDigits) return Token::other;
    mantissa = mantissa * 10 + static_cast<unsigned>(*s - '0');
  }
  if (*s == '.') {
    for (++s; is_digit(*s); ++s) {
      any = true;
      if (++fraction > kMaxFraction) return Token::other;
      if (mantissa == 0 && *s == '0') continue;
      if (++digits > kMaxDigits) return Token::other;
      mantissa = mantissa * 10 + static_cast<unsigned>(*s - '0');
    }
  }
  if (!any || !ends_token(*s)) return Token::other;
  long double v = static_cast<long double>(mantissa);
  if (fraction > 0) v /= kPowers.value[fraction];
  value = negative ? -v : v;
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
