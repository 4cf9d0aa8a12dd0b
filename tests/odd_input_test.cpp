// What chew_eval does with odd input: one end-to-end run of the built program per case, on a
// file written here, checking the exit status, both console streams, the report lines that the
// case changes, and that nothing but the report appeared beside the data file.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const std::string kEval = CHEW_EVAL_PATH;

// Summary lines (0-based) of a report whose five header lines all end in a newline.
enum SummaryLine {
  kPerson = 1,
  kFrequency = 5,
  kEntries = 6,
  kExperiments = 7,
  kMvcMasseter = 11,
  kMvcTemporalis = 12,
  kNlMasseter = 13,
  kNlTemporalis = 14,
  kDistances = 15,
  kThreshold = 16,
  kEmgThreshold = 17,
  kFirstRow = 22,  // first row of the experiment table, after the summary and three header lines
};

const std::string kHeaders = "Person:P\nSex:m\nBorn:2000\nCreation date:today\nFrequency:   100\n";

// Numbers of a five-point sample line after its time stamp: 1-3 right, 4-6 left, 7-9 incisal,
// 10-15 the molar points, 16-18 auxiliary, 19 and 20 the masseters.
constexpr int kRightX = 1, kIncisalX = 7, kMR = 19, kML = 20;

// "time v1 ... v_count\n", every value 0 except those given.
std::string sample(const std::string& time, const std::map<int, std::string>& values = {},
                   int count = 20) {
  std::string line = time;
  for (int k = 1; k <= count; ++k) {
    auto it = values.find(k);
    line += " " + (it == values.end() ? std::string("0") : it->second);
  }
  return line + "\n";
}
std::string sample(long long time, const std::map<int, std::string>& values = {}, int count = 20) {
  return sample(std::to_string(time), values, count);
}

std::set<std::string> names_in(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
    names.insert(std::filesystem::relative(item.path(), folder).string());
  return names;
}

// One run of chew_eval on `content` as data.txt in a fresh folder.
struct Outcome {
  TempDir dir;
  CommandResult result;
  std::vector<std::string> report;
  std::set<std::string> names;

  Outcome(const std::string& content, std::vector<std::string> options = {}) {
    write_file(dir.file("data.txt"), content);
    options.push_back("data.txt");
    result = run_program(kEval, options, dir.path());
    report = lines_of(read_file(dir.file("data_output.txt")));
    names = names_in(dir.path());
  }
  // The run succeeded, printed nothing and wrote nothing but the report.
  void expect_report() const {
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(names, (std::set<std::string>{"data.txt", "data_output.txt"}));
  }
  // The run failed with `message` on standard output and left the folder as it was.
  void expect_reader_failure(const std::string& message) const {
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, message);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(names, std::set<std::string>{"data.txt"});
  }
  std::string line(int k) const { return k < static_cast<int>(report.size()) ? report[k] : ""; }
};

void expect_prefix(const std::string& line, const std::string& prefix) {
  EXPECT_EQ(line.substr(0, prefix.size()), prefix);
}

std::string label(const char* name) {  // "name", padded to 38 characters, and ": "
  std::string text = name;
  return text + std::string(38 - text.size(), ' ') + ": ";
}

// The summary of a recording that had no header lines, from line 1 on, as far as it does not
// depend on the recording: the five empty texts leave their labels on one line.
std::string empty_headers_line(int entries, int type) {
  return label("Person") + label("Sex") + label("Born") + label("Creation") + label("Frequency") +
         label("Number of entries / type") + std::to_string(entries) + "/" + std::to_string(type);
}

