// Replays fuzz inputs without libFuzzer: every file named on the command line, and every file in
// every folder named there (in name order, names beginning with "." skipped), is passed once to
// LLVMFuzzerTestOneInput. A crash, a sanitizer report or an abort fails the run, as it would
// fail the fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s file-or-folder...\n", argv[0]);
    return 2;
  }
  int count = 0;
  for (int k = 1; k < argc; ++k) {
    const std::filesystem::path item = argv[k];
    std::error_code error;
    if (std::filesystem::is_directory(item, error)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(item)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
          files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) {
        if (!replay(file)) return 1;
        ++count;
      }
    } else {
      if (!replay(item)) return 1;
      ++count;
    }
  }
  std::printf("replayed %d inputs\n", count);
  return 0;
}
