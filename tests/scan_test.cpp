// The reader's number conversion against the C library: plain decimals (decimal.h) as strtold
// converts them, and the scanner's fields and lines as sscanf with the reader's formats takes
// them: the same characters taken, the same conversion counts and the same values, bit for bit
// (NaN sign and payload included).
#include "recording/scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// Shows control characters, so that a failing text can be read.
std::string shown(const std::string& text) {
  static const char kControl[] = "\t\n\v\f\r", kLetter[] = "tnvfr";
  std::string out = "\"";
  for (char c : text) {
    const char* control = c == '\0' ? nullptr : std::strchr(kControl, c);
    if (control != nullptr) {
      out += '\\';
      out += kLetter[control - kControl];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// sscanf's return value for one field of the scanner's outcome.
int counted(Field field) {
  return field == Field::converted ? 1 : field == Field::mismatch ? 0 : -1;
}

// Number texts around every turn of the C library's grammar.
const std::vector<std::string> kOddNumbers = {
    // plain decimals and their edges
    "0", "-0", "+0", "7", "1.5", "-1.25", "+1.5", ".5", "-.5", "5.", "-5.", "007", "0.000",
    "1234567890123456789", "12345678901234567890", "0.1234567890123456789",
    "123456789012345678901234567890123456789012345", "0.30000000000000000000000000000000004",
    "18446744073709551615", "18446744073709551616.5",
    // signs and points alone or doubled
    "-", "+", ".", "+.", "-.", "..", "1.5.", "1..5", "+-1", "-+1", "--1", "++1", "- 1",
    // exponents, whole and cut short
    "1e5", "1E5", "1e+5", "1e-5", "1e", "1E", "1e+", "1e-", "1e+x", "1e-x", "1ee", "1e1e", "1e5.3",
    "1e+-5", "1e++5", "1.e", "1.e3", "0e", "0e5", "0.e+", ".e5", "e5", "-.e", "5.e3", "1e0005",
    "1e-0", "1e99999999999999999999", "1e-99999999999999999999",
    // range: overflow, underflow, denormals, the largest value
    "1e5000", "-1e5000", "1e-5000", "-1e-5000", "1e-4940", "3.6e-4951", "1.8e-4951", "1.9e-4951",
    "1e-4951", "3.3621031431120935063e-4932", "3.3621031431120935062e-4932",
    "1.18973149535723176502e+4932", "1.18973149535723176503e+4932", "1.2e4932",
    // hexadecimal
    "0x", "0X", "-0x", "+0x", "0x.", "0x.p1", "0xp1", "0x1p", "0x1p+", "0x1p-", "0x1P3", "0X1.8p1",
    "0xg", "0xx", "0x1e3", "0x1e+3", "0x1.ep-1", "0x0.8", "0x1p3x", "0x1p3.5", "0xABCDEFp-20",
    "0xabcdefabcdefabcdefabcdefp0", "0x1p-16445", "0x1p-16446", "0x1p16384", "0x.8", "0x8.",
    "00x1p3", "0x1pp3", "0x1p+-3", "-0x1.8p1",
    // nan and infinity in every spelling the grammar meets
    "nan", "NAN", "NaN", "-nan", "+nan", "nan(abc)", "nan(", "nan()", "nan(123)", "nanx", "na",
    "nax", "n", "nn", "inf", "INF", "Inf", "-inf", "+INF", "infinity", "INFINITY", "InFiNiTy",
    "infinit", "infi", "infin", "infinix", "infx", "infinityx", "in", "i", "ie", "-i", "-n",
    // characters a number stops at (octal 240: Latin-1's no-break space, no white space here)
    "1.5abc", "1,5", "1;2", "1/2", "1:2", "1\x01", "1\240", "\2401", "x", "abc", "(1)", "$1"};

// What may stand around a number in a line.
const std::vector<std::string> kBefore = {"", " ", "\t", "\n", "\v", "\f", "\r", "  \v\f\r\t "};
const std::vector<std::string> kAfter = {"",  " ", "\t", "\r", "\v", "\n", "x",  "5",   ".",   "e",
                                         "E", "+", "-",  "(",  ",5", "e5", "p3", "nan", "\r\n"};

void expect_float_as_sscanf(const std::string& text) {
  long double expected = -7, actual = -7;
  int taken = -1;
  const int count = std::sscanf(text.c_str(), "%Lf%n", &expected, &taken);
  const char* p = text.c_str();
  const Field field = scan_float(p, actual);
  ASSERT_EQ(counted(field), count) << shown(text);
  if (field != Field::converted) {
    EXPECT_EQ(p, text.c_str()) << shown(text);
    return;
  }
  EXPECT_EQ(p - text.c_str(), taken) << shown(text);
  EXPECT_TRUE(same_extended(actual, expected))
      << shown(text) << ": " << extended_bits(actual) << " instead of " << extended_bits(expected);
}

void expect_integer_as_sscanf(const std::string& text) {
  long long expected = -7, actual = -7;
  int taken = -1;
  const int count = std::sscanf(text.c_str(), "%lld%n", &expected, &taken);
  const char* p = text.c_str();
  const Field field = scan_integer(p, actual);
  ASSERT_EQ(counted(field), count) << shown(text);
  if (field != Field::converted) return;
  EXPECT_EQ(p - text.c_str(), taken) << shown(text);
  EXPECT_EQ(actual, expected) << shown(text);
}

TEST(DecimalTest, PlainDecimalsConvertExactlyAsStrtold) {
  std::mt19937_64 random(12345);
  for (int n = 0; n < 300000; ++n) {
    const char* signs[] = {"-", "+", "", ""};
    std::string text = signs[random() % 4];
    int before = static_cast<int>(random() % 12), after = static_cast<int>(random() % 21);
    if (random() % 5 == 0) text += std::string(random() % 6, '0');  // leading zeros
    for (int k = 0; k < before; ++k) text += static_cast<char>('0' + random() % 10);
    if (after > 0 || before == 0 || random() % 3 == 0) {
      text += '.';
      if (random() % 4 == 0) text += std::string(random() % 8, '0');
      for (int k = 0; k < after; ++k) text += static_cast<char>('0' + random() % 10);
    }
    if (text.find_first_of("0123456789") == std::string::npos) text += '7';
    const char* p = text.c_str();
    long double fast = -1;
    Token token = next_decimal(p, fast);
    if (token == Token::other) continue;  // too many digits: left to the general scanner
    ASSERT_EQ(token, Token::number) << text;
    EXPECT_EQ(*p, '\0') << text;
    long double expected = std::strtold(text.c_str(), nullptr);
    ASSERT_TRUE(same_extended(fast, expected)) << text;
  }
}

TEST(DecimalTest, EverythingElseIsLeftToTheGeneralScanner) {
  for (const char* text :
       {"1e3", "1E3", "0x1p3", "nan", "inf", "-inf", "1.5abc", "1,5", ".", "-", "+", "1.2.3",
        "12345678901234567890", "0.1234567890123456789012345678", "5\r", "1\v"}) {
    const char* p = text;
    long double value;
    EXPECT_EQ(next_decimal(p, value), Token::other) << text;
    EXPECT_EQ(p, text) << text;
  }
  for (const char* text : {"", "  \t\n"}) {
    const char* p = text;
    long double value;
    EXPECT_EQ(next_decimal(p, value), Token::end);
  }
  const char* p = " -0 7.";
  long double value;
  ASSERT_EQ(next_decimal(p, value), Token::number);
  EXPECT_TRUE(std::signbit(value));
  ASSERT_EQ(next_decimal(p, value), Token::number);
  EXPECT_EQ(value, 7.0L);
  long long integer;
  for (const char* text : {"1234567890123456789", "5.", "0x10", "+"}) {
    p = text;
    EXPECT_EQ(next_integer(p, integer), Token::other) << text;
  }
  p = "-123456789012345678 ";
  ASSERT_EQ(next_integer(p, integer), Token::number);
  EXPECT_EQ(integer, -123456789012345678LL);
}

TEST(ScanTest, FloatFieldsTakeWhatTheCLibraryTakes) {
  for (const std::string& number : kOddNumbers) {
    for (const std::string& before : kBefore) {
      for (const std::string& after : kAfter) expect_float_as_sscanf(before + number + after);
    }
  }
  // Digit strings far beyond any buffer of a few dozen characters.
  expect_float_as_sscanf(std::string(3000, '9'));
  expect_float_as_sscanf("0." + std::string(4000, '0') + "1e4000");
  expect_float_as_sscanf("-" + std::string(200, '1') + "." + std::string(200, '2') + "e-300x");
  expect_float_as_sscanf("0x" + std::string(500, 'f') + "p-2000");
  for (const char* text : {"", " ", "\t\n\v\f\r"}) expect_float_as_sscanf(text);
}

TEST(ScanTest, RandomFloatTextsAgreeWithTheCLibrary) {
  // Short texts over the characters the grammar turns on; most are no number or stop early.
  const char alphabet[] = "0123456789012345.....eeEEpPxXaAfFnNiItTyY++--  \t\r\v(),";
  std::mt19937 random(2024);
  for (int n = 0; n < 300000; ++n) {
    std::string text;
    const int length = 1 + static_cast<int>(random() % 10);
    for (int k = 0; k < length; ++k) text += alphabet[random() % (sizeof alphabet - 1)];
    expect_float_as_sscanf(text);
  }
}

TEST(ScanTest, IntegerFieldsTakeWhatTheCLibraryTakes) {
  const std::vector<std::string> integers = {
      "0", "-0", "+0", "7", "-5", "+5", "007", "-007", "123456789012345678", "1234567890123456789",
      "9223372036854775806", "9223372036854775807", "9223372036854775808", "9223372036854775809",
      "18446744073709551615", "18446744073709551616", "99999999999999999999999",
      "-9223372036854775807", "-9223372036854775808", "-9223372036854775809",
      "-18446744073709551616", "-99999999999999999999999",
      "00000000000000000000000000009223372036854775807", "-" + std::string(100, '9'),
      // decimal only, and what stops it
      "0x10", "-0x10", "0X1", "1.5", "1e3", "1,5", "+", "-", "+-1", "-+1", "- 1", ".5", "x", "nan",
      "inf", "\2401"};
  for (const std::string& number : integers) {
    for (const std::string& before : kBefore) {
      for (const std::string& after : kAfter) expect_integer_as_sscanf(before + number + after);
    }
  }
  for (const char* text : {"", " ", "\t\n\v\f\r"}) expect_integer_as_sscanf(text);
}

// The reader's formats, each with exactly its arguments.
constexpr char kSample20[] =
    "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kSample16[] = "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kSample14[] = "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kCalibration15[] =
    "Calibr %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kCalibration9[] = "Calibr %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";

int sscanf_sample(const char* line, int wanted, long long& t, long double* v) {
  switch (wanted) {
    case 20:
      return std::sscanf(line, kSample20, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                         &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15],
                         &v[16], &v[17], &v[18], &v[19]);
    case 16:
      return std::sscanf(line, kSample16, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                         &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15]);
    default:
      return std::sscanf(line, kSample14, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                         &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13]);
  }
}

