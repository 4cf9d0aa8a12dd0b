// Every report of chew_eval and every table of chew_study, byte for byte, against the checksums
// in tests/golden/outputs.sha256: simulated recordings of the three sample forms, the shipped
// examples and a few damaged recordings, under five sets of run settings. A change to the
// internals must leave every byte as it was; a change that means to alter an output rewrites the
// checksum file on purpose:
//
//     CHEW_WRITE_OUTPUT_SUMS=1 build/output_identity_test
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const std::string kStudy = CHEW_STUDY_PATH;
const std::string kSums = source_path("tests/golden/outputs.sha256");

struct Simulated {
  std::string name;
  std::vector<std::string> args;
};

const std::vector<Simulated> kSimulated = {
    {"f5a", {"--seed", "41", "--form", "five-point", "--rate", "1000", "--scale", "0.15"}},
    {"f5b", {"--seed", "42", "--form", "five-point", "--rate", "90", "--scale", "1"}},
    {"t4a", {"--seed", "43", "--form", "three-point-4ch", "--rate", "250", "--scale", "0.4"}},
    {"t4b", {"--seed", "44", "--form", "three-point-4ch", "--rate", "1000", "--samples", "25000"}},
    {"t2a", {"--seed", "45", "--form", "three-point-2ch", "--rate", "500", "--scale", "0.3"}},
    {"t2b", {"--seed", "46", "--form", "three-point-2ch", "--rate", "60", "--scale", "2"}},
};

// Run settings in chew_eval's spelling; chew_study takes the same.
const std::vector<std::vector<std::string>> kSettings = {
    {},
    {"-rms_time", "20", "-mvc_time", "300", "-nl_time", "50"},
    {"-emg_threshold", "5", "-dist_threshold", "2"},
    {"-rms_time", "100", "-mvc_time", "1000", "-nl_time", "200", "-emg_threshold", "1.5",
     "-dist_threshold", "4.5"},
    {"-rms_time", "0", "-mvc_time", "0", "-nl_time", "0", "-emg_threshold", "0", "-dist_threshold",
     "0"},
};

// The lines of `text` that satisfy `keep`, each with its line end.
template <typename Keep>
std::string filtered(const std::string& text, Keep keep) {
  std::string out;
  int number = 0;
  for (const std::string& line : lines_of(text))
    if (keep(line, number++)) out += line + "\n";
  return out;
}

// Damaged recordings made from a simulated one: the kinds of file a study meets.
std::map<std::string, std::string> damaged(const std::string& recording) {
  std::map<std::string, std::string> files;
  // Cut off in the middle of the third chewing trial, as a crashed export leaves it.
  int openings = 0;
  files["cut"] = filtered(recording, [&](const std::string& line, int) {
    if (line.rfind("0 ", 0) == 0) ++openings;
    return openings < 15;
  });
  files["nocalibr"] = filtered(
      recording, [](const std::string& line, int) { return line.rfind("Calibr", 0) != 0; });
  // A value written as nan or inf every 997th line.
  std::string odd;
  int number = 0;
  for (const std::string& line : lines_of(recording)) {
    std::string l = line;
    if (++number % 997 == 0 && l.rfind("0 ", 0) != 0) {
      const std::size_t last = l.rfind(' ');
      l = l.substr(0, last + 1) + (number % 2 ? "nan" : "-inf");
    }
    odd += l + "\n";
  }
  files["nonfinite"] = odd;
  // Twelve experiments only: no chewing trial.
  openings = 0;
  files["twelve"] = filtered(recording, [&](const std::string& line, int) {
    if (line.rfind("0 ", 0) == 0) ++openings;
    return openings <= 12;
  });
  return files;
}

std::string simulate(const TempDir& dir, const Simulated& s) {
  std::vector<std::string> args = s.args;
  args.insert(args.end(), {"--out", dir.file(s.name + ".txt")});
  const CommandResult r = run_program(CHEW_SIMULATE_PATH, args, dir.path());
  if (r.status != 0) throw std::runtime_error("chew_simulate failed: " + r.err);
  return read_file(dir.file(s.name + ".txt"));
}

std::map<std::string, std::string> checksums(const std::string& folder,
                                             const std::vector<std::string>& files) {
  std::vector<std::string> args = {"--"};
  args.insert(args.end(), files.begin(), files.end());
  const CommandResult r = run_program("sha256sum", args, folder);
  if (r.status != 0) throw std::runtime_error("sha256sum failed: " + r.err);
  std::map<std::string, std::string> sums;
  for (const std::string& line : lines_of(r.out)) sums[line.substr(66)] = line.substr(0, 64);
  return sums;
}

TEST(OutputIdentityTest, ReportsAndTablesAreByteForByteAsBefore) {
  TempDir dir;
  std::map<std::string, std::string> recordings;  // name -> content
  for (const Simulated& s : kSimulated) recordings[s.name] = simulate(dir, s);
  for (const auto& [name, content] : damaged(recordings["t4a"])) recordings[name] = content;
  for (const char* example : {"subject01", "subject02", "subject03"})
    recordings[example] = read_file(source_path(std::string("examples/") + example + ".txt"));

  std::map<std::string, std::string> actual;  // "set/file" -> checksum
  for (std::size_t k = 0; k < kSettings.size(); ++k) {
    const std::string set = "set" + std::to_string(k);
    const std::string folder = dir.file(set);
    std::filesystem::create_directory(folder);
    std::vector<std::string> names, outputs;
    for (const auto& [name, content] : recordings) {
      write_file(folder + "/" + name + ".txt", content);
      std::vector<std::string> args = kSettings[k];
      args.push_back(name + ".txt");
      const CommandResult r = run_program(CHEW_EVAL_PATH, args, folder);
      ASSERT_EQ(r.status, 0) << set << " " << name << ": " << r.out << r.err;
      names.push_back(name + ".txt");
      outputs.push_back(name + "_output.txt");
    }
    std::vector<std::string> args = kSettings[k];
    args.insert(args.end(), {"--quiet", "--out", "study"});
    args.insert(args.end(), names.begin(), names.end());
    const CommandResult r = run_program(kStudy, args, folder);
    // nocalibr, a three-point recording without its calibration line, reads no sample: the study
    // fails it, where chew_eval writes its report of nothing.
    ASSERT_EQ(r.status, 1) << set << ": " << r.err;
    ASSERT_EQ(r.err, "chew_study: 1 of 13 recordings failed (see runs.csv)\n") << set;
    for (const char* table : {"experiments.csv", "indices.csv", "cycles.csv", "strokes.csv",
                              "trials.csv", "runs.csv", "findings.csv"})
      outputs.push_back(std::string("study/") + table);
    for (const auto& [file, sum] : checksums(folder, outputs)) actual[set + "/" + file] = sum;
  }

  std::string listing;
  for (const auto& [file, sum] : actual) listing += sum + "  " + file + "\n";
  if (std::getenv("CHEW_WRITE_OUTPUT_SUMS") != nullptr) {
    write_file(kSums, listing);
    GTEST_SKIP() << "wrote " << kSums;
  }
  std::map<std::string, std::string> expected;
  for (const std::string& line : lines_of(read_file(kSums)))
    expected[line.substr(66)] = line.substr(0, 64);
  ASSERT_EQ(expected.size(), actual.size()) << "the checksum file lists other outputs";
  for (const auto& [file, sum] : expected) EXPECT_EQ(actual[file], sum) << file;
}

}  // namespace
