#include "import/import.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "io/safe_file.h"
#include "protocol/protocol.h"

namespace {

const char kUsage[] =
    "usage: chew_import MAPPING OUTPUT.txt\n"
    "       chew_import --template\n"
    "Writes the recording that MAPPING describes (positions from delimited text, EMG from\n"
    "EDF/EDF+/BDF/BDF+ or text) in chew_eval's format to OUTPUT.txt.\n"
    "  --template   print a commented mapping to start from\n"
    "  -h, --help   print this help\n"
    "  --version    print the version\n";

// A time stamp in whole ms, `n` samples into its experiment.
long long time_stamp(std::size_t n, double rate) {
  const long long whole = static_cast<long long>(rate);
  if (static_cast<double>(whole) == rate)
    return static_cast<long long>(n) * kMsPerSecond / whole;  // as the simulator stamps
  return static_cast<long long>(std::floor(static_cast<double>(n) * kMsPerSecond / rate));
}

// Whether `a` and `b` name one existing file (a link, or another spelling of the path).
bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void put(std::string& line, double value) {
  line += ' ';
  line += shortest(value);
}

}  // namespace

std::string shortest(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void write_imported(std::FILE* out, const Mapping& m, const Imported& r) {
  std::fprintf(out, "Person: %s\nSex: %s\nBorn: %s\nCreation date: %s\n", m.person.c_str(),
               m.sex.c_str(), m.born.c_str(), m.created.c_str());
  std::fprintf(out, "Frequency:   %s\n", shortest(r.rate).c_str());  // the value 4 after it
  std::string line = "Calibr";
  for (double v : r.calibration) put(line, v);
  line += '\n';
  std::fputs(line.c_str(), out);
  const std::size_t fields = 3 * static_cast<std::size_t>(r.points);
  const std::size_t channels = static_cast<std::size_t>(r.channels);
  std::size_t experiment = 0;
  for (std::size_t i = r.starts[0]; i < r.rows; ++i) {
    while (experiment + 1 < r.starts.size() && r.starts[experiment + 1] <= i) ++experiment;
    line = std::to_string(time_stamp(i - r.starts[experiment], r.rate));
    for (std::size_t k = 0; k < fields; ++k) put(line, r.positions[i * fields + k]);
    for (std::size_t a = 0; a < 3; ++a) put(line, r.has_aux ? r.aux[i * 3 + a] : 0.0);
    for (std::size_t c = 0; c < channels; ++c) put(line, r.emg[i * channels + c]);
    line += '\n';
    std::fputs(line.c_str(), out);
  }
}

int chew_import_main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("chew_import %s\n", kVersion);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--template") == 0) {
    std::fputs(mapping_template(), stdout);
    return 0;
  }
  if (argc != 3 || argv[1][0] == '-' || argv[2][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string output = argv[2];
  try {
    const Mapping mapping = read_mapping(argv[1]);
    // The output never takes the place of what it was made from.
    std::vector<std::string> inputs = {mapping.path};
    for (const std::string& f : mapping.positions) inputs.push_back(input_path(mapping, f));
    for (const std::string& f : mapping.emg) inputs.push_back(input_path(mapping, f));
    for (const std::string& input : inputs)
      if (same_file(input, output))
        throw ImportError(output + ": the output would replace the input '" + input + "'");
    const Imported recording = assemble(mapping);
    for (const std::string& warning : recording.warnings)
      std::fprintf(stderr, "chew_import: warning: %s\n", warning.c_str());
    SafeFile file(output);
    if (file.stream() != nullptr) write_imported(file.stream(), mapping, recording);
    if (const int error = file.commit())
      throw ImportError(output + ": cannot write: " + std::strerror(error));
    const std::size_t experiments = recording.starts.size();
    std::printf("chew_import: %s: %zu samples in %zu experiment%s at %s Hz\n", output.c_str(),
                recording.rows - recording.starts[0], experiments, experiments == 1 ? "" : "s",
                shortest(recording.rate).c_str());
  } catch (const ImportError& e) {
    std::fprintf(stderr, "chew_import: %s; nothing written\n", e.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "chew_import: out of memory; nothing written\n");
    return 1;
  }
  return 0;
}