int sscanf_calibration(const char* line, int wanted, long double* v) {
  if (wanted == 15)
    return std::sscanf(line, kCalibration15, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                       &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14]);
  return std::sscanf(line, kCalibration9, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                     &v[8]);
}

// Every value converted must match; the values after the count are never looked at.
void expect_values(const long double* expected, const long double* actual, int count,
                   const std::string& line) {
  for (int k = 0; k < count; ++k) {
    EXPECT_TRUE(same_extended(actual[k], expected[k]))
        << shown(line) << " number " << k << ": " << extended_bits(actual[k]) << " instead of "
        << extended_bits(expected[k]);
  }
}

void expect_sample_as_sscanf(const std::string& line) {
  for (int wanted : {20, 16, 14}) {
    long long t_expected = -7, t_actual = -7;
    long double expected[20], actual[20];
    const int count = sscanf_sample(line.c_str(), wanted, t_expected, expected);
    const int scanned = scan_sample_line(line.c_str(), t_actual, actual, wanted);
    ASSERT_EQ(scanned, count) << shown(line) << " for " << wanted;
    if (count >= 1) {
      EXPECT_EQ(t_actual, t_expected) << shown(line);
    }
    expect_values(expected, actual, count - 1, line);
  }
}

void expect_calibration_as_sscanf(const std::string& line) {
  for (int wanted : {15, 9}) {
    long double expected[15], actual[15];
    const int count = sscanf_calibration(line.c_str(), wanted, expected);
    const int scanned = scan_calibration_line(line.c_str(), actual, wanted);
    ASSERT_EQ(scanned, count) << shown(line) << " for " << wanted;
    expect_values(expected, actual, count, line);
  }
}