// The summary lines that a recording without any experiment gives, from "Number of experiments"
// on (default settings).
void expect_no_experiment_summary(const Outcome& run, int first) {
  EXPECT_EQ(run.line(first), "Number of experiments                 : 0");
  EXPECT_EQ(run.line(first + 4), "MVC (M. masseter right/left)          : 0.00 uV / 0.00 uV");
  EXPECT_EQ(run.line(first + 5), "MVC (M. temporalsis right/left)       : 0.00 uV / 0.00 uV");
  // No chewing trial gives a noise level: the run-wide levels keep their start value 1000.
  EXPECT_EQ(run.line(first + 6), "NL (M. masseter right/left)           : 1000.00 uV 1000.00 uV");
  EXPECT_EQ(run.line(first + 7), "NL (M. temporalis right/left)         : 1000.00 uV 1000.00 uV");
  EXPECT_EQ(run.line(first + 8),
            "Maximal distanze right/left/incisal   : 0.00 mm / 0.00 mm / 0.00 mm ");
  EXPECT_EQ(run.line(first + 9), "Distance threshold, cycle recognition : 3.00 mm (= inf%)");
  EXPECT_EQ(run.line(first + 10),
            "EMG threshold, active phase           : 3% (= 0.00uV  0.00uV 0.00uV  0.00uV)");
  // The experiment table has its three header lines and no row.
  expect_prefix(run.line(first + 14), "-----+----+");
  EXPECT_EQ(run.line(first + 15), "");
}

TEST(OddInputTest, FilesWithNothingReadable) {
  // Bytes without a printable character: no line can be a header, a calibration or a sample.
  std::string garbage;
  unsigned state = 12345;
  while (garbage.size() < 5000) {
    state = state * 1103515245u + 12345u;
    unsigned char c = static_cast<unsigned char>(state >> 16);
    if (c < 0x21 || c > 0x7e) garbage += static_cast<char>(c);
  }
  for (const std::string& content : {std::string(), garbage}) {
    Outcome run(content);
    run.expect_report();
    EXPECT_EQ(run.line(0), "Version                               : 2.0");
    EXPECT_EQ(run.line(1), empty_headers_line(0, 0));
    expect_no_experiment_summary(run, 2);
  }
}

TEST(OddInputTest, NulByteEndsWhatTheLineSays) {
  // The text of a line ends at a NUL byte; what follows it up to the newline is lost, even a
  // whole sample.
  const std::string nul(1, '\0');
  std::string first = sample(0);
  first.pop_back();
  Outcome run("Person:Ann" + nul + " and more\n" + kHeaders.substr(kHeaders.find("Sex")) + first +
              nul + " 7 8\n" + "6 1 2 3" + nul + sample(7) + sample(8));
  run.expect_report();
  // The person text has lost its newline along with the rest of the line.
  EXPECT_EQ(run.line(kPerson), label("Person") + "Ann" + label("Sex") + "m");
  // Samples 0 (its 21 numbers come before the NUL) and 8; "6 1 2 3" is too short, and the
  // sample of time 7 after its NUL is lost.
  EXPECT_EQ(run.line(kEntries - 1), "Number of entries / type              : 2/0");
  EXPECT_EQ(run.line(kExperiments - 1), "Number of experiments                 : 1");
  expect_prefix(run.line(kFirstRow - 1), "   1 |  0 |      0      1 |");
}

TEST(OddInputTest, FileWithoutFinalNewline) {
  // The last line counts without its newline: a sample is read ...
  Outcome last_sample(kHeaders + sample(0) + sample(5).substr(0, sample(5).size() - 1));
  last_sample.expect_report();
  EXPECT_EQ(last_sample.line(kEntries), "Number of entries / type              : 2/0");
  // ... and a header text has no line end, so the next summary line continues it.
  Outcome last_header(sample(0) + "Frequency:   250");
  last_header.expect_report();
  EXPECT_EQ(last_header.line(1), label("Person") + label("Sex") + label("Born") +
                                     label("Creation") + label("Frequency") + "250" +
                                     label("Number of entries / type") + "1/0");
}

