// Number fields read exactly as the C library's formatted input reads them with the reader's
// formats: "%lld" for the time stamp, "%Lf" for every other number, the white-space directives
// between them and the literal "Calibr".
//
// The line functions take plain decimals through the exact conversion of decimal.h, the hot path.
// Everything else (exponents, hexadecimal numbers, nan and inf, more than 19 digits, characters
// that stop a number short, vertical tab, form feed and carriage return as separators) goes to
// scan_float and scan_integer, which collect the characters by the C library's own grammar and
// convert them with strtold, as the C library itself converts what it collected.
#pragma once

#include "recording/decimal.h"

enum class Field {
  converted,  // a value was stored and the text pointer moved past every character taken
  mismatch,   // the text there is no number: the line's scan ends
  end,        // nothing but white space is left: the line's scan ends
};

// Skips white space (blank, \t, \n, \v, \f, \r), then reads one "%Lf" field.
Field scan_float(const char*& p, long double& value);

// Skips white space, then reads one "%lld" field: decimal digits only, beyond the 64-bit range
// the largest or smallest value.
Field scan_integer(const char*& p, long long& value);

// Whole lines, counted as the C library counts its conversions: the number of fields converted
// before the first that fails, or -1 when the line ends before the first conversion.
//
// "Calibr" followed by `wanted` (at least 1) numbers.
int scan_calibration_line(const char* line, long double* values, int wanted);
// A time stamp followed by `wanted` (at least 1, at most kMostSampleNumbers) numbers; the time
// stamp counts as one.
constexpr int kMostSampleNumbers = 20;
int scan_sample_line(const char* line, long long& time, long double* values, int wanted);

// A number of a sample line as scanned: a plain decimal's digits, converted only where its value
// is needed, or the value the general scanner converted.
struct Number {
  bool plain;
  Decimal digits;     // where plain
  long double value;  // where not
};
inline long double number_value(const Number& n) {
  return n.plain ? decimal_value(n.digits) : n.value;
}
// scan_sample_line, leaving the numbers unconverted.
int scan_sample_numbers(const char* line, long long& time, Number* numbers, int wanted);