// "t" followed by `count` numbers, each "1.25" but the one at `at`, which is `odd`.
std::string line_with(const std::string& t, int count, int at, const std::string& odd,
                      const std::string& separator = " ") {
  std::string line = t;
  for (int k = 0; k < count; ++k) line += separator + (k == at ? odd : "1.25");
  return line;
}

TEST(ScanTest, SampleLinesCountAndConvertAsTheCLibraryDoes) {
  for (const std::string& odd : kOddNumbers) {
    for (int at : {0, 8, 13, 15, 19}) {
      for (const char* separator : {" ", "\t", "\r", " \v\f "}) {
        expect_sample_as_sscanf(line_with("5", 20, at, odd, separator) + "\n");
        expect_sample_as_sscanf(line_with("0", 16, at, odd, separator));
      }
    }
    // As the time stamp, and glued to the number before it.
    expect_sample_as_sscanf(line_with(odd, 20, -1, ""));
    expect_sample_as_sscanf(line_with("7", 20, 5, "1" + odd));
  }
  for (const char* t : {"9223372036854775808", "-9223372036854775809", "0x10", "+-1", "-0",
                        "12345678901234567890", "1.5", "1e3", "nan", "", " ", "\r", "Calibr"})
    expect_sample_as_sscanf(line_with(t, 20, -1, ""));
  for (const char* line : {"", "\n", "   ", "5", "5 ", "5\n", "5 x", "-", "x 1 2"})
    expect_sample_as_sscanf(line);
}

