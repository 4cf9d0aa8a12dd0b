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

bool split_records(const std::string& text, std::vector<std::string>& records) {
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '"') quoted = !quoted;  // a doubled quote toggles twice
    if (!quoted && text[k] == '\n') {
      records.push_back(text.substr(start, k + 1 - start));
      start = k + 1;
    }
  }
  return start == text.size() && !records.empty();
}

std::vector<std::string> fields_of(const std::string& record) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  const std::size_t end =
      !record.empty() && record.back() == '\n' ? record.size() - 1 : record.size();
  for (std::size_t k = 0; k < end; ++k) {
    const char c = record[k];
    if (quoted && c == '"' && k + 1 < end && record[k + 1] == '"') {
      fields.back() += '"';
      ++k;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}