TEST(OddInputTest, LoneCarriageReturnsDoNotEndLines) {
  // A file with "\r" line ends is one line: a header line takes the whole file as its text (cut
  // to 255 characters) ...
  std::string text = "Person:P\rSex:m\r";
  for (int k = 0; k < 10; ++k) text += sample(k * 10).substr(0, sample(k * 10).size() - 1) + "\r";
  Outcome header_first(text);
  header_first.expect_report();
  EXPECT_EQ(header_first.line(1), label("Person") + text.substr(7, 255) + label("Sex") +
                                      label("Born") + label("Creation") + label("Frequency") +
                                      label("Number of entries / type") + "0/0");
  // ... and a file that begins with a sample gives that one sample: scanf takes what it needs
  // from the start of the line (a carriage return is white space to it) and ignores the rest.
  Outcome sample_first(text.substr(text.find('\r', 9) + 1));
  sample_first.expect_report();
  EXPECT_EQ(sample_first.line(1), empty_headers_line(1, 0));
  EXPECT_EQ(sample_first.line(2), "Number of experiments                 : 1");
}

// `line` without its newline, padded with blanks to `length` characters.
std::string padded(std::string line, std::size_t length) {
  line.pop_back();
  return line + std::string(length - line.size(), ' ');
}

TEST(OddInputTest, LongLinesAreReadInPiecesOf2047Characters) {
  // A sample whose 21st number ends at character 2047 is read whole; one whose 21st number is
  // character 2048 is cut before that number, and neither piece is a sample; a line of 10000
  // characters is five pieces, here each one a sample (times 10 to 14).
  std::string exact = padded(sample(0, {}, 19), 2045) + " 7\n";
  std::string over = padded(sample(5, {}, 19), 2046) + " 7\n";
  ASSERT_EQ(exact.size(), 2048u);
  ASSERT_EQ(over.size(), 2049u);
  std::string long_line;
  for (int k = 0; k < 4; ++k) long_line += padded(sample(10 + k), 2047);
  long_line += padded(sample(14), 10000 - long_line.size()) + "\n";
  ASSERT_EQ(long_line.size(), 10001u);
  Outcome run(kHeaders + exact + over + long_line);
  run.expect_report();
  EXPECT_EQ(run.line(kEntries), "Number of entries / type              : 6/0");
  expect_prefix(run.line(kFirstRow), "   1 |  0 |      0      5 |");
}

TEST(OddInputTest, HeaderValueOf300CharactersIsCutTo255) {
  const std::string value(300, 'v');
  Outcome run("Person " + value + "\nSex:m\n" + sample(0));
  run.expect_report();
  // The cut text has no newline; the rest of the line is no line of its own.
  EXPECT_EQ(run.line(1), label("Person") + value.substr(0, 255) + label("Sex") + "m");
  EXPECT_EQ(run.line(2), label("Born") + label("Creation") + label("Frequency") +
                             label("Number of entries / type") + "1/0");
}

// Experiments 1 and 2 of one sample each, then experiment 3, whose samples set the run-wide
// distance maxima; `third` holds its lines.
std::string with_third_experiment(const std::string& third) {
  return kHeaders + sample(0) + sample(0) + third;
}

TEST(OddInputTest, NumberSpellingsThatScanfAccepts) {
  // The incisal x position of experiment 3, relative to an all-zero calibration, is the largest
  // incisal distance; the threshold's share is 300 / that distance.
  struct Case {
    const char* spelling;
    const char* distance;
    const char* share;
  } cases[] = {
      {"+1.5", "1.50", "200"},    {".5", "0.50", "600"},
      {"5.", "5.00", "60"},       {"-5", "5.00", "60"},
      {"1e3", "1000.00", "0"},    {"0x1p3", "8.00", "38"},  // 37.5, rounded to even
      {"inf", "inf", "0"},        {"1e5000", "inf", "0"},   // beyond the extended range: infinity
      {"nan", "0.00", "inf"},      // a NaN distance never exceeds the maximum's start value 0
      {"1e-4940", "0.00", "inf"},  // a denormal: its square, and so its distance, is 0
  };
  for (const Case& c : cases) {
    Outcome run(with_third_experiment(sample(0, {{kIncisalX, c.spelling}})));
    run.expect_report();
    EXPECT_EQ(run.line(kEntries), "Number of entries / type              : 3/0") << c.spelling;
    EXPECT_EQ(run.line(kDistances), std::string("Maximal distanze right/left/incisal   : ") +
                                        "0.00 mm / 0.00 mm / " + c.distance + " mm ")
        << c.spelling;
    EXPECT_EQ(run.line(kThreshold),
              std::string("Distance threshold, cycle recognition : 3.00 mm (= ") + c.share + "%)")
        << c.spelling;
  }
}