TEST(ScanTest, RandomLinesCountAndConvertAsTheCLibraryDoes) {
  const std::vector<std::string> separators = {" ", " ", " ", "\t", "  ", "\r", "\v", "\f", ""};
  std::mt19937 random(99);
  for (int n = 0; n < 20000; ++n) {
    std::string line = random() % 3 == 0 ? kOddNumbers[random() % kOddNumbers.size()]
                                         : std::to_string(random() % 100000);
    const int count = 12 + static_cast<int>(random() % 10);
    for (int k = 0; k < count; ++k) {
      line += separators[random() % separators.size()];
      line += random() % 6 == 0 ? kOddNumbers[random() % kOddNumbers.size()]
                                : std::to_string(static_cast<int>(random() % 20000) - 10000) + "." +
                                      std::to_string(random() % 1000);
    }
    expect_sample_as_sscanf(line);
    expect_calibration_as_sscanf("Calibr " + line);
  }
}

TEST(ScanTest, CalibrationLinesCountAndConvertAsTheCLibraryDoes) {
  for (const std::string& odd : kOddNumbers) {
    for (int at : {0, 8, 9, 14}) {
      expect_calibration_as_sscanf(line_with("Calibr", 15, at, odd) + "\n");
      expect_calibration_as_sscanf(line_with("Calibr", 15, at, odd, "\t\v"));
    }
    expect_calibration_as_sscanf("Calibr" + odd + " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15");
  }
  // The literal: cut short by the line's end, differing, or followed at once by a number.
  for (const char* line : {"", "C", "Cal", "Calib", "Calibr", "Calibr ", "Calibr\n", "Calibr x",
                           "Cax 1 2 3", "calibr 1 2 3 4 5 6 7 8 9", " Calibr 1 2 3 4 5 6 7 8 9",
                           "Calibration 1 2 3 4 5 6 7 8 9", "Calibr1 2 3 4 5 6 7 8 9",
                           "Calibr 1 2 3 4 5 6 7 8", "Calibr 1 2 3 4 5 6 7 8 9 10 11 12 13 14"})
    expect_calibration_as_sscanf(line);
}

}  // namespace
