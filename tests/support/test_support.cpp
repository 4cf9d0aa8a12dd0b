#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "recording/store.h"
#include "reference/read_reference.h"
#include "reference/snapshot.h"

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "chew_test_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary);
  file << content;
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> hidden_names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    const std::string name = item.path().filename().string();
    if (name != ".chew_study") {
      if (name[0] == '.') names.push_back(name);
      continue;
    }
    for (const auto& inner : std::filesystem::directory_iterator(item.path())) {
      const std::string kept = inner.path().filename().string();
      if (kept != "lock" && kept != "manifest.csv") names.push_back(name + "/" + kept);
    }
  }
  return names;
}

namespace {
std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}
}  // namespace

CommandResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& cwd) {
  TempDir capture;
  std::string command = "cd " + quoted(cwd) + " && " + quoted(program);
  for (const std::string& arg : args) command += " " + quoted(arg);
  command += " >" + quoted(capture.file("out")) + " 2>" + quoted(capture.file("err"));
  int raw = std::system(command.c_str());
  CommandResult result;
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  result.out = read_file(capture.file("out"));
  result.err = read_file(capture.file("err"));
  return result;
}

void size_samples(int n) {
  const std::size_t size = static_cast<std::size_t>(n);
  Samples& s = samples;
  s.time.resize(size);
  for (int c = 0; c < kChannels; ++c) {
    s.channel[c].resize(size);
  }
  for (std::vector<long double>* column :
       {&s.incisal_x, &s.incisal_y, &s.incisal_z, &s.incisal_dist})
    column->resize(size);
  s.incisal_dir.resize(size);
  s.cycle_status.resize(size);
  s.positions_kept = true;
  no_entries = n;
}

void set_burst(int c, int i, long double value) {
  std::vector<long double> column = burst_column(samples.bursts[c], no_entries);
  column[static_cast<std::size_t>(i)] = value;
  samples.bursts[c] = burst_stretches(column);
}

int append_sample() {
  size_samples(no_entries + 1);
  return no_entries - 1;
}

ReadResult read_text(const std::string& content) {
  reset_store();
  TempDir dir;
  write_file(dir.file("data.txt"), content);
  return read_data(dir.file("data.txt").c_str(), SampleDetail::study);
}

void expect_same_reading(const std::string& content, const std::string& what) {
  TempDir dir;
  const std::string path = dir.file("data.txt");
  write_file(path, content);
  for (SampleDetail detail : {SampleDetail::report, SampleDetail::study}) {
    reset_store();
    ReadResult reference = read_data_reference(path.c_str(), detail);
    StoreSnapshot expected = take_snapshot();
    reset_store();
    ReadResult fast = read_data(path.c_str(), detail);
    StoreSnapshot actual = take_snapshot();
    EXPECT_EQ(static_cast<int>(fast.status), static_cast<int>(reference.status)) << what;
    EXPECT_EQ(first_difference(expected, actual), "") << what;
  }
  reset_store();
}

bool same_extended(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

std::string extended_bits(long double v) {
  unsigned char b[10];
  std::memcpy(b, &v, 10);
  char text[24];
  for (int k = 0; k < 10; ++k) std::snprintf(text + 2 * k, 3, "%02x", b[9 - k]);
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string source_path(const std::string& relative) {
  return std::string(CHEW_SOURCE_DIR) + "/" + relative;
}

std::string capture(const std::function<void(std::FILE*)>& write) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  write(out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// The records of a CSV table (quoted fields, LF), each a map from column name to
// field, so the checks do not depend on the order or number of the columns.
std::vector<std::map<std::string, std::string>> csv_table(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false, row_started = false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (quoted) {
      if (c == '"' && k + 1 < text.size() && text[k + 1] == '"') {
        field += '"';
        ++k;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = row_started = true;
    } else if (c == ',') {
      rows.back().push_back(field);
      field.clear();
      row_started = true;
    } else if (c == '\n') {
      rows.back().push_back(field);
      field.clear();
      rows.emplace_back();
      row_started = false;
    } else {
      field += c;
      row_started = true;
    }
  }
  if (row_started) rows.back().push_back(field);  // a last record without its line end
  if (rows.back().empty()) rows.pop_back();
  std::vector<std::map<std::string, std::string>> records;
  if (rows.empty()) return records;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    EXPECT_EQ(rows[r].size(), rows[0].size()) << "record " << r;
    std::map<std::string, std::string> record;
    for (std::size_t c = 0; c < rows[0].size() && c < rows[r].size(); ++c)
      record[rows[0][c]] = rows[r][c];
    records.push_back(record);
  }
  return records;
}

std::string describe(const CommandResult& r) { return "out:\n" + r.out + "err:\n" + r.err; }
