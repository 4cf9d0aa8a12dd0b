#include "study/merge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "io/safe_file.h"
#include "study/console.h"
#include "study/csv.h"
#include "study/inputs.h"
#include "study/output_folder.h"
#include "study/overview.h"
#include "study/tables.h"

namespace {

// The runs.csv columns that must agree across the parts: the settings as given and the version,
// with the names and units the messages give them.
struct Agreeing {
  const char* column;
  const char* name;
  const char* unit;
};
constexpr Agreeing kAgreeing[] = {{"rms_time_ms", "rms_time", " ms"},
                                  {"mvc_time_ms", "mvc_time", " ms"},
                                  {"nl_time_ms", "nl_time", " ms"},
                                  {"emg_threshold_given_pct", "emg_threshold", " %"},
                                  {"dist_threshold_given_mm", "dist_threshold", " mm"},
                                  {"protocol_sha256", "the protocol with the checksum", ""},
                                  {"version", "version", ""}};

void complain(const std::string& message) {
  std::fprintf(stderr, "chew_study: %s\n", printable(message).c_str());
}

// A table as written: its records, each with its line end (a quoted field may hold line breaks).
struct Table {
  std::string path;
  std::vector<std::string> records;  // the header first
};

// What a file that is no regular file is, for the message that refuses it.
std::string kind_of(mode_t mode) {
  switch (mode & S_IFMT) {
    case S_IFDIR:
      return "a directory";
    case S_IFIFO:
      return "a FIFO";
    case S_IFCHR:
      return "a character device";
    case S_IFBLK:
      return "a block device";
    case S_IFSOCK:
      return "a socket";
  }
  return "no regular file";
}

// The whole of a regular file into `text`; an empty text when it is read, else why not. Opening
// a FIFO waits for a writer and /dev/zero never ends, so only what stat calls a regular file is
// opened, without waiting, and what was opened is asked again (the name may have changed hands
// in between).
std::string read_regular_file(const std::string& path, std::string& text) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return "cannot read '" + path + "': " + std::strerror(errno);
  if (!S_ISREG(info.st_mode))
    return "not a regular file: '" + path + "' (" + kind_of(info.st_mode) + ")";
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "cannot read '" + path + "': " + std::strerror(errno);
  std::string error;
  if (fstat(fd, &info) != 0) {
    error = "cannot read '" + path + "': " + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    error = "not a regular file: '" + path + "' (" + kind_of(info.st_mode) + ")";
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        break;
      }
    }
  }
  close(fd);
  return error;
}

// Reads one table of a part, which must be the table the part's manifest records; an empty text
// when it is read, else why not.
std::string read_table(const std::string& part, const PartFolder& books, const char* name,
                       Table& table) {
  table.path = in_folder(part, name);
  std::string text;
  const std::string error = read_regular_file(table.path, text);
  if (!error.empty()) return error;
  const ManifestEntry* entry = books.entry(name);
  if (entry == nullptr) return "the manifest of the part '" + part + "' has no " + name;
  const std::string mismatch = table_mismatch(*entry, text, table.path);
  if (!mismatch.empty()) return mismatch;
  if (!split_records(text, table.records))
    return "'" + table.path + "' is no complete table (cut short, or not written by chew_study)";
  return "";
}

struct Part {
  std::string folder;
  Table tables[std::size(kTables)];  // in the order of kTables
  const Table& runs() const {
    for (std::size_t t = 0; t < std::size(kTables); ++t)
      if (std::strcmp(kTables[t], kRunsTable) == 0) return tables[t];
    return tables[0];
  }
};

// A recording of a part, as its runs.csv row names it.
struct Seen {
  std::string file;
  std::string part;
};

