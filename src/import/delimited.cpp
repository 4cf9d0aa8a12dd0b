#include "import/delimited.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

std::string trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The first line tells the separator: a tab, else a semicolon, else a comma (unless commas are
// decimal commas), else runs of blanks.
Delimiter detect(const std::string& line, bool decimal_comma) {
  if (line.find('\t') != std::string::npos) return Delimiter::tab;
  if (line.find(';') != std::string::npos) return Delimiter::semicolon;
  if (!decimal_comma && line.find(',') != std::string::npos) return Delimiter::comma;
  return Delimiter::blank;
}

std::vector<std::string> split(const std::string& line, Delimiter d) {
  std::vector<std::string> fields;
  if (d == Delimiter::blank) {
    std::size_t i = 0;
    while (true) {
      i = line.find_first_not_of(" \t\r", i);
      if (i == std::string::npos) break;
      const std::size_t end = line.find_first_of(" \t\r", i);
      fields.push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
      if (end == std::string::npos) break;
      i = end;
    }
    return fields;
  }
  const char separator = d == Delimiter::comma ? ',' : d == Delimiter::semicolon ? ';' : '\t';
  std::string field;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == separator && !quoted) {
      fields.push_back(trim(field));
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(trim(field));
  return fields;
}

bool all_digits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

Table read_delimited(const std::string& path, const Mapping& mapping,
                     const std::vector<WantedColumn>& wanted) {
  std::ifstream in(path);
  if (!in) throw ImportError(path + ": cannot open: " + std::strerror(errno));
  Table table;
  table.file = path;
  table.numbers.resize(wanted.size());
  table.texts.resize(wanted.size());
  std::vector<std::size_t> index(wanted.size());
  std::vector<std::string> names;
  Delimiter delimiter = mapping.delimiter;
  bool started = false;
  std::string line;
  long number = 0;
  const auto where = [&](long at) { return path + ":" + std::to_string(at) + ": "; };

  // Columns are found once the first row (or the header) is there.
  const auto resolve = [&](std::size_t columns) {
    for (std::size_t w = 0; w < wanted.size(); ++w) {
      const WantedColumn& c = wanted[w];
      std::size_t found = columns;
      for (std::size_t k = 0; k < names.size(); ++k)
        if (names[k] == c.reference) found = k;
      if (found == columns && all_digits(c.reference) && c.reference.size() < 6) {
        const std::size_t n = std::strtoul(c.reference.c_str(), nullptr, 10);
        if (n >= 1 && n <= columns) found = n - 1;
      }
      if (found == columns)
        throw ImportError(where(number) + "no column '" + c.reference + "' (" + c.role + ") in " +
                          std::to_string(columns) + " columns");
      index[w] = found;
    }
  };

  while (std::getline(in, line)) {
    ++number;
    // Spreadsheets start UTF-8 text with a byte order mark, which is no part of the first name.
    if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (number <= mapping.skip) continue;
    if (trim(line).empty()) continue;
    if (!started) {
      if (delimiter == Delimiter::automatic) delimiter = detect(line, mapping.decimal_comma);
      started = true;
      if (mapping.header) {
        names = split(line, delimiter);
        resolve(names.size());
        continue;
      }
      resolve(split(line, delimiter).size());
    }
    const std::vector<std::string> fields = split(line, delimiter);
    for (std::size_t w = 0; w < wanted.size(); ++w) {
      if (index[w] >= fields.size())
        throw ImportError(where(number) + "column '" + wanted[w].reference + "' (" +
                          wanted[w].role + "): the row has only " + std::to_string(fields.size()) +
                          " fields");
      std::string field = fields[index[w]];
      if (wanted[w].text) {
        table.texts[w].push_back(field);
        continue;
      }
      if (mapping.decimal_comma)
        for (char& c : field)
          if (c == ',') c = '.';
      char* end = nullptr;
      const double v = std::strtod(field.c_str(), &end);
      if (field.empty() || *end != '\0' || !std::isfinite(v))
        throw ImportError(where(number) + "column '" + wanted[w].reference + "' (" +
                          wanted[w].role + "): '" + fields[index[w]] + "' is not a finite number");
      table.numbers[w].push_back(v);
    }
    table.lines.push_back(number);
  }
  if (in.bad()) throw ImportError(path + ": cannot read: " + std::strerror(errno));
  if (table.rows() == 0) throw ImportError(path + ": no rows of data");
  return table;
}
