// Delimited text tables (comma, semicolon, tab or blank separated, decimal point or comma, with
// or without a header row): the columns a mapping names, as numbers, or as texts where they only
// mark experiments.
#pragma once

#include <string>
#include <vector>

#include "import/mapping.h"

struct WantedColumn {
  std::string reference;  // a header name, or a number (1 is the first column)
  std::string role;       // what it is, for messages: "incisal x"
  bool text = false;      // kept as text, not converted
};

struct Table {
  std::string file;
  std::vector<std::vector<double>> numbers;     // per wanted column (empty for text columns)
  std::vector<std::vector<std::string>> texts;  // per wanted column (empty for number columns)
  std::vector<long> lines;                      // the file's line of each row
  std::size_t rows() const { return lines.size(); }
};

// Reads `path` as the mapping describes its layout. A missing column or a field that is no
// finite number ends the import with a message naming the file, line and column.
Table read_delimited(const std::string& path, const Mapping& mapping,
                     const std::vector<WantedColumn>& wanted);
