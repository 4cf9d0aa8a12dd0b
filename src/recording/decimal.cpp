#include "recording/decimal.h"

#include <cstdint>

namespace {

// With at most 19 digits there are at most 19 after the point: kPowersOfTen has them all.
static_assert(sizeof kPowersOfTen / sizeof kPowersOfTen[0] == kMaxDecimalDigits + 1);

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool ends_token(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\0'; }

// Skips separators; false when nothing but separators is left.
bool skip_blanks(const char*& p) {
  while (*p == ' ' || *p == '\t' || *p == '\n') ++p;
  return *p != '\0';
}

bool read_digits(const char*& s, Decimal& d) {
  return read_decimal_digits(s, d, [](const char* c) { return ends_token(*c); });
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