// Why the parts cannot be joined; empty when they can.
std::vector<std::string> refusals(const std::vector<Part>& parts) {
  std::vector<std::string> found;
  const Part& first = parts.front();
  for (const Part& part : parts) {
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
      if (part.tables[t].records[0] != first.tables[t].records[0])
        found.push_back("'" + part.tables[t].path + "' has other columns than '" +
                        first.tables[t].path + "' (written by another version?)");
    }
  }
  if (!found.empty()) return found;

  const Table& first_runs = first.runs();
  const std::vector<std::string> columns = fields_of(first_runs.records[0]);
  auto column = [&](const std::string& name) {
    for (std::size_t c = 0; c < columns.size(); ++c)
      if (columns[c] == name) return c;
    return columns.size();
  };
  for (const char* name : {"file", "report"})
    if (column(name) == columns.size()) return {"'" + first_runs.path + "' has no column " + name};
  // The first recording's settings, which every other recording must share.
  std::vector<std::string> reference;
  std::string reference_file;
  std::map<std::string, Seen> by_file, by_report;
  for (const Part& part : parts) {
    const Table& runs = part.runs();
    bool settings_differ = false;  // said once per part
    for (std::size_t r = 1; r < runs.records.size(); ++r) {
      const std::vector<std::string> fields = fields_of(runs.records[r]);
      auto field = [&](const std::string& name) {
        const std::size_t c = column(name);
        return c < fields.size() ? fields[c] : std::string();
      };
      const std::string file = field("file");
      std::vector<std::string> settings;
      for (const Agreeing& a : kAgreeing) settings.push_back(field(a.column));
      if (reference_file.empty()) {
        reference = settings;
        reference_file = "'" + file + "' in '" + part.folder + "'";
      }
      for (std::size_t k = 0; k < settings.size() && !settings_differ; ++k) {
        settings_differ = settings[k] != reference[k];
        if (settings_differ)
          found.push_back("'" + file + "' in '" + part.folder + "' has " + kAgreeing[k].name + " " +
                          settings[k] + kAgreeing[k].unit + ", " + reference_file + " " +
                          reference[k] + kAgreeing[k].unit);
      }
      const Seen seen{file, part.folder};
      const auto [same_file, new_file] = by_file.emplace(file, seen);
      if (!new_file) {
        found.push_back("the recording '" + file + "' is in '" + same_file->second.part +
                        "' and in '" + part.folder + "'");
        continue;
      }
      const std::string report = field("report");  // empty for a recording that failed
      const auto [same_report, new_report] = by_report.emplace(report, seen);
      if (!new_report && !report.empty())
        found.push_back("'" + same_report->second.file + "' in '" + same_report->second.part +
                        "' and '" + file + "' in '" + part.folder + "' both have the report " +
                        report);
    }
  }
  return found;
}

bool same_folder(const std::string& a, const std::string& b) {
  struct stat x, y;
  return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
         x.st_ino == y.st_ino;
}

constexpr char kUsage[] =
    "usage: chew_study merge PART... --out DIR [--pages]\n"
    "\n"
    "Joins the tables of part folders, each written by a chew_study run over a part of a study,\n"
    "into DIR: one header per table, the rows in the order of the parts, the same bytes one run\n"
    "over all the recordings in that order writes. Refuses, writing nothing, parts whose settings\n"
    "or versions differ, parts that hold the same recording or report name, and tables that are\n"
    "not those their part's manifest records (cut short or changed). The reports stay in the\n"
    "parts.\n"
    "\n"
    "With --pages, also writes DIR/index.html, the study's overview, from the joined tables: its\n"
    "links lead to the reports and check pages in the parts (run with --pages for their pages).\n"
    "\n"
    "exit status: 0 joined, 1 a part could not be read or a table not written, 2 a bad command\n"
    "line or parts refused\n";

// The text of a part's table `name`, header and records.
std::string table_text(const Part& part, const char* name) {
  std::string text;
  for (std::size_t t = 0; t < std::size(kTables); ++t)
    if (std::strcmp(kTables[t], name) == 0)
      for (const std::string& record : part.tables[t].records) text += record;
  return text;
}

