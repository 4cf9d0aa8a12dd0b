#include "study/study_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "protocol/protocol.h"

namespace {

enum class Setting {
  rms_time,
  mvc_time,
  nl_time,
  emg_threshold,
  dist_threshold,
  out,
  jobs,
  base,
  protocol
};

struct OptionName {
  const char* name;  // without its dashes, words joined by '_'
  Setting setting;
};

constexpr OptionName kValued[] = {
    {"rms_time", Setting::rms_time},
    {"mvc_time", Setting::mvc_time},
    {"nl_time", Setting::nl_time},
    {"emg_threshold", Setting::emg_threshold},
    {"dist_threshold", Setting::dist_threshold},
    {"out", Setting::out},
    {"jobs", Setting::jobs},
    {"base", Setting::base},
    {"protocol", Setting::protocol},
};

// A whole decimal number, sign allowed, nothing else around it.
bool whole_number(const char* text, long long& value) {
  if (*text == '\0' || std::strchr("+-0123456789", *text) == nullptr) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == '\0';
}

// "digits" with `point` of them before the decimal point, written plainly: "0.05", "300", "2.5";
// far from 1, as "1.5e-30".
std::string plain_decimal(std::string digits, long long point) {
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  digits.erase(0, first);
  point -= static_cast<long long>(first);
  digits.erase(digits.find_last_not_of('0') + 1);
  const long long n = static_cast<long long>(digits.size());
  if (point < -20 || point > 40) {
    return digits.substr(0, 1) + (n > 1 ? "." + digits.substr(1) : "") + "e" +
           std::to_string(point - 1);
  }
  if (point <= 0) return "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
  if (point >= n) return digits + std::string(static_cast<std::size_t>(point - n), '0');
  return digits.substr(0, static_cast<std::size_t>(point)) + "." +
         digits.substr(static_cast<std::size_t>(point));
}

// A decimal number as a whole (a sign, digits with at most one '.', an exponent), converted as
// chew_eval converts it (a double), finite; `plain` gets it written plainly, as runs.csv records
// it: "+3.0" and "300e-2" give "3", ".50" gives "0.5".
bool finite_number(const char* text, double& value, std::string& plain) {
  const char* p = text;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  std::string digits;
  long long point = -1;
  for (; std::isdigit(static_cast<unsigned char>(*p)) || (*p == '.' && point < 0); ++p) {
    if (*p == '.') {
      point = static_cast<long long>(digits.size());
    } else {
      digits += *p;
    }
  }
  if (digits.empty()) return false;
  if (point < 0) point = static_cast<long long>(digits.size());
  if (*p == 'e' || *p == 'E') {
    ++p;
    const bool down = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long long exponent = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
      exponent = std::min(exponent * 10 + (*p - '0'), 1000000000LL);
    point += down ? -exponent : exponent;
  }
  if (*p != '\0') return false;
  value = std::strtod(text, nullptr);
  plain = plain_decimal(digits, point);
  if (negative && plain != "0") plain = "-" + plain;
  return std::isfinite(value);
}

std::string quoted(const char* text) { return std::string("'") + text + "'"; }

// Applies one option value; returns the error message, empty when it is good.
std::string apply(StudyOptions& o, Setting setting, const std::string& option, const char* value) {
  Settings& s = o.settings;
  long long whole = 0;
  double number = 0;
  std::string plain;
  const GivenSettings defaults;
  switch (setting) {
    case Setting::rms_time:
    case Setting::mvc_time:
    case Setting::nl_time: {
      if (!whole_number(value, whole))
        return option + ": " + quoted(value) + " is not a whole number of milliseconds";
      if (whole < 0) return option + " must not be negative (" + value + " ms)";
      long long& target = setting == Setting::rms_time   ? s.rms_time
                          : setting == Setting::mvc_time ? s.mvc_time
                                                         : s.nl_time;
      target = whole;
      return "";
    }
    case Setting::emg_threshold:
      if (!finite_number(value, number, plain))
        return option + ": " + quoted(value) + " is not a number";
      if (number < 0) return option + " must not be negative (" + value + " %)";
      o.given.emg_threshold_pct = plain;
      // Per cent, as chew_eval reads it; the default given is the default.
      s.emg_threshold = plain == defaults.emg_threshold_pct
                            ? Settings{}.emg_threshold
                            : static_cast<long double>(number) / 100;
      return "";
    case Setting::dist_threshold:
      if (!finite_number(value, number, plain))
        return option + ": " + quoted(value) + " is not a number";
      if (number < 0) return option + " must not be negative (" + value + " mm)";
      o.given.dist_threshold_mm = plain;
      s.dist_threshold = plain == defaults.dist_threshold_mm ? Settings{}.dist_threshold
                                                             : static_cast<long double>(number);
      return "";
    case Setting::out:
      if (*value == '\0') return option + " needs a folder";
      o.out = value;
      return "";
    case Setting::jobs:
      if (!whole_number(value, whole) || whole < 1 || whole > kMaxJobs)
        return option + ": " + quoted(value) + " is not a number of jobs from 1 to " +
               std::to_string(kMaxJobs);
      o.jobs = static_cast<int>(whole);
      return "";
    case Setting::base:
      if (*value == '\0') return option + " needs a folder";
      o.base = value;
      return "";
    case Setting::protocol: {
      if (*value == '\0') return option + " needs a file";
      ProtocolRead read = read_protocol(value);
      if (!read.error.empty()) return read.error + "; nothing evaluated";
      o.given.protocol = std::move(read.protocol);
      return "";
    }
  }
  return "";
}

// The option's name without dashes, '-' inside it read as '_'; empty when it is no option of
// this program's spelling ("-name" for the settings, "--name" for all).
std::string name_of(const std::string& arg, bool& long_form) {
  long_form = arg.compare(0, 2, "--") == 0;
  std::string name = arg.substr(long_form ? 2 : 1);
  if (long_form) {
    for (char& c : name)
      if (c == '-') c = '_';
  }
  return name;
}

}  // namespace

