#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kUsage[] =
    "Usage: chew_simulate --out FILE [--truth FILE] [--seed N] [--form F] [--rate HZ]\n"
    "                     [--scale S | --samples N]\n"
    "\n"
    "Writes one simulated masticatory recording (jaw tracking and surface EMG) in the data\n"
    "file format that chew_eval reads: five header lines, a calibration line and the 18\n"
    "experiments of the protocol (1-2 maximal clenching, 3-4 maximal opening, 5-8 lateral and\n"
    "protrusive movements, 9-10 swallowing, 11-12 rest, 13-18 chewing FK1 FK2 RK1 RK2 LK1 LK2).\n"
    "\n"
    "  --out FILE     write the recording to FILE, \"-\" for standard output (required)\n"
    "  --truth FILE   write the ground truth to FILE: one line \"EXPERIMENT CYCLES\" per\n"
    "                 chewing trial, the number of chewing cycles chew_eval must count there\n"
    "                 (its \"C.\" column) with its default settings; then one line\n"
    "                 \"stroke EXPERIMENT OPEN_MS PEAK_MS OCCLUSION_MS SIDE VERTICAL_MM KIND\n"
    "                 SEQUENCING SHAPE\" per chewing stroke: KIND chew or idle, SEQUENCING\n"
    "                 normal or reversed, SHAPE single, double or held (see the README)\n"
    "  --seed N       seed, 0 to 18446744073709551615 (default 1); the same seed and options\n"
    "                 give the same file on every machine\n"
    "  --form F       five-point (5 points, 2 EMG channels; the default), three-point-4ch\n"
    "                 (3 points, 4 channels), three-point-2ch (3 points, 2 channels) or\n"
    "                 jaw-only (3 points, 4 channels that are all 0: no cycle is confirmed)\n"
    "  --rate HZ      samples per second, 50 to 1000 (default 1000); time stamps are whole\n"
    "                 milliseconds, so a higher rate would repeat them\n"
    "  --scale S      trial durations relative to the protocol's 152 s, 0.01 to 100\n"
    "                 (default 1)\n"
    "  --samples N    exactly N samples in all, 18 to 500000: the trials are shortened or\n"
    "                 lengthened in proportion to fit (not together with --scale)\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Exit status: 0 written, 1 a file could not be written, 2 bad command line.\n";

bool parse_integer(const char* text, unsigned long long& value) {
  if (*text < '0' || *text > '9') return false;  // no sign, no blanks
  errno = 0;
  char* end = nullptr;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0';
}

bool parse_number(const char* text, double& value) {
  if ((*text < '0' || *text > '9') && *text != '.') return false;  // no sign, nan or inf
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text, &end);
  return errno == 0 && *end == '\0';
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

const char* form_name(Form form) {
  switch (form) {
    case Form::five_point:
      return "five-point";
    case Form::three_point_4ch:
      return "three-point-4ch";
    case Form::three_point_2ch:
      return "three-point-2ch";
    case Form::jaw_only:
      return "jaw-only";
  }
  return "";
}

void print_usage(std::FILE* out) { std::fputs(kUsage, out); }

void print_version(std::FILE* out) { std::fprintf(out, "chew_simulate %s\n", CHEW_VERSION); }

ParsedOptions parse_options(int argc, const char* const* argv) {
  ParsedOptions parsed;
  SimOptions& o = parsed.options;
  bool scale_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    std::string value;
    bool has_value = false;
    const std::size_t equals = name.find('=');
    if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
      has_value = true;
    }
    if ((name == "--help" || name == "-h") && !has_value) {
      o.help = true;
      continue;
    }
    if (name == "--version" && !has_value) {
      o.version = true;
      continue;
    }
    const bool takes_value = name == "--out" || name == "--truth" || name == "--seed" ||
                             name == "--form" || name == "--rate" || name == "--scale" ||
                             name == "--samples";
    if (!takes_value) {
      parsed.error = "unknown option " + quoted(argv[i]);
      return parsed;
    }
    if (!has_value) {
      if (i + 1 >= argc) {
        parsed.error = "option " + name + " needs a value";
        return parsed;
      }
      value = argv[++i];
    }
    const std::string bad = "bad value " + quoted(value) + " for " + name;
    unsigned long long integer = 0;
    double number = 0;
    if (name == "--out" || name == "--truth") {
      if (value.empty()) {
        parsed.error = "option " + name + " needs a file name";
        return parsed;
      }
      (name == "--out" ? o.out : o.truth) = value;
    } else if (name == "--seed") {
      if (!parse_integer(value.c_str(), integer)) {
        parsed.error = bad + " (a whole number from 0 to 18446744073709551615)";
        return parsed;
      }
      o.seed = integer;
    } else if (name == "--form") {
      if (value == "five-point") {
        o.form = Form::five_point;
      } else if (value == "three-point-4ch") {
        o.form = Form::three_point_4ch;
      } else if (value == "three-point-2ch") {
        o.form = Form::three_point_2ch;
      } else if (value == "jaw-only") {
        o.form = Form::jaw_only;
      } else {
        parsed.error = bad + " (five-point, three-point-4ch, three-point-2ch or jaw-only)";
        return parsed;
      }
    } else if (name == "--rate") {
      if (!parse_integer(value.c_str(), integer) || integer < kMinRate || integer > kMaxRate) {
        parsed.error = bad + " (a whole number of Hz from 50 to 1000)";
        return parsed;
      }
      o.rate = static_cast<int>(integer);
    } else if (name == "--scale") {
      if (!parse_number(value.c_str(), number) || !(number >= kMinScale && number <= kMaxScale)) {
        parsed.error = bad + " (a number from 0.01 to 100)";
        return parsed;
      }
      o.scale = number;
      scale_given = true;
    } else {  // --samples
      if (!parse_integer(value.c_str(), integer) || integer < kMinSamples ||
          integer > kMaxSamples) {
        parsed.error = bad + " (a whole number from 18 to 500000)";
        return parsed;
      }
      o.samples = static_cast<long long>(integer);
    }
  }
  if (o.help || o.version) return parsed;
  if (scale_given && o.samples > 0) {
    parsed.error = "--scale and --samples exclude each other";
  } else if (o.out.empty()) {
    parsed.error = "no output file: give --out FILE (\"-\" for standard output)";
  } else if (o.out == "-" && o.truth == "-") {
    parsed.error = "--out and --truth cannot both be standard output";
  } else if (o.out != "-" && o.out == o.truth) {
    parsed.error = "--out and --truth name the same file";
  }
  return parsed;
}
