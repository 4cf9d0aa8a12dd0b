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

// The same for a decimal integer of at most 18 digits (a time stamp).
Token next_integer(const char*& p, long long& value);