ParsedStudyOptions parse_study_options(int argc, const char* const* argv) {
  ParsedStudyOptions parsed;
  StudyOptions& o = parsed.options;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.empty() || arg[0] != '-' || arg == "-") {
      o.inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      o.help = true;
      continue;
    }
    if (arg == "--version") {
      o.version = true;
      continue;
    }
    if (arg == "--quiet") {
      o.quiet = true;
      continue;
    }
    if (arg == "--pages") {
      o.pages = true;
      continue;
    }
    if (arg == "--strict") {
      o.strict = true;
      continue;
    }
    if (arg == "--no-recursive") {
      o.recursive = false;
      continue;
    }
    if (arg == "--list") {
      o.list = true;
      continue;
    }
    if (arg == "-0" || arg == "--null") {
      o.nul_ends = true;
      continue;
    }
    bool long_form = false;
    std::string name = name_of(arg, long_form);
    const char* value = nullptr;
    std::string option = arg;
    if (long_form) {
      std::size_t equals = name.find('=');
      if (equals != std::string::npos) {
        value = argv[i] + 2 + equals + 1;
        name.resize(equals);
        option = arg.substr(0, 2 + equals);
      }
    }
    const OptionName* found = nullptr;
    for (const OptionName& candidate : kValued) {
      // --out, --jobs, --base and --protocol have only the long spelling.
      bool study_only = candidate.setting == Setting::out || candidate.setting == Setting::jobs ||
                        candidate.setting == Setting::base ||
                        candidate.setting == Setting::protocol;
      if (name == candidate.name && (long_form || !study_only)) found = &candidate;
    }
    if (found == nullptr) {
      parsed.error = "unknown option " + quoted(arg.c_str()) + " (see --help)";
      return parsed;
    }
    if (value == nullptr) {
      if (i + 1 >= argc) {
        parsed.error = option + " needs a value";
        return parsed;
      }
      value = argv[++i];
    }
    parsed.error = apply(o, found->setting, option, value);
    if (!parsed.error.empty()) return parsed;
  }
  if (o.nul_ends && !o.list) parsed.error = "-0 goes with --list only";
  return parsed;
}

