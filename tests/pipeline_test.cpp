// evaluate_file, the one front door: for each output it reads and keeps what that output needs,
// and every output gets the same evaluation of the same recording.
#include "pipeline/pipeline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "report/output.h"
#include "support/test_support.h"

namespace {

std::string report_text(const Settings& settings, const Evaluation& evaluation) {
  return capture([&](std::FILE* out) { write_report(out, settings, evaluation); });
}

std::string findings_text(const Evaluation& evaluation) {
  std::string text;
  for (const Finding& f : evaluation.findings)
    text += std::string(rule_of(f.check).name) + " " + std::to_string(f.experiment) + " " +
            f.channel + " " + f.message + "\n";
  return text;
}

// The shipped examples (each form once) under the defaults and under other settings: the report
// is the same bytes whatever the output, tables and pages find the same, and the classic
// report's reading gathers no findings and no kinematics.
TEST(PipelineTest, EveryOutputGetsTheSameEvaluation) {
  Settings other;
  other.rms_time = 20, other.mvc_time = 300, other.nl_time = 50;
  other.emg_threshold = 0.05L, other.dist_threshold = 5;
  for (const char* name : {"subject01", "subject02", "subject03"}) {
    for (const Settings& settings : {Settings{}, other}) {
      const std::string path = std::string(CHEW_SOURCE_DIR) + "/examples/" + name + ".txt";
      const FileEvaluation pages = evaluate_file(path.c_str(), settings, Output::pages);
      const FileEvaluation tables = evaluate_file(path.c_str(), settings, Output::tables);
      const FileEvaluation report = evaluate_file(path.c_str(), settings, Output::report);
      ASSERT_TRUE(pages.ok() && tables.ok() && report.ok()) << name;
      const std::string text = report_text(settings, report.evaluation);
      EXPECT_EQ(report_text(settings, pages.evaluation), text) << name;
      EXPECT_EQ(report_text(settings, tables.evaluation), text) << name;
      EXPECT_EQ(findings_text(tables.evaluation), findings_text(pages.evaluation)) << name;
      EXPECT_TRUE(tables.evaluation.frame.valid) << name;
      EXPECT_TRUE(report.evaluation.findings.empty() && !report.evaluation.frame.valid) << name;
      EXPECT_EQ(tables.counts.samples, report.evaluation.no_entries) << name;
    }
  }
}

// A recording that cannot be read gives the message chew_eval prints, and the counts the reader
// reached; the next evaluation starts from an empty store.
TEST(PipelineTest, AFailureSaysWhyAndLeavesNothingForTheNext) {
  TempDir dir;
  write_file(dir.file("bad.txt"), "Frequency: 100\nCalibr 1 2 3\n0 1 2 3 4 5 6 7 8 9 0 0 0 1 2\n");
  const FileEvaluation bad = evaluate_file(dir.file("bad.txt").c_str(), Settings{}, Output::tables);
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(bad.failure, "Error reading calibration");
  EXPECT_TRUE(is_reader_message(bad.read.status));
  const FileEvaluation missing =
      evaluate_file(dir.file("missing.txt").c_str(), Settings{}, Output::report);
  EXPECT_EQ(missing.failure,
            "cannot open '" + dir.file("missing.txt") + "': No such file or directory");
  EXPECT_FALSE(is_reader_message(missing.read.status));
  write_file(dir.file("one.txt"), "Frequency: 100\n0 1 2 3 4 5 6 7 8 9 0 0 0 1 2 3 4 5 6 7 8\n");
  const FileEvaluation one = evaluate_file(dir.file("one.txt").c_str(), Settings{}, Output::report);
  ASSERT_TRUE(one.ok());
  EXPECT_EQ(one.evaluation.no_entries, 1);
  EXPECT_EQ(one.counts.experiments, 1);
}

}  // namespace