// --pages: the overview of the joined study in `out`, linking into the parts' folders. An empty
// text when it is written, else why not.
std::string write_merged_overview(const std::vector<Part>& parts, const std::string& out) {
  std::vector<OverviewRow> rows;
  int missing = 0;
  for (const Part& part : parts) {
    std::error_code failed;
    std::string prefix = std::filesystem::relative(part.folder, out, failed).generic_string();
    if (failed || prefix.empty())
      prefix = std::filesystem::absolute(part.folder, failed).generic_string();
    prefix = prefix == "." ? "" : prefix + "/";
    const StudyTables tables{table_text(part, kRunsTable),      table_text(part, kExperimentsTable),
                             table_text(part, kIndicesTable),   table_text(part, kTrialsTable),
                             table_text(part, kMovementsTable), table_text(part, kClenchesTable)};
    for (OverviewRow& row : overview_rows(tables, part.folder, prefix, &missing))
      rows.push_back(std::move(row));
  }
  if (missing > 0)
    complain("warning: " + std::to_string(missing) +
             " reports or check pages are not in their parts (parts run without --pages?); "
             "index.html names them without a link");
  std::string version;
  const Settings settings = settings_of_runs(table_text(parts.front(), kRunsTable), &version);
  return write_overview_page(out, rows, settings, version);
}

}  // namespace

int merge_parts_main(int argc, const char* const* argv) {
  std::vector<std::string> folders;
  std::string out;
  bool options_ended = false, pages = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.empty() || arg[0] != '-') {
      folders.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--pages") {
      pages = true;
    } else if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (arg.compare(0, 6, "--out=") == 0) {
      out = arg.substr(6);
    } else {
      complain(arg == "--out" ? "--out needs a folder"
                              : "unknown option '" + arg + "' (see merge --help)");
      return 2;
    }
  }
  if (out.empty()) {
    complain("merge needs --out DIR (see merge --help)");
    return 2;
  }
  if (folders.empty()) {
    complain("merge needs the part folders (see merge --help)");
    return 2;
  }

  std::vector<Part> parts(folders.size());
  std::vector<std::unique_ptr<PartFolder>> books;  // each part locked while it is read
  for (std::size_t p = 0; p < folders.size(); ++p) {
    parts[p].folder = folders[p];
    books.push_back(std::make_unique<PartFolder>(folders[p]));
    if (!books[p]->error().empty()) {
      complain(books[p]->error() + "; nothing written");
      return 1;
    }
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
      const std::string error = read_table(folders[p], *books[p], kTables[t], parts[p].tables[t]);
      if (!error.empty()) {
        complain(error + "; nothing written");
        return 1;
      }
    }
    if (same_folder(folders[p], out)) {
      complain("the output folder '" + out + "' is the part '" + folders[p] + "'; nothing written");
      return 2;
    }
  }
  const std::vector<std::string> found = refusals(parts);
  if (!found.empty()) {
    for (const std::string& refusal : found) complain(refusal);
    complain("parts not joined; nothing written");
    return 2;
  }

  // The joined tables are the run of the output folder, put in place as a whole.
  OutputFolder folder(out);
  std::string unusable = folder.error();
  if (unusable.empty()) unusable = folder.stage({});
  if (!unusable.empty()) {
    complain(unusable + "; nothing written");
    return folder.in_use() ? 2 : 1;
  }
  int status = 0;
  std::vector<std::string> errors;
  std::vector<RunFile> files;
  for (std::size_t t = 0; t < std::size(kTables); ++t) {
    SafeFile file(in_folder(out, kTables[t]));
    file.write(parts[0].tables[t].records[0]);
    for (const Part& part : parts)
      for (std::size_t r = 1; r < part.tables[t].records.size(); ++r)
        file.write(part.tables[t].records[r]);
    if (const int write_error = file.commit())
      errors.push_back("cannot write table '" + file.target() + "': " + std::strerror(write_error) +
                       "; nothing put in place");
    files.push_back({kTables[t], true});
  }
  // The overview is staged with the tables and put in place with them, as the folder's run.
  if (pages && errors.empty()) {
    const std::string error = write_merged_overview(parts, out);
    if (!error.empty()) errors.push_back(error);
    files.push_back({"index.html", false});
  }
  if (errors.empty()) {
    const OutputFolder::Outcome put = folder.commit(files);
    for (const std::string& warning : put.warnings) complain("warning: " + warning);
    if (!put.error.empty()) errors.push_back(put.error);
  }
  for (const std::string& error : errors) {
    complain(error);
    status = 1;
  }
  return status;
}