TEST(OddInputTest, NumberSpellingsThatScanfStopsIn) {
  // Experiment 3 opens at incisal distance 0.25; a second sample carries the spelling either as
  // its incisal x position or as its last number (after an incisal x position of 7).
  struct Case {
    const char* spelling;
    bool last;
    int entries;
    const char* distance;
  } cases[] = {
      {"1e", false, 4, "1.00"},      // scanf takes "1e" as 1 and reads on
      {"1.5abc", false, 3, "0.25"},  // "abc" is no number: the line has too few, it is skipped
      {"1,5", false, 3, "0.25"},     // the same for ",5"
      {"1e", true, 4, "7.00"},       // as the last number each of them still completes the line
      {"1.5abc", true, 4, "7.00"},  {"1,5", true, 4, "7.00"},
  };
  for (const Case& c : cases) {
    const std::map<int, std::string> values =
        c.last ? std::map<int, std::string>{{kIncisalX, "7"}, {kML, c.spelling}}
               : std::map<int, std::string>{{kIncisalX, c.spelling}};
    Outcome run(with_third_experiment(sample(0, {{kIncisalX, "0.25"}}) + sample(5, values)));
    run.expect_report();
    const std::string what = std::string(c.spelling) + (c.last ? " last" : " inside");
    EXPECT_EQ(run.line(kEntries),
              "Number of entries / type              : " + std::to_string(c.entries) + "/0")
        << what;
    EXPECT_EQ(run.line(kDistances), std::string("Maximal distanze right/left/incisal   : ") +
                                        "0.00 mm / 0.00 mm / " + c.distance + " mm ")
        << what;
  }
}

TEST(OddInputTest, TimeStampsBeyondThe64BitRange) {
  // scanf's %lld reads them as the largest and smallest 64-bit value: samples like any other,
  // and neither opens an experiment. With a constant masseter value of 10 every smoothed value
  // is 10, and so is the mean of every MVC window that fits: starts 0, 10 and the smallest value
  // lie at least 500 ms before the last sample (600).
  const std::map<int, std::string> ten = {{kMR, "10"}};
  Outcome run(kHeaders + sample(0, ten) + sample(10, ten) + sample("99999999999999999999", ten) +
              sample("-99999999999999999999", ten) + sample(600, ten));
  run.expect_report();
  EXPECT_EQ(run.line(kEntries), "Number of entries / type              : 5/0");
  EXPECT_EQ(run.line(kExperiments), "Number of experiments                 : 1");
  EXPECT_EQ(run.line(kMvcMasseter), "MVC (M. masseter right/left)          : 10.00 uV / 0.00 uV");
  expect_prefix(run.line(kFirstRow), "   1 |  0 |      0      4 |");
}

