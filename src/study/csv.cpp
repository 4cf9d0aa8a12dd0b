#include "study/csv.h"

#include <cmath>
#include <cstdio>

std::string csv_number(long double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char text[64];
  std::snprintf(text, sizeof text, "%.21Lg", value);
  return text;
}

void CsvRow::separate() {
  if (!first_) text_ += ',';
  first_ = false;
}

CsvRow& CsvRow::add(const std::string& text) {
  separate();
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    text_ += text;
    return *this;
  }
  text_ += '"';
  for (char c : text) {
    if (c == '"') text_ += '"';
    text_ += c;
  }
  text_ += '"';
  return *this;
}

CsvRow& CsvRow::add(long double value) { return add(csv_number(value)); }
CsvRow& CsvRow::add(int value) { return add(std::to_string(value)); }
CsvRow& CsvRow::add(long long value) { return add(std::to_string(value)); }

CsvRow& CsvRow::add(__int128 value) {
  // Digits from the last, on the magnitude as unsigned: the most negative value has no positive.
  unsigned __int128 magnitude =
      value < 0 ? -static_cast<unsigned __int128>(value) : static_cast<unsigned __int128>(value);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  return add(value < 0 ? "-" + digits : digits);
}

CsvRow& CsvRow::empty() {
  separate();
  return *this;
}

std::string csv_header(const std::vector<std::string>& columns) {
  CsvRow row;
  for (const std::string& c : columns) row.add(c);
  return row.str();
}
