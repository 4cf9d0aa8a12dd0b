// CSV rows as RFC 4180 has them but for the line end: fields separated by commas, records ended
// by LF (a line feed alone, as the statistics packages and Unix tools read them), a field quoted
// (and its quotes doubled) when it holds a comma, a quote or a line break.
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
  std::string str() const { return text_ + "\n"; }

 private:
  void separate();
  std::string text_;
  bool first_ = true;
};

// The header record of the given column names.
std::string csv_header(const std::vector<std::string>& columns);

// Splits a table's text into its records, each with its line end (a quoted field may hold line
// breaks); false when the text does not end with a whole record.
bool split_records(const std::string& text, std::vector<std::string>& records);

// The fields of one record (with or without its line end), unquoted.
std::vector<std::string> fields_of(const std::string& record);