TEST(OddInputTest, NegativeAndFallingTimeStamps) {
  // Only a time of exactly 0 opens an experiment; other time stamps are taken as they are.
  const std::map<int, std::string> ten = {{kMR, "10"}};
  Outcome run(kHeaders + sample(0, ten) + sample(-5, ten) + sample(30, ten) + sample(20, ten) +
              sample(20, ten) + sample(700, ten) + sample(0, ten) + sample(-100, ten));
  run.expect_report();
  EXPECT_EQ(run.line(kEntries), "Number of entries / type              : 8/0");
  EXPECT_EQ(run.line(kExperiments), "Number of experiments                 : 2");
  expect_prefix(run.line(kFirstRow), "   1 |  0 |      0      5 |");
  expect_prefix(run.line(kFirstRow + 1), "   2 |  0 |      6      7 |");
  // Experiment 1: windows start at 0, -5, 30, 20 and 20 (700 - t >= 500), each of mean 10.
  // Experiment 2: the last sample lies before the first, so no window fits and its MVC is 0.
  EXPECT_EQ(run.line(kMvcMasseter), "MVC (M. masseter right/left)          : 10.00 uV / 0.00 uV");
}

TEST(OddInputTest, SamplesBeforeTheFirstExperimentBelongToNone) {
  Outcome run(kHeaders + sample(5, {{kIncisalX, "50"}}) + sample(6, {{kIncisalX, "60"}}) +
              sample(0, {{kIncisalX, "1"}}) + sample(5, {{kIncisalX, "2"}}));
  run.expect_report();
  EXPECT_EQ(run.line(kEntries), "Number of entries / type              : 4/0");
  EXPECT_EQ(run.line(kExperiments), "Number of experiments                 : 1");
  // Experiment 1 holds samples 2 and 3 only: its largest incisal distance is 2, not 60.
  expect_prefix(run.line(kFirstRow), "   1 |  0 |      2      3 |   0.00   0.00   2.00 |");
}

TEST(OddInputTest, NoExperimentAtAll) {
  std::string text = kHeaders;
  for (int t = 1; t <= 6; ++t) text += sample(t * 10, {{kIncisalX, "9"}, {kMR, "50"}});
  Outcome run(text);
  run.expect_report();
  EXPECT_EQ(run.line(kEntries), "Number of entries / type              : 6/0");
  expect_no_experiment_summary(run, kExperiments);
}

// `count` experiments; experiment k (1-based) has samples at 0, 50, 100 and 150 ms with the
// constant masseter values 100 - k and 200 - k, so its noise level (from the one window that
// starts at 50 ms, after the smoothing window, and lasts 100 ms) is those values, and no MVC
// window of 500 ms fits.
std::string experiments(int count) {
  std::string text = kHeaders;
  for (int k = 1; k <= count; ++k) {
    const std::map<int, std::string> values = {{kMR, std::to_string(100 - k)},
                                               {kML, std::to_string(200 - k)}};
    for (int t : {0, 50, 100, 150}) text += sample(t, values);
  }
  return text;
}

TEST(OddInputTest, TwelveThirteenAndEighteenExperiments) {
  // The run-wide noise level is the smallest of the chewing trials' (experiments 13 to 18), or
  // 1000 when the recording has none; the temporales of a five-point file are 0.
  struct Case {
    int count;
    const char* masseters;
    const char* temporales;
  } cases[] = {
      {12, "1000.00 uV 1000.00 uV", "1000.00 uV 1000.00 uV"},
      {13, "87.00 uV 187.00 uV", "0.00 uV 0.00 uV"},
      {18, "82.00 uV 182.00 uV", "0.00 uV 0.00 uV"},
  };
  for (const Case& c : cases) {
    Outcome run(experiments(c.count));
    run.expect_report();
    EXPECT_EQ(run.line(kExperiments),
              "Number of experiments                 : " + std::to_string(c.count));
    EXPECT_EQ(run.line(kNlMasseter),
              std::string(label("NL (M. masseter right/left)")) + c.masseters);
    EXPECT_EQ(run.line(kNlTemporalis),
              std::string(label("NL (M. temporalis right/left)")) + c.temporales);
    EXPECT_EQ(run.line(kMvcMasseter), "MVC (M. masseter right/left)          : 0.00 uV / 0.00 uV");
    // One table row per experiment, then the blank line.
    expect_prefix(run.line(kFirstRow + c.count - 1), "  " + std::to_string(c.count) + " |");
    EXPECT_EQ(run.line(kFirstRow + c.count), "");
  }
}

