// A threshold given equal to its default is the default.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
const std::string kStudy = CHEW_STUDY_PATH;

// Every file below `folder` but its books, by path, with its bytes.
std::map<std::string, std::string> listing(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
    if (it->path().filename() == ".chew_study")
      it.disable_recursion_pending();
    else if (it->is_regular_file())
      files[fs::relative(it->path(), folder).string()] = read_file(it->path().string());
  }
  return files;
}

class OutputFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("study"));
    for (const char* r : {"a", "b", "c"}) {
      const CommandResult made =
          run_program(CHEW_SIMULATE_PATH,
                      {"--rate", "200", "--scale", "0.15", "--seed", std::to_string(r[0]), "--out",
                       std::string("study/") + r + ".txt"},
                      dir_.path());
      ASSERT_EQ(made.status, 0) << describe(made);
    }
  }
  CommandResult study(std::vector<std::string> args) {
    args.insert(args.begin(), {"--quiet", "--out", "out"});
    return run_program(kStudy, args, dir_.path());
  }
  TempDir dir_;
};

TEST_F(OutputFolderTest, AThresholdGivenEqualToItsDefaultIsTheDefault) {
  ASSERT_EQ(study({"--pages", "study/a.txt"}).status, 0);
  const auto plain = listing(dir_.file("out"));
  for (const char* given : {"3", "3.0", "+03", "300e-2", ".03e2"}) {
    const CommandResult run =
        study({"--pages", "--emg-threshold", given, "-dist_threshold", "3.000", "study/a.txt"});
    ASSERT_EQ(run.status, 0) << describe(run);
    for (const auto& [name, text] : listing(dir_.file("out")))
      EXPECT_TRUE(name == "index.html" || text == plain.at(name)) << given << ": " << name;
  }
}

}  // namespace
