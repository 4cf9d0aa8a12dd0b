// chew_simulate: writes one simulated masticatory recording and, on request, its ground truth.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "options.h"
#include "recording.h"

namespace {

int usage_error(const std::string& message) {
  std::fprintf(stderr, "chew_simulate: %s\nTry 'chew_simulate --help' for the options.\n",
               message.c_str());
  return 2;
}

// Writes through `write` to `path` ("-" is standard output); false after printing why not.
template <typename Write>
bool write_to(const std::string& path, Write write) {
  const bool console = path == "-";
  std::FILE* out = console ? stdout : std::fopen(path.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "chew_simulate: cannot write '%s': %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
  }
  static char buffer[1 << 16];
  if (!console) std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  errno = 0;
  bool ok = write(out);
  ok = (console ? std::fflush(out) == 0 : std::fclose(out) == 0) && ok;
  if (!ok) {
    std::fprintf(stderr, "chew_simulate: cannot write '%s': %s\n", path.c_str(),
                 errno != 0 ? std::strerror(errno) : "write error");
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const ParsedOptions parsed = parse_options(argc, argv);
  if (!parsed.error.empty()) return usage_error(parsed.error);
  const SimOptions& options = parsed.options;
  if (options.version) {
    print_version(stdout);
    return 0;
  }
  if (options.help) {
    print_usage(stdout);
    return 0;
  }
  std::string error;
  const std::vector<long long> samples = sample_counts(options, error);
  if (samples.empty()) return usage_error(error);
  const Recording recording = plan_recording(options, samples);

  WrittenIncisal incisal;
  WrittenIncisal* wanted = options.truth.empty() ? nullptr : &incisal;
  if (!write_to(options.out,
                [&](std::FILE* out) { return write_recording(out, options, recording, wanted); })) {
    return 1;
  }
  if (!options.truth.empty() && !write_to(options.truth, [&](std::FILE* out) {
        return write_truth(out, recording, incisal);
      })) {
    return 1;
  }
  return 0;
}