TEST(OddInputTest, NineteenExperimentsEndTheRun) {
  Outcome run(experiments(19));
  run.expect_reader_failure("To many tracks in file, 18\n");
}

// One experiment of `count` all-zero samples, 1 ms apart.
std::string zero_samples(int count) {
  std::string text;
  text.reserve(static_cast<std::size_t>(count) * 48);
  const std::string zeros = " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
  for (int k = 0; k < count; ++k) text += std::to_string(k) + zeros;
  return text;
}

TEST(OddInputTest, ExactlyAsManySamplesAsTheStoreHolds) {
  Outcome full(zero_samples(500000));
  full.expect_report();
  EXPECT_EQ(full.line(1), empty_headers_line(500000, 0));
  EXPECT_EQ(full.line(2), "Number of experiments                 : 1");
  expect_prefix(full.line(kFirstRow - 5), "   1 |  0 |      0 499999 |");
}

TEST(OddInputTest, OneSampleMoreEndsTheRun) {
  Outcome run(zero_samples(500001));
  run.expect_reader_failure("To many entries in file, 500000\n");
}

TEST(OddInputTest, SecondCalibrationLineSwitchesTheLineForm) {
  // With windows of 0 ms every smoothed value is the sample's magnitude and the MVC and noise
  // level of a one-sample experiment are that value.
  const std::string text =
      kHeaders + "Calibr 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n" +
      sample(0, {{kRightX, "11"}, {kMR, "5"}, {kML, "-6"}}) +  // five points, two channels
      "Calibr 1 0 0 0 0 0 0 0 0\n" +                           // three points from here on
      sample(0, {{13, "1"}, {14, "2"}, {15, "30"}, {16, "-40"}}, 16) +
      // 20 numbers are now a four-channel line of the first 16.
      sample(0, {{kRightX, "21"}, {13, "7"}, {14, "8"}, {15, "9"}, {16, "10"}, {17, "99"}}, 20);
  Outcome run(text, {"-rms_time", "0", "-mvc_time", "0", "-nl_time", "0"});
  run.expect_report();
  EXPECT_EQ(run.line(kEntries), "Number of entries / type              : 3/1");
  EXPECT_EQ(run.line(kMvcMasseter), "MVC (M. masseter right/left)          : 5.00 uV / 6.00 uV");
  EXPECT_EQ(run.line(kMvcTemporalis),
            "MVC (M. temporalsis right/left)       : 30.00 uV / 40.00 uV");
  // The last calibration holds for every sample, those before it included: right distance 10
  // in experiment 1, 20 in experiment 3 (which gives the run-wide maximum).
  EXPECT_EQ(run.line(kDistances),
            "Maximal distanze right/left/incisal   : 20.00 mm / 0.00 mm / 0.00 mm ");
  expect_prefix(run.line(kFirstRow),
                "   1 |  0 |      0      0 |  10.00   0.00   0.00 |   5.00/  5.00    6.00/  6.00 |"
                "   0.00/  0.00    0.00/  0.00 |");
  expect_prefix(run.line(kFirstRow + 2),
                "   3 |  0 |      2      2 |  20.00   0.00   0.00 |   7.00/  7.00    8.00/  8.00 |"
                "   9.00/  9.00   10.00/ 10.00 |");
}

TEST(OddInputTest, CalibrationLineOfEightNumbersEndsTheRun) {
  struct Case {
    int numbers;
    int type;  // -1: the run ends
  } cases[] = {{8, -1}, {9, 1}, {14, 1}, {15, 0}};
  for (const Case& c : cases) {
    std::string calibration = "Calibr";
    for (int k = 1; k <= c.numbers; ++k) calibration += " " + std::to_string(k);
    // A 20-number sample line fits both forms.
    Outcome run(kHeaders + calibration + "\n" + sample(0));
    if (c.type < 0) {
      run.expect_reader_failure("Error reading calibration\n");
      continue;
    }
    run.expect_report();
    EXPECT_EQ(run.line(kEntries),
              "Number of entries / type              : 1/" + std::to_string(c.type))
        << c.numbers;
  }
}

