#include "run/options.h"

#include <cstdlib>
#include <cstring>

#include "protocol/protocol.h"

CommandLine scan_options(int argc, const char* const* argv) {
  CommandLine result;
  int n = 0;
  const char* const* cursor = argv;
  if (argc > 0) {
    result.program = argv[0];
    n = argc - 1;
    cursor = argv + 1;
  }
  Settings& s = result.settings;
  auto is = [&](const char* option) { return std::strcmp(*cursor, option) == 0; };
  bool matched = true;
  while (matched) {
    matched = false;
    if (n > 1 && is("-rms_time")) {
      s.rms_time = std::atoll(cursor[1]);
      cursor += 2, n -= 2, matched = true;
    }
    if (n > 1 && is("-mvc_time")) {
      s.mvc_time = std::atoll(cursor[1]);
      cursor += 2, n -= 2, matched = true;
    }
    if (n > 1 && is("-nl_time")) {
      s.nl_time = std::atoll(cursor[1]);
      cursor += 2, n -= 2, matched = true;
    }
    if (n > 1 && is("-emg_threshold")) {
      s.emg_threshold = static_cast<long double>(std::atof(cursor[1])) / 100;
      cursor += 2, n -= 2, matched = true;
    }
    if (n > 1 && is("-dist_threshold")) {
      s.dist_threshold = static_cast<long double>(std::atof(cursor[1]));
      cursor += 2, n -= 2, matched = true;
    }
    if (n > 1 && is("-track")) {
      s.track = std::atoi(cursor[1]);
      cursor += 2, n -= 2, matched = true;
    }
    if (n > 0 && (is("-h") || is("--help"))) {
      result.help = true;
      cursor += 1, n -= 1, matched = true;
    }
    if (n > 0 && is("--version")) {
      result.version = true;
      cursor += 1, n -= 1, matched = true;
    }
  }
  if (n > 0) result.path = *cursor;
  return result;
}

void print_version(std::FILE* out) { std::fprintf(out, "chew_eval %s\n", kVersion); }

void print_help(std::FILE* out, const CommandLine& c) {
  const Settings& s = c.settings;
  std::fprintf(out, "%s: [-h] datafile.txt \n", c.program.c_str());
  std::fprintf(out, "-rms_time ms      : root mean square interval (default = \"%lld\" ms)\n",
               s.rms_time);
  std::fprintf(out, "-mvc_time ms      : mvc interval (default = \"%lld\" ms)\n", s.mvc_time);
  std::fprintf(out, "-nl_time ms       : noise level interval (default = \"%lld\" ms)\n",
               s.nl_time);
  std::fprintf(out, "-emg_threshold %%  : emg threshold (default = \"%.0Lf\" %%)\n",
               s.emg_threshold * 100);
  std::fprintf(out, "-dist_threshold %% : dist threshold (default = \"%.0Lf\" mm)\n",
               s.dist_threshold);
  std::fprintf(out, "-track t          : track (default = \"%d\")\n", s.track);
  std::fprintf(out, "-h                : print this help text\n");
}

const char* negative_window(const Settings& s) {
  if (s.rms_time < 0) return "-rms_time";
  if (s.mvc_time < 0) return "-mvc_time";
  if (s.nl_time < 0) return "-nl_time";
  return nullptr;
}
