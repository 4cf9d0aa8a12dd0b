// The report's name and its run summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report/output.h"
#include "support/hand_evaluation.h"
#include "support/test_support.h"

namespace {

TEST(ReportNameTest, TheFileNameIsCutAtItsFirstPointAndItsFolderKept) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {
      {"recording.txt", "recording_output.txt"},
      {"recording", "recording_output.txt"},
      {"rec.b.txt", "rec_output.txt"},
      {"data/s01.txt", "data/s01_output.txt"},
      {"./data/rec.txt", "./data/rec_output.txt"},
      {"../data/s01.txt", "../data/s01_output.txt"},
      {"/home/a.b/rec.txt", "/home/a.b/rec_output.txt"},
      {"/home/a.b/data/rec", "/home/a.b/data/rec_output.txt"},
      {"x.d/y.d/rec.v2.txt", "x.d/y.d/rec_output.txt"},
      {"a//b.c//rec.txt", "a//b.c//rec_output.txt"},
      // A report's own name gets a second suffix, never the data file's name.
      {"a.d/../a_output.txt", "a.d/../a_output_output.txt"},
      // A name beginning with "." leaves nothing before the suffix, in its own folder.
      {"data/.hidden.txt", "data/_output.txt"},
      {"._r1.txt", "_output.txt"},
      {"..", "_output.txt"},
      // A path ending in "/" (a folder, which is never read) keeps the folder whole.
      {"data.d/", "data.d/_output.txt"},
      {"/", "/_output.txt"},
      {"", "_output.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(report_name(c.path), c.name) << c.path;
  const std::string long_stem(5000, 'x');
  EXPECT_EQ(report_name((long_stem + ".txt").c_str()), long_stem + "_output.txt");
  EXPECT_EQ(report_name((long_stem + ".d/" + long_stem + ".txt").c_str()),
            long_stem + ".d/" + long_stem + "_output.txt");
}

std::string summary_of(const Evaluation& e, long long rms, long long mvc, long long nl,
                       long double emg, long double dist) {
  Settings s;
  s.rms_time = rms, s.mvc_time = mvc, s.nl_time = nl, s.emg_threshold = emg,
  s.dist_threshold = dist;
  return capture([&](std::FILE* out) { write_summary(out, s, derived(e, emg, dist)); });
}

TEST(SummaryTest, NineteenLinesCharacterForCharacter) {
  Evaluation e = evaluation_of(18);
  e.header = {"Jane Doe\n", "f\n", "1.2.1980\n", "3.4.2026\n", "1000\n"};
  e.no_entries = 12345;
  e.calibration_type = 1;
  const long double mvc[] = {400, 350.125L, 200, 1000}, nl[] = {2.5L, 3, 1000, 0};
  std::copy(mvc, mvc + 4, e.run_mvc);
  std::copy(nl, nl + 4, e.run_nl);
  e.right_max = 4.5L, e.left_max = 3.25L, e.incisal_max = 40;
  EXPECT_EQ(summary_of(e, 40, 300, 80, static_cast<long double>(0.03), 3),
            "Version                               : 2.0\n"
            "Person                                : Jane Doe\n"
            "Sex                                   : f\n"
            "Born                                  : 1.2.1980\n"
            "Creation                              : 3.4.2026\n"
            "Frequency                             : 1000\n"
            "Number of entries / type              : 12345/1\n"
            "Number of experiments                 : 18\n"
            "Time span, RMS Glaettung              : 40 ms\n"
            "Time span, MVC computation            : 300 ms\n"
            "Time span, noise level computation    : 80 ms\n"
            "MVC (M. masseter right/left)          : 400.00 uV / 350.12 uV\n"  // exact tie: even
            "MVC (M. temporalsis right/left)       : 200.00 uV / 1000.00 uV\n"
            "NL (M. masseter right/left)           : 2.50 uV 3.00 uV\n"
            "NL (M. temporalis right/left)         : 1000.00 uV 0.00 uV\n"
            "Maximal distanze right/left/incisal   : 4.50 mm / 3.25 mm / 40.00 mm \n"
            "Distance threshold, cycle recognition : 3.00 mm (= 8%)\n"
            "EMG threshold, active phase           : 3% (= 12.00uV  10.50uV 6.00uV  30.00uV)\n"
            "\n");
}

TEST(SummaryTest, EmptyRecordingAndDegenerateValues) {
  const Evaluation e = evaluation_of(0);
  // Missing header lines print nothing, not even a line end; a zero incisal maximum gives an
  // infinite share, a zero threshold as well a not-a-number share.
  std::string text = summary_of(e, 50, 500, 100, 0, 3);
  EXPECT_NE(text.find("Person                                : Sex       "), std::string::npos);
  EXPECT_NE(text.find("Frequency                             : Number of entries / type       "
                      "       : 0/0\n"),
            std::string::npos);
  EXPECT_NE(text.find("(= inf%)\n"), std::string::npos);
  EXPECT_NE(text.find(": 0% (= 0.00uV  0.00uV 0.00uV  0.00uV)\n"), std::string::npos);
  EXPECT_NE(summary_of(e, 50, 500, 100, 0, 0).find("0.00 mm (= -nan%)\n"), std::string::npos);
}

}  // namespace