// 18 experiments of 1 s at 20 ms steps; in each the jaw opens to 10 mm and closes again every
// 200 ms, and the masseters carry the given constant values.
std::string constant_emg(const std::string& right, const std::string& left) {
  std::string text = kHeaders;
  for (int k = 0; k < 18; ++k) {
    for (int t = 0; t <= 1000; t += 20) {
      const int phase = t % 200;
      const int opening = phase <= 100 ? phase / 10 : (200 - phase) / 10;
      text += sample(t, {{kIncisalX, std::to_string(opening)}, {kMR, right}, {kML, left}});
    }
  }
  return text;
}

TEST(OddInputTest, ConstantAndAllZeroEmg) {
  // A constant value c smooths to |c|; MVC and noise level are |c|; the activity level
  // 0.03 |c| + |c| is never reached by c itself, and for c = 0 a burst of zeros integrates to 0:
  // no chewing cycle is confirmed though the jaw opens five times per trial. The MVC-based cycle
  // work is then 0 / MVC: 0, or not a number where the MVC is 0 (the temporales of a five-point
  // file always), printed as the C library prints the x87 default NaN.
  const std::string nan = "      -nan", zero = "       0.0";
  auto row7 = [](const std::string& m, const std::string& t) {
    return "7 MVCbased_MuscleWork_re  | rm_fkmvc " + m + " | rm_rkmvs " + m + " | rm_lkmvc " + m +
           " | rt_fkmvc " + t + " | rt_rkmvc " + t + " | rt_lkmvc " + t;
  };
  struct Case {
    const char* right;
    const char* left;
    const char* mvc;
    const char* nl;
    const char* levels;
    std::string mvc_based_work;
  } cases[] = {
      {"0", "0", "0.00 uV / 0.00 uV", "0.00 uV 0.00 uV", "0.00uV  0.00uV 0.00uV  0.00uV",
       row7(nan, nan)},
      {"40", "-100", "40.00 uV / 100.00 uV", "40.00 uV 100.00 uV", "1.20uV  3.00uV 0.00uV  0.00uV",
       row7(zero, nan)},
  };
  for (const Case& c : cases) {
    Outcome run(constant_emg(c.right, c.left));
    run.expect_report();
    EXPECT_EQ(run.line(kMvcMasseter), label("MVC (M. masseter right/left)") + c.mvc) << c.right;
    EXPECT_EQ(run.line(kNlMasseter), label("NL (M. masseter right/left)") + c.nl) << c.right;
    EXPECT_EQ(run.line(kDistances),
              "Maximal distanze right/left/incisal   : 0.00 mm / 0.00 mm / 10.00 mm ");
    EXPECT_EQ(run.line(kEmgThreshold),
              label("EMG threshold, active phase") + "3% (= " + c.levels + ")")
        << c.right;
    for (int k = 0; k < 18; ++k) {
      EXPECT_EQ(run.line(kFirstRow + k).substr(4, 6), " |  0 ") << c.right << " row " << k;
    }
    int row = 0;
    while (row < static_cast<int>(run.report.size()) && run.report[row].rfind("7 MVC", 0) != 0)
      ++row;
    EXPECT_EQ(run.line(row), c.mvc_based_work) << c.right;
  }
}

