#include "study/protocol_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "study/csv.h"
#include "study/sha256.h"

namespace {

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The fields of one line, trimmed; false when a quote is left open (an odd number of quotes: a
// quote inside a quoted field is doubled).
bool split_fields(const std::string& line, std::vector<std::string>& fields) {
  std::size_t quotes = 0;
  for (char c : line) quotes += c == '"';
  if (quotes % 2 != 0) return false;
  fields = fields_of(line);
  for (std::string& field : fields) field = trimmed(field);
  return true;
}

std::string role_list() {
  std::string list;
  for (const char* name : kRoleNames) list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

}  // namespace

LabProtocol builtin_protocol() {
  LabProtocol p;
  p.name = "built-in";
  for (int k = 0; k < kMaxTracks; ++k) {
    p.role[k] = fixed_role(k);
    p.task[k] = "experiment " + std::to_string(k + 1);
  }
  for (int k : kMvcExperiments) p.task[k] = "maximal clenching (MVC)";
  for (int k : kMaximalOpenings) p.task[k] = "maximal opening";
  const char* const chewing[kConditions] = {"free chewing", "chewing on the right side",
                                            "chewing on the left side"};
  for (int k = kFirstChewingTrial; k <= kLastChewingTrial; ++k)
    p.task[k] = chewing[(k - kFirstChewingTrial) / 2];
  p.sha256 = sha256_hex(protocol_text(p));
  return p;
}

std::string protocol_text(const LabProtocol& protocol) {
  std::string text = csv_header({"experiment", "task", "role"});
  for (int k = 0; k < kMaxTracks; ++k)
    text += CsvRow().add(k + 1).add(protocol.task[k]).add(role_name(protocol.role[k])).str();
  return text;
}

ProtocolRead parse_protocol(const std::string& text, const std::string& name) {
  ProtocolRead read;
  LabProtocol& p = read.protocol;
  p.name = name;
  p.sha256 = sha256_hex(text);
  for (int k = 0; k < kMaxTracks; ++k) {
    p.role[k] = Role::other;
    p.task[k] = "experiment " + std::to_string(k + 1);
  }
  int column[3] = {-1, -1, -1};  // experiment, task, role
  const char* const kColumns[3] = {"experiment", "task", "role"};
  std::size_t header_size = 0;
  int listed_at[kMaxTracks] = {};  // the line of each experiment's row
  int rows = 0;
  std::size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  for (int number = 1; at < text.size(); ++number) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string where = "protocol '" + name + "' line " + std::to_string(number) + ": ";
    if (trimmed(line).empty()) continue;
    std::vector<std::string> fields;
    if (!split_fields(line, fields)) {
      read.error = where + "a quote is not closed";
      return read;
    }
    if (header_size == 0) {
      header_size = fields.size();
      for (std::size_t f = 0; f < fields.size(); ++f)
        for (int c = 0; c < 3; ++c)
          if (fields[f] == kColumns[c]) {
            if (column[c] >= 0) {
              read.error = where + "the column '" + kColumns[c] + "' is named twice";
              return read;
            }
            column[c] = static_cast<int>(f);
          }
      for (int c = 0; c < 3; ++c)
        if (column[c] < 0) {
          read.error = where + "no column '" + kColumns[c] +
                       "': the header must name experiment, task and role";
          return read;
        }
      continue;
    }
    if (fields.size() != header_size) {
      read.error = where + std::to_string(fields.size()) + " fields, the header has " +
                   std::to_string(header_size);
      return read;
    }
    const std::string& experiment = fields[column[0]];
    int k = 0;
    bool number_ok = !experiment.empty() && experiment.size() <= 2;
    for (char c : experiment) number_ok = number_ok && c >= '0' && c <= '9';
    if (number_ok) k = std::stoi(experiment);
    if (!number_ok || k < 1 || k > kMaxTracks) {
      read.error = where + "experiment '" + experiment + "' is not a number from 1 to " +
                   std::to_string(kMaxTracks);
      return read;
    }
    if (listed_at[k - 1] > 0) {
      read.error = where + "experiment " + experiment + " is listed again (first at line " +
                   std::to_string(listed_at[k - 1]) + ")";
      return read;
    }
    listed_at[k - 1] = number;
    const std::string& role = fields[column[2]];
    int r = 0;
    while (r < kRoles && role != kRoleNames[r]) ++r;
    if (r == kRoles) {
      read.error = where + "unknown role '" + role + "'; the roles are " + role_list();
      return read;
    }
    p.role[k - 1] = static_cast<Role>(r);
    if (!fields[column[1]].empty()) p.task[k - 1] = fields[column[1]];
    ++rows;
  }
  if (header_size == 0) {
    read.error = "protocol '" + name + "': empty, not even a header";
  } else if (rows == 0) {
    read.error = "protocol '" + name + "': no experiment listed";
  }
  return read;
}

ProtocolRead read_protocol(const std::string& path) {
  ProtocolRead read;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    read.error = "cannot open protocol '" + path + "': " + std::strerror(errno);
    return read;
  }
  std::string text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 &&
         static_cast<long>(text.size()) <= kMaxProtocolBytes)
    text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) {
    read.error = "cannot read protocol '" + path + "': " + std::strerror(error);
  } else if (static_cast<long>(text.size()) > kMaxProtocolBytes) {
    read.error = "protocol '" + path + "' is larger than " + std::to_string(kMaxProtocolBytes) +
                 " bytes: no protocol file";
  } else {
    read = parse_protocol(text, path);
  }
  return read;
}
