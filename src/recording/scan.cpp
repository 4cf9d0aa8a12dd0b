#include "recording/scan.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "recording/decimal.h"

namespace {

// White space of the C locale, which the program never leaves.
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex_digit(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `word` (lower case) follows at `s`, in any case.
bool follows(const char* s, const char* word) {
  for (; *word != '\0'; ++s, ++word) {
    if (lower(*s) != *word) return false;
  }
  return true;
}

// The end of the characters "%Lf" collects from `s` (just past the white space), or nullptr where
// the grammar itself fails ("-", "+-1", "0x", "na", "infinit"); what it collects may still not
// convert ("."). It collects greedily and never backs up: "1e", "1e+" and "0x." are taken whole
// although only "1" and "0" convert, and the rest of the line goes on after them.
const char* collect_float(const char* s) {
  const char* const start = s;
  const bool sign = *s == '-' || *s == '+';
  if (sign) ++s;
  if (lower(*s) == 'n') {
    // "nan" and no more: a parenthesised payload is left in the line.
    return follows(s, "nan") ? s + 3 : nullptr;
  }
  if (lower(*s) == 'i') {
    if (!follows(s, "inf")) return nullptr;
    s += 3;
    if (lower(*s) != 'i') return s;
    // Once past "inf" an "i" commits to "infinity": "infinit" is no number at all.
    return follows(s, "inity") ? s + 5 : nullptr;
  }
  bool hex = false, digit = false, point = false, exponent = false;
  char exponent_char = 'e';
  if (*s == '0') {
    ++s;
    if (lower(*s) == 'x') {
      hex = true;
      exponent_char = 'p';
      ++s;
    } else {
      digit = true;
    }
  }
  for (;; ++s) {
    const char c = *s;
    if (is_digit(c) || (hex && !exponent && is_hex_digit(c))) {
      digit = true;
    } else if (exponent && lower(s[-1]) == exponent_char && (c == '-' || c == '+')) {
      // the exponent's sign, right after its letter
    } else if (digit && !exponent && lower(c) == exponent_char) {
      exponent = point = true;  // no point after the exponent
    } else if (!point && c == '.') {
      point = true;
    } else {
      break;
    }
  }
  const long taken = s - start;
  if (taken == (sign ? 1 : 0) || (hex && taken == (sign ? 3 : 2))) return nullptr;
  return s;
}

// A plain decimal converts exactly in decimal.h; anything else goes to scan_float.
Field number(const char*& p, long double& value) {
  switch (next_decimal(p, value)) {
    case Token::number:
      return Field::converted;
    case Token::end:
      return Field::end;
    default:
      return scan_float(p, value);
  }
}

// Up to `wanted` numbers into values[]; returns how many converted and, in `last`, how the scan
// ended.
int numbers(const char*& p, long double* values, int wanted, Field& last) {
  int count = 0;
  last = Field::converted;
  while (count < wanted && (last = number(p, values[count])) == Field::converted) ++count;
  return count;
}

// Conversions by strtold of short texts, remembered: one far outside the usual range (1e-4940)
// costs microseconds of big-integer arithmetic, and a file that holds it holds it many times.
// Direct-mapped by a hash of the text; a conversion depends on nothing but its text.
class ConversionCache {
 public:
  static constexpr std::size_t kLongestText = 63;

  // strtold of text[0..length): false when it converts nothing.
  bool convert(const char* text, std::size_t length, long double& value) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (std::size_t k = 0; k < length; ++k)
      hash = (hash ^ static_cast<unsigned char>(text[k])) * 16777619u;
    Slot& slot = slots_[hash % kSlots];
    if (slot.length != length || std::memcmp(slot.text, text, length) != 0) {
      std::memcpy(slot.text, text, length);
      slot.text[length] = '\0';
      slot.length = length;
      char* converted_end = nullptr;
      slot.value = std::strtold(slot.text, &converted_end);
      slot.converted = converted_end != slot.text;
    }
    value = slot.value;
    return slot.converted;
  }

 private:
  static constexpr std::size_t kSlots = 256;
  struct Slot {
    char text[kLongestText + 1];
    std::size_t length = kLongestText + 1;  // no text has it: the slot is empty
    long double value;
    bool converted;
  };
  Slot slots_[kSlots];
};
ConversionCache conversions;

}  // namespace

Field scan_float(const char*& p, long double& value) {
  const char* s = p;
  while (is_space(*s)) ++s;
  if (*s == '\0') return Field::end;
  const char* end = collect_float(s);
  if (end == nullptr) return Field::mismatch;
  // strtold on exactly the collected characters: they may hold more than strtold takes, and
  // text after them (a NaN payload) must not reach it.
  const std::size_t length = static_cast<std::size_t>(end - s);
  long double v;
  bool converted;
  if (length <= ConversionCache::kLongestText) {
    converted = conversions.convert(s, length, v);
  } else {
    const std::string text(s, length);
    char* converted_end = nullptr;
    v = std::strtold(text.c_str(), &converted_end);
    converted = converted_end != text.c_str();
  }
  if (!converted) return Field::mismatch;  // ".", "-.", "+.e"
  value = v;
  p = end;
  return Field::converted;
}

Field scan_integer(const char*& p, long long& value) {
  const char* s = p;
  while (is_space(*s)) ++s;
  if (*s == '\0') return Field::end;
  const bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  if (!is_digit(*s)) return Field::mismatch;
  // The magnitude, held at 2^63 once it reaches it: beyond the range the value saturates.
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
  std::uint64_t magnitude = 0;
  for (; is_digit(*s); ++s) {
    const unsigned d = static_cast<unsigned>(*s - '0');
    magnitude = magnitude > (kLimit - d) / 10 ? kLimit : magnitude * 10 + d;
  }
  if (negative) {
    value = magnitude == kLimit ? std::numeric_limits<long long>::min()
                                : -static_cast<long long>(magnitude);
  } else {
    value = magnitude == kLimit ? std::numeric_limits<long long>::max()
                                : static_cast<long long>(magnitude);
  }
  p = s;
  return Field::converted;
}

int scan_calibration_line(const char* line, long double* values, int wanted) {
  const char* p = line;
  for (const char* k = "Calibr"; *k != '\0'; ++k, ++p) {
    if (*p == '\0') return -1;
    if (*p != *k) return 0;
  }
  Field last;
  const int count = numbers(p, values, wanted, last);
  return count == 0 && last == Field::end ? -1 : count;
}

int scan_sample_numbers(const char* line, long long& time, Number* numbers, int wanted) {
  const char* p = line;
  Field first;
  switch (next_integer(p, time)) {
    case Token::number:
      first = Field::converted;
      break;
    case Token::end:
      first = Field::end;
      break;
    default:
      first = scan_integer(p, time);
      break;
  }
  if (first != Field::converted) return first == Field::end ? -1 : 0;
  int count = 0;
  while (count < wanted) {
    Number& n = numbers[count];
    const Token token = next_decimal_digits(p, n.digits);
    if (token == Token::end) break;
    n.plain = token == Token::number;
    if (!n.plain && scan_float(p, n.value) != Field::converted) break;
    ++count;
  }
  return 1 + count;
}

int scan_sample_line(const char* line, long long& time, long double* values, int wanted) {
  Number numbers[kMostSampleNumbers];
  if (wanted > kMostSampleNumbers) wanted = kMostSampleNumbers;
  const int count = scan_sample_numbers(line, time, numbers, wanted);
  for (int k = 0; k + 1 < count; ++k) values[k] = number_value(numbers[k]);
  return count;
}