void print_study_help(std::FILE* out) {
  std::fputs(
      "usage: chew_study [settings] [--out DIR] [--jobs N] [--quiet] [--pages] [--strict]\n"
      "                  [--no-recursive] [--base DIR] [--protocol FILE]\n"
      "                  recording.txt... | folder...\n"
      "       chew_study --list [-0] [--no-recursive] recording.txt... | folder...\n"
      "       chew_study merge PART... --out DIR [--pages]   (see chew_study merge --help)\n"
      "\n"
      "Evaluates every recording as chew_eval does, writes its report into DIR, and the tables\n"
      "experiments.csv, indices.csv, cycles.csv, strokes.csv, trials.csv, runs.csv and\n"
      "findings.csv (what the data checks found). A folder stands for its *.txt files (.TXT\n"
      "too), its subfolders' included, not reports *_output.txt, not hidden .*, in sorted order.\n"
      "A report keeps the recording's place below the folder the inputs share:\n"
      "study/p01/s1.pre.txt of the folder study gives DIR/p01/s1.pre_output.txt.\n"
      "\n"
      "settings (chew_eval's, same defaults and meaning):\n"
      "  -rms_time MS,       --rms-time MS        RMS window (default 50 ms)\n"
      "  -mvc_time MS,       --mvc-time MS        MVC window (default 500 ms)\n"
      "  -nl_time MS,        --nl-time MS         noise-level window (default 100 ms)\n"
      "  -emg_threshold PCT, --emg-threshold PCT  activity level, per cent of MVC (default 3)\n"
      "  -dist_threshold MM, --dist-threshold MM  opening a chewing cycle crosses (default 3 mm)\n"
      "\n"
      "study:\n"
      "  --out DIR       folder of the reports and tables, created when missing (default .);\n"
      "                  it holds one run: the files of the run before are replaced as a whole\n"
      "  --jobs N        recordings evaluated at once, in separate processes (default 1)\n"
      "  --quiet         no progress on standard error\n"
      "  --pages         also a check page <name>_check.html per recording: one HTML file\n"
      "                  drawing the detected cycles and bursts over the signals; and\n"
      "                  index.html, the study's overview with every recording's key figures\n"
      "  --strict        a recording with an error finding fails the exit status\n"
      "  --no-recursive  a folder stands for its own files only, not its subfolders'\n"
      "  --protocol FILE the lab's protocol: a CSV file \"experiment,task,role\", one row per\n"
      "                  experiment, naming its task and its role (clench, clench_reference,\n"
      "                  max_opening, laterotrusion_right, laterotrusion_left, protrusion,\n"
      "                  rest, chewing_free, chewing_right, chewing_left, other): the pages name\n"
      "                  the tasks, movements.csv and clenches.csv measure by role. Without it,\n"
      "                  1-2 clench, 3-4 max_opening, 13-18 the chewing trials, 5-12 other\n"
      "  --base DIR      reports keep the recordings' places below DIR (default: the folder\n"
      "                  the inputs share), so runs over parts of a study name them alike\n"
      "  --list          print the recordings a study would take, one a line; nothing else\n"
      "  -0, --null      with --list: end each with a NUL character instead\n"
      "  --help          this text\n"
      "  --version       the version, as the reports print it\n"
      "\n"
      "exit status: 0 all recordings evaluated, 1 a recording or a table failed (with\n"
      "--strict also: a recording has an error finding), 2 a bad command line or the output\n"
      "folder in use by another run (nothing is evaluated)\n",
      out);
}

void print_study_version(std::FILE* out) { std::fprintf(out, "chew_study %s\n", kVersion); }