TEST(OddInputTest, DataPathsAndTheReportName) {
  TempDir dir;
  // A path of 4000 characters, in folders of 100 to 200 characters.
  std::string deep = dir.path();
  while (4000 - 8 - deep.size() > 402) deep += "/" + std::string(200, 'd');
  const std::size_t rest = 4000 - 8 - deep.size();
  deep += "/" + std::string(rest / 2 - 1, 'e') + "/" + std::string(rest - rest / 2 - 1, 'f');
  const std::string long_path = deep + "/rec.txt";
  ASSERT_EQ(long_path.size(), 4000u);
  std::filesystem::create_directories(deep);
  std::filesystem::create_directories(dir.file("x.d/y.d"));
  struct Case {
    std::string path;    // as given to chew_eval, from the folder
    std::string report;  // where the report appears, from the folder
  } cases[] = {
      {"x.d/y.d/rec.txt", "x.d/y.d/rec_output.txt"},  // points in folder names do not count
      {"./rec.txt", "rec_output.txt"},                // ... nor the "./" before the name
      {"x.d/../rec.b.txt", "rec_output.txt"},         // ... nor a "../"; the name's first does
      {"x.d/y.d/rec", "x.d/y.d/rec_output.txt"},
      {"norec", "norec_output.txt"},  // no point at all
      {long_path, deep.substr(dir.path().size() + 1) + "/rec_output.txt"},
  };
  for (const Case& c : cases) {
    const std::string data = c.path[0] == '/' ? c.path : dir.file(c.path);
    write_file(data, kHeaders + sample(0));
    const std::set<std::string> before = names_in(dir.path());
    CommandResult r = run_program(kEval, {c.path}, dir.path());
    EXPECT_EQ(r.status, 0) << c.path.substr(0, 40);
    EXPECT_EQ(r.out + r.err, "");
    std::set<std::string> after = names_in(dir.path());
    EXPECT_EQ(after.erase(c.report), 1u) << c.report.substr(0, 40);
    EXPECT_EQ(after, before);
    EXPECT_EQ(lines_of(read_file(dir.file(c.report)))[kEntries],
              "Number of entries / type              : 1/0");
    std::filesystem::remove(dir.file(c.report));
    std::filesystem::remove(data);
  }
}

TEST(OddInputTest, ReportThatCannotBeCreated) {
  // The report goes beside the data file, so its folder exists whenever the data file could be
  // read; a data path into a missing folder ends as a file that
  // cannot be opened. A folder where no file can be created, even by root, is /proc.
  TempDir dir;
  CommandResult r = run_program(kEval, {"missing/rec.txt"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "chew_eval: cannot open 'missing/rec.txt': No such file or directory\n");

  r = run_program(kEval, {"/proc/version"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  expect_prefix(r.err, "chew_eval: cannot create report '/proc/version_output.txt': ");
  EXPECT_TRUE(names_in(dir.path()).empty());
}

TEST(OddInputTest, ReportThatCannotBeWrittenWhole) {
  // A full device: the file size limit (4 blocks of 512 bytes) lets the report's writes fail
  // part of the way. The temporary file is removed and an older report stays as it was.
  TempDir dir;
  write_file(dir.file("data.txt"), experiments(18));
  write_file(dir.file("data_output.txt"), "an older report\n");
  CommandResult r = run_program(
      "/bin/sh", {"-c", "ulimit -f 4; exec \"$0\" \"$@\"", kEval, "data.txt"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "chew_eval: cannot write report 'data_output.txt': File too large\n");
  EXPECT_EQ(read_file(dir.file("data_output.txt")), "an older report\n");
  EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"data.txt", "data_output.txt"}));
}

TEST(OddInputTest, ReportNameThatIsAFolder) {
  TempDir dir;
  write_file(dir.file("data.txt"), kHeaders + sample(0));
  std::filesystem::create_directory(dir.file("data_output.txt"));
  write_file(dir.file("data_output.txt/inside"), "kept\n");
  CommandResult r = run_program(kEval, {"data.txt"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "chew_eval: cannot write report 'data_output.txt': Is a directory\n");
  EXPECT_EQ(names_in(dir.path()),
            (std::set<std::string>{"data.txt", "data_output.txt", "data_output.txt/inside"}));
  EXPECT_EQ(read_file(dir.file("data_output.txt/inside")), "kept\n");
}

}  // namespace
