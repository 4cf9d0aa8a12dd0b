// CSV rows as RFC 4180 has them: fields separated by commas, records ended by CRLF, a field
// quoted (and its quotes doubled) when it holds a comma, a quote or a line break.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Extended-precision values in as many digits as it takes to read the same 80-bit value back
// (21 significant digits at most, "%.21Lg"); "NaN", "Inf" and "-Inf" for the values without
// digits, as statistics packages read them.
std::string csv_number(long double value);

// One record under construction. Every add() appends one field.
class CsvRow {
 public:
  CsvRow& add(const std::string& text);
  CsvRow& add(const char* text) { return add(std::string(text)); }
  CsvRow& add(long double value);
  CsvRow& add(int value);
  CsvRow& add(long long value);
  CsvRow& add(__int128 value);
  CsvRow& empty();  // a field without a value
  // The value, or an empty field when there is none.
  template <typename T>
  CsvRow& add(const std::optional<T>& value) {
    return value ? add(*value) : empty();
  }

  // The record with its line end.
  std::string str() const { return text_ + "\r\n"; }

 private:
  void separate();
  std::string text_;
  bool first_ = true;
};

// The header record of the given column names.
std::string csv_header(const std::vector<std::string>& columns);
