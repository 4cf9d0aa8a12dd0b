// The recording simulator, run as a program: its files read back through read_data in every
// form, its command line, its determinism, and the evaluator's chewing-cycle counts against the
// simulator's ground truth.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "recording/read_data.h"
#include "recording/store.h"
#include "support/test_support.h"

namespace {

CommandResult simulate(const std::vector<std::string>& args, const std::string& cwd) {
  return run_program(CHEW_SIMULATE_PATH, args, cwd);
}

std::vector<std::string> words_of(const std::string& line) {
  std::istringstream stream(line);
  std::vector<std::string> words;
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// "KEYWORD EXPERIMENT ..." lines of a truth file: experiment -> the words after its number.
std::map<int, std::vector<std::string>> keyed_lines(const std::string& text,
                                                    const std::string& keyword) {
  std::map<int, std::vector<std::string>> found;
  for (const std::string& line : lines_of(text)) {
    const std::vector<std::string> w = words_of(line);
    if (w.size() > 1 && w[0] == keyword) found[std::stoi(w[1])].assign(w.begin() + 2, w.end());
  }
  return found;
}

// "EXPERIMENT CYCLES" lines of a truth file (its other lines are read by strokes_of and
// keyed_lines).
std::map<int, int> truth_of(const std::string& text) {
  std::map<int, int> truth;
  for (const std::string& line : lines_of(text)) {
    if (line.rfind("stroke ", 0) == 0 || line.rfind("movement ", 0) == 0 ||
        line.rfind("clench ", 0) == 0) {
      continue;
    }
    int experiment = 0, cycles = 0;
    char rest = 0;
    if (std::sscanf(line.c_str(), "%d %d%c", &experiment, &cycles, &rest) == 2) {
      truth[experiment] = cycles;
    } else {
      ADD_FAILURE() << "bad truth line '" << line << "'";
    }
  }
  return truth;
}

// "stroke EXPERIMENT OPEN_MS PEAK_MS OCCLUSION_MS SIDE VERTICAL_MM KIND SEQUENCING SHAPE" lines.
struct TruthStroke {
  int experiment = 0;
  long long open = 0, peak = 0, occlusion = 0;  // ms
  char side = 0;                                // 'R' or 'L'
  double vertical = 0;                          // mm
  bool chewing = false;                         // "chew", else "idle"
  bool reversed = false;                        // "reversed", else "normal"
  std::string shape;                            // "single", "double" or "held"
};

std::vector<TruthStroke> strokes_of(const std::string& text) {
  std::vector<TruthStroke> strokes;
  for (const std::string& line : lines_of(text)) {
    if (line.rfind("stroke ", 0) != 0) continue;
    const std::vector<std::string> w = words_of(line);
    TruthStroke s;
    char rest = 0;
    const bool parsed =
        w.size() == 10 && (w[5] == "R" || w[5] == "L") && (w[7] == "chew" || w[7] == "idle") &&
        (w[8] == "normal" || w[8] == "reversed") &&
        (w[9] == "single" || w[9] == "double" || w[9] == "held") && w[6].size() >= 4 &&
        w[6][w[6].size() - 3] == '.' &&
        std::sscanf(line.c_str(), "stroke %d %lld %lld %lld %c %lf %c", &s.experiment, &s.open,
                    &s.peak, &s.occlusion, &s.side, &s.vertical, &rest) == 7;
    if (!parsed) {
      ADD_FAILURE() << "bad stroke line '" << line << "'";
      continue;
    }
    s.chewing = w[7] == "chew";
    s.reversed = w[8] == "reversed";
    s.shape = w[9];
    strokes.push_back(s);
  }
  return strokes;
}

// Experiment number -> its "C." column, from the rows of the report's experiment table (the
// lines after its three header lines up to the blank line). Empty without such a table.
std::map<int, int> chewing_column(const std::string& report) {
  std::map<int, int> column;
  const std::vector<std::string> lines = lines_of(report);
  std::size_t i = 0;
  while (i < lines.size() && lines[i].compare(0, 17, "Exp. | C. | First") != 0) ++i;
  for (i += 3; i < lines.size() && !lines[i].empty(); ++i) {
    int experiment = 0, cycles = 0, first = 0, last = 0;
    if (std::sscanf(lines[i].c_str(), "%d | %d | %d %d |", &experiment, &cycles, &first, &last) ==
        4) {
      column[experiment] = cycles;
    }
  }
  return column;
}

struct FormCase {
  std::string form;
  int rate;
  std::string seed;
  std::vector<std::string> size;  // --scale S or --samples N
  int calibration_type;
  int numbers;  // after the time stamp on a sample line
  bool four_channels;
};

// A case as the simulator's options that make it, so the test list shows
// "GetParam() = --seed 1 --form five-point --rate 1000 --scale 0.2" instead of raw bytes.
void print_options(const std::string& seed, const std::string& form, const std::string& rate,
                   const std::vector<std::string>& size, std::ostream* os) {
  *os << "--seed " << seed << " --form " << form << " --rate " << rate;
  for (const std::string& word : size) *os << ' ' << word;
}

void PrintTo(const FormCase& c, std::ostream* os) {
  print_options(c.seed, c.form, std::to_string(c.rate), c.size, os);
}

class SimulateFormTest : public ::testing::TestWithParam<FormCase> {};

TEST_P(SimulateFormTest, ReadsBackWithTheProtocolAndTheForm) {
  const FormCase& c = GetParam();
  TempDir dir;
  std::vector<std::string> args = {"--form",  c.form,     "--rate", std::to_string(c.rate),
                                   "--seed",  c.seed,     "--out",  "rec.txt",
                                   "--truth", "rec.truth"};
  args.insert(args.end(), c.size.begin(), c.size.end());
  const CommandResult run = simulate(args, dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");

  // The text: five header lines, the calibration line, then samples of the form's width.
  const std::vector<std::string> lines = lines_of(read_file(dir.file("rec.txt")));
  ASSERT_GT(lines.size(), 6u);
  EXPECT_EQ(lines[0].compare(0, 8, "Person: "), 0);
  EXPECT_EQ(lines[1].compare(0, 5, "Sex: "), 0);
  EXPECT_EQ(lines[2].compare(0, 6, "Born: "), 0);
  EXPECT_EQ(lines[3].compare(0, 15, "Creation date: "), 0);
  EXPECT_EQ(lines[4], "Frequency:   " + std::to_string(c.rate));
  EXPECT_EQ(words_of(lines[5]).size(), c.calibration_type == 0 ? 16u : 10u);
  for (std::size_t i = 6; i < lines.size() && i < 300; ++i) {
    const std::vector<std::string> words = words_of(lines[i]);
    ASSERT_EQ(words.size(), static_cast<std::size_t>(c.numbers + 1)) << lines[i];
    const int positions = c.calibration_type == 0 ? 15 : 9;
    for (int p = 1; p <= positions; ++p) {
      const std::string& w = words[p];
      ASSERT_TRUE(w.size() >= 4 && w[w.size() - 3] == '.')
          << "position " << w << " in " << lines[i];
    }
  }

  reset_store();
  ASSERT_EQ(read_data(dir.file("rec.txt").c_str()).status, ReadStatus::ok);
  EXPECT_EQ(no_tracks, 18);
  EXPECT_EQ(calibration.type, c.calibration_type);
  EXPECT_EQ(std::string(frequency), std::to_string(c.rate) + "\n");
  if (c.size[0] == "--samples") {
    EXPECT_EQ(no_entries, std::stoi(c.size[1]));
  } else {
    // Every trial lasts its protocol share of 152 s times the scale, less the rest of a sample.
    long long total = 0;
    for (int k = 0; k < no_tracks; ++k) total += samples.time[tracks[k].last_entry];
    const double expected = 152000 * std::stod(c.size[1]);
    EXPECT_LE(total, expected);
    EXPECT_GT(total, expected - 18 * 2000.0 / c.rate);
  }
  // Experiments in a row, each from time 0 with whole-millisecond stamps of the rate.
  EXPECT_EQ(tracks[0].first_entry, 0);
  EXPECT_EQ(tracks[no_tracks - 1].last_entry, no_entries - 1);
  for (int k = 0; k < no_tracks; ++k) {
    for (int i = tracks[k].first_entry; i <= tracks[k].last_entry; ++i) {
      const long long n = i - tracks[k].first_entry;
      ASSERT_EQ(samples.time[i], n * 1000 / c.rate) << "experiment " << k + 1 << " sample " << n;
    }
  }
  bool temporalis = false, molars = false;
  for (int i = 0; i < no_entries; ++i) {
    temporalis = temporalis || channel_value(2, i) != 0 || channel_value(3, i) != 0;
  }
  // The molar points move with the jaw, away from their calibrated positions.
  for (int k = 0; k < no_tracks; ++k)
    molars = molars || distance_max[k][3] != 0 || distance_max[k][4] != 0;
  EXPECT_EQ(temporalis, c.four_channels);
  EXPECT_EQ(molars, c.calibration_type == 0);
  // The clench lines give a level for each channel written, "-" for the others.
  const std::string carried = c.form == "jaw-only" ? "----" : c.four_channels ? "yyyy" : "yy--";
  std::string shown;
  for (const auto& [experiment, w] : keyed_lines(read_file(dir.file("rec.truth")), "clench"))
    for (const std::string& level : w)
      shown += level == "-" ? '-' : std::stod(level) > 100 ? 'y' : '?';
  EXPECT_EQ(shown, carried + carried);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SimulateFormTest,
    ::testing::Values(FormCase{"five-point", 1000, "1", {"--scale", "0.2"}, 0, 20, false},
                      FormCase{"three-point-4ch", 250, "2", {"--scale", "1"}, 1, 16, true},
                      FormCase{"three-point-2ch", 50, "3", {"--scale", "0.5"}, 1, 14, false},
                      FormCase{"three-point-4ch", 333, "4", {"--samples", "4321"}, 1, 16, true},
                      FormCase{"five-point", 777, "5", {"--samples", "18"}, 0, 20, false},
                      FormCase{"three-point-2ch", 1000, "6", {"--samples", "500000"}, 1, 14, false},
                      FormCase{"jaw-only", 500, "7", {"--scale", "0.3"}, 1, 16, false}),
    [](const ::testing::TestParamInfo<FormCase>& case_info) {
      return "seed" + case_info.param.seed;
    });

TEST(SimulateTest, SameSeedSameBytesOtherSeedOtherBytes) {
  TempDir dir;
  const std::vector<std::string> common = {"--rate", "200", "--scale", "0.3"};
  auto make = [&](const std::string& seed, const std::string& name) {
    std::vector<std::string> args = common;
    args.insert(args.end(), {"--seed", seed, "--out", name, "--truth", name + ".truth"});
    EXPECT_EQ(simulate(args, dir.path()).status, 0);
    return read_file(dir.file(name)) + read_file(dir.file(name + ".truth"));
  };
  const std::string first = make("42", "a.txt");
  EXPECT_NE(first.find("\nstroke 18 "), std::string::npos);  // the stroke lines too
  EXPECT_EQ(make("42", "b.txt"), first);
  EXPECT_NE(make("43", "c.txt"), first);
}

TEST(SimulateTest, FormsShareTheSignalsOfASeed) {
  // The three-point forms leave out the molar points and, with two channels, the temporales;
  // what they keep is the same as in the five-point form. The jaw-only form writes no EMG.
  TempDir dir;
  for (const char* form : {"five-point", "three-point-4ch", "three-point-2ch", "jaw-only"}) {
    ASSERT_EQ(simulate({"--seed", "9", "--rate", "100", "--scale", "0.2", "--form", form, "--out",
                        std::string(form) + ".txt"},
                       dir.path())
                  .status,
              0);
  }
  const std::vector<std::string> five = lines_of(read_file(dir.file("five-point.txt")));
  const std::vector<std::string> four = lines_of(read_file(dir.file("three-point-4ch.txt")));
  const std::vector<std::string> two = lines_of(read_file(dir.file("three-point-2ch.txt")));
  const std::vector<std::string> jaw = lines_of(read_file(dir.file("jaw-only.txt")));
  ASSERT_EQ(five.size(), four.size());
  ASSERT_EQ(five.size(), two.size());
  ASSERT_EQ(five.size(), jaw.size());
  for (std::size_t i = 6; i < five.size(); ++i) {
    const std::vector<std::string> f = words_of(five[i]), t4 = words_of(four[i]),
                                   t2 = words_of(two[i]);
    ASSERT_EQ(f.size(), 21u);
    ASSERT_EQ(t4.size(), 17u);
    ASSERT_EQ(t2.size(), 15u);
    for (int w = 0; w < 10; ++w) ASSERT_EQ(t4[w], f[w]) << "line " << i;           // time, 3 points
    for (int w = 0; w < 5; ++w) ASSERT_EQ(t4[10 + w], f[16 + w]) << "line " << i;  // aux, MR, ML
    for (int w = 0; w < 15; ++w) ASSERT_EQ(t2[w], t4[w]) << "line " << i;
    const std::vector<std::string> j = words_of(jaw[i]);
    ASSERT_EQ(j.size(), 17u);
    for (int w = 0; w < 17; ++w) ASSERT_EQ(j[w], w < 13 ? t4[w] : "0") << "line " << i;
  }
}

TEST(SimulateTest, TrialsHaveHeldDoubleAndReversedStrokes) {
  // The bolus insertion opens most trials; double peaks and held strokes on a hard bolus come
  // now and then, reversed loops as often as the subject makes them.
  TempDir dir;
  int insertions = 0, reversed = 0;
  for (const char* seed : {"1", "2", "3"}) {
    ASSERT_EQ(simulate({"--seed", seed, "--rate", "100", "--out", "r.txt", "--truth", "r.truth"},
                       dir.path())
                  .status,
              0);
    std::map<std::string, int> shapes;
    int trial = 0;
    for (const TruthStroke& s : strokes_of(read_file(dir.file("r.truth")))) {
      ++shapes[s.shape];
      reversed += s.reversed;
      insertions += s.experiment != trial && s.shape == "held" && !s.chewing;
      trial = s.experiment;
    }
    EXPECT_GE(shapes["held"], 4) << "seed " << seed;
    EXPECT_GE(shapes["double"], 3) << "seed " << seed;
    EXPECT_GE(shapes["single"], 60) << "seed " << seed;
  }
  EXPECT_GE(insertions, 9);
  EXPECT_GE(reversed, 5);
}

TEST(SimulateTest, DashWritesTheRecordingToStandardOutput) {
  TempDir dir;
  const CommandResult to_file =
      simulate({"--seed", "3", "--rate", "100", "--scale", "0.1", "--out", "rec.txt"}, dir.path());
  const CommandResult to_console = simulate(
      {"--seed", "3", "--rate", "100", "--scale", "0.1", "--out", "-", "--truth", "rec.truth"},
      dir.path());
  ASSERT_EQ(to_file.status, 0);
  ASSERT_EQ(to_console.status, 0);
  EXPECT_EQ(to_console.out, read_file(dir.file("rec.txt")));
  EXPECT_EQ(truth_of(read_file(dir.file("rec.truth"))).size(), 6u);
  const CommandResult truth_to_console = simulate(
      {"--seed", "3", "--rate", "100", "--scale", "0.1", "--out", "rec2.txt", "--truth", "-"},
      dir.path());
  EXPECT_EQ(truth_to_console.out, read_file(dir.file("rec.truth")));
}

TEST(SimulateTest, HelpExitsZero) {
  TempDir dir;
  const CommandResult help = simulate({"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--samples N"), std::string::npos);
  EXPECT_NE(help.out.find("--truth FILE"), std::string::npos);
  EXPECT_NE(help.out.find("jaw-only"), std::string::npos);
  EXPECT_EQ(help.err, "");
}

TEST(SimulateTest, BadCommandLinesExitTwoWithAMessage) {
  TempDir dir;
  const std::vector<std::vector<std::string>> bad = {
      {},                                                    // no --out
      {"--out"},                                             // no value
      {"--out", "r.txt", "--bogus"},                         // unknown option
      {"--out", "r.txt", "extra"},                           // no option at all
      {"--out", "r.txt", "--rate", "49"},                    // below 50 Hz
      {"--out", "r.txt", "--rate", "1001"},                  // time stamps would repeat
      {"--out", "r.txt", "--rate", "200.5"},                 // not whole
      {"--out", "r.txt", "--form", "six-point"},             //
      {"--out", "r.txt", "--seed", "-1"},                    //
      {"--out", "r.txt", "--seed", "12x"},                   //
      {"--out", "r.txt", "--seed", "18446744073709551616"},  // 2^64
      {"--out", "r.txt", "--scale", "0"},                    //
      {"--out", "r.txt", "--scale", "nan"},                  //
      {"--out", "r.txt", "--samples", "17"},                 // fewer than the experiments
      {"--out", "r.txt", "--samples", "500001"},             // more than the evaluator holds
      {"--out", "r.txt", "--samples", "100", "--scale", "1"},
      {"--out", "r.txt", "--scale", "3.5"},  // 532000 samples at 1000 Hz
      {"--out", "-", "--truth", "-"},        //
  };
  for (const std::vector<std::string>& args : bad) {
    const CommandResult run = simulate(args, dir.path());
    std::string shown;
    for (const std::string& a : args) shown += " " + a;
    EXPECT_EQ(run.status, 2) << shown;
    EXPECT_EQ(run.err.compare(0, 15, "chew_simulate: "), 0) << shown << ": " << run.err;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_FALSE(file_exists(dir.file("r.txt"))) << shown;
  }
  const CommandResult unwritable = simulate({"--out", "no/such/dir/r.txt"}, dir.path());
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("no/such/dir/r.txt"), std::string::npos) << unwritable.err;
}

TEST(SimulateTest, SignalsArePhysiologicallyPlausible) {
  TempDir dir;
  ASSERT_EQ(simulate({"--seed", "5", "--form", "three-point-4ch", "--rate", "200", "--out",
                      "rec.txt", "--truth", "rec.truth"},
                     dir.path())
                .status,
            0);
  reset_store();
  ASSERT_EQ(read_data(dir.file("rec.txt").c_str()).status, ReadStatus::ok);
  ASSERT_EQ(no_tracks, 18);
  long double incisal[18] = {}, condyle[18] = {};
  long double energy[18][4] = {};
  int level[18] = {};
  for (int k = 0; k < no_tracks; ++k) {
    for (int i = tracks[k].first_entry; i <= tracks[k].last_entry; ++i) {
      incisal[k] = std::fmax(incisal[k], samples.incisal_dist[i]);
      const long double channel[4] = {channel_value(0, i), channel_value(1, i), channel_value(2, i),
                                      channel_value(3, i)};
      for (int c = 0; c < 4; ++c) energy[k][c] += channel[c] * channel[c];
      if (i > tracks[k].first_entry && samples.incisal_dist[i] == samples.incisal_dist[i - 1]) {
        ++level[k];
      }
    }
    condyle[k] = distance_max[k][0];  // the right condyle's largest distance
    const int n = tracks[k].last_entry - tracks[k].first_entry + 1;
    for (int c = 0; c < 4; ++c) energy[k][c] /= n;
  }
  for (int k : {2, 3}) {  // maximal opening
    EXPECT_GT(incisal[k], 35) << k + 1;
    EXPECT_LT(incisal[k], 60) << k + 1;
  }
  const std::map<int, int> truth = truth_of(read_file(dir.file("rec.truth")));
  for (int k = 12; k < 18; ++k) {  // chewing: 10-25 mm openings at 1 to 2 cycles a second
    EXPECT_GT(incisal[k], 10) << k + 1;
    EXPECT_LT(incisal[k], 30) << k + 1;
    EXPECT_GE(truth.at(k + 1), 14 * 0.75) << k + 1;
    EXPECT_LE(truth.at(k + 1), 14 * 2) << k + 1;
  }
  for (int k : {2, 3, 12, 13, 14, 15, 16, 17}) EXPECT_LT(condyle[k], incisal[k]) << k + 1;
  EXPECT_GT(level[10], (tracks[10].last_entry - tracks[10].first_entry) / 4);  // rest
  for (int c = 0; c < 4; ++c) {
    // Clenching against rest: MVC of some hundred uV against a baseline of a few.
    EXPECT_GT(energy[0][c], 400 * energy[10][c]) << "channel " << c + 1;
    EXPECT_LT(energy[10][c], 5 * 5) << "channel " << c + 1;
  }
  // The working side works harder, each muscle measured against its own clench.
  for (int k : {14, 15}) {  // right side
    EXPECT_GT(energy[k][0] / energy[0][0], energy[k][1] / energy[0][1]) << k + 1;
    EXPECT_GT(energy[k][2] / energy[0][2], energy[k][3] / energy[0][3]) << k + 1;
  }
  for (int k : {16, 17}) {  // left side
    EXPECT_LT(energy[k][0] / energy[0][0], energy[k][1] / energy[0][1]) << k + 1;
    EXPECT_LT(energy[k][2] / energy[0][2], energy[k][3] / energy[0][3]) << k + 1;
  }
}

// The evaluator's "C." column for experiments 13 to 18 must equal the simulator's ground truth.
void expect_counts_match_truth(const std::string& data, const std::string& truth_text,
                               const std::string& what) {
  TempDir dir;
  write_file(dir.file("sim.txt"), data);
  const CommandResult run = run_program(CHEW_EVAL_PATH, {"sim.txt"}, dir.path());
  ASSERT_EQ(run.status, 0) << what << ": " << run.out << run.err;
  const std::map<int, int> column = chewing_column(read_file(dir.file("sim_output.txt")));
  if (column.empty()) {
    GTEST_SKIP() << "the report has no experiment table rows yet; this check becomes meaningful "
                    "once the analysis stages and the experiment table exist";
  }
  const std::map<int, int> truth = truth_of(truth_text);
  ASSERT_EQ(truth.size(), 6u) << what;
  for (int experiment = 13; experiment <= 18; ++experiment) {
    ASSERT_EQ(column.count(experiment), 1u) << what << ": no row for experiment " << experiment;
    EXPECT_EQ(column.at(experiment), truth.at(experiment)) << what << ": experiment " << experiment;
  }
}

struct TruthCase {
  std::string seed, form, rate;
  std::vector<std::string> size;
};

void PrintTo(const TruthCase& c, std::ostream* os) {
  print_options(c.seed, c.form, c.rate, c.size, os);
}

class SimulateTruthTest : public ::testing::TestWithParam<TruthCase> {};

TEST_P(SimulateTruthTest, ReportCountsTheTrueChewingCycles) {
  const TruthCase& c = GetParam();
  TempDir dir;
  std::vector<std::string> args = {"--seed", c.seed,  "--form",  c.form,    "--rate",
                                   c.rate,   "--out", "sim.txt", "--truth", "sim.truth"};
  args.insert(args.end(), c.size.begin(), c.size.end());
  ASSERT_EQ(simulate(args, dir.path()).status, 0);
  const std::string truth = read_file(dir.file("sim.truth"));
  for (const auto& [experiment, cycles] : truth_of(truth)) {
    // Without EMG no cycle is confirmed; otherwise every trial checks some.
    EXPECT_EQ(cycles > 0, c.form != "jaw-only") << "experiment " << experiment;
  }
  expect_counts_match_truth(read_file(dir.file("sim.txt")), truth,
                            "seed " + c.seed + ", " + c.form + ", " + c.rate + " Hz");
}

INSTANTIATE_TEST_SUITE_P(
    SeedsFormsRates, SimulateTruthTest,
    ::testing::Values(TruthCase{"11", "five-point", "1000", {"--scale", "0.25"}},
                      TruthCase{"12", "three-point-4ch", "200", {"--scale", "1"}},
                      TruthCase{"13", "three-point-2ch", "500", {"--samples", "40000"}},
                      TruthCase{"14", "five-point", "50", {"--scale", "3"}},
                      TruthCase{"15", "three-point-4ch", "777", {"--scale", "0.3"}},
                      TruthCase{"16", "three-point-2ch", "100", {"--scale", "2"}},
                      TruthCase{"17", "jaw-only", "250", {"--scale", "0.5"}}),
    [](const ::testing::TestParamInfo<TruthCase>& case_info) {
      return "seed" + case_info.param.seed;
    });

// A data file as written, in its own units: positions in 1/100 mm, EMG in 1/10 uV.
struct WrittenSample {
  long long time = 0;
  bool task = false;                // Aux1
  std::vector<long long> position;  // x y z of each point
  std::vector<long long> emg;
};

struct WrittenFile {
  int points = 0;
  std::vector<long long> calibration;
  std::vector<std::vector<WrittenSample>> experiments;
};

long long hundredths(const std::string& word) {  // "-12.34" -> -1234, "5.6" -> 56
  std::string digits;
  for (char c : word)
    if (c != '.') digits += c;
  return std::stoll(digits);
}

WrittenFile parse_written(const std::string& text) {
  WrittenFile file;
  const std::vector<std::string> lines = lines_of(text);
  for (std::size_t i = 5; i < lines.size(); ++i) {
    const std::vector<std::string> w = words_of(lines[i]);
    if (i == 5) {
      for (std::size_t k = 1; k < w.size(); ++k) file.calibration.push_back(hundredths(w[k]));
      file.points = static_cast<int>(file.calibration.size() / 3);
      continue;
    }
    WrittenSample sample;
    sample.time = std::stoll(w[0]);
    for (int k = 0; k < 3 * file.points; ++k) sample.position.push_back(hundredths(w[1 + k]));
    sample.task = w[1 + 3 * file.points] == "1";
    for (std::size_t k = 1 + 3 * file.points + 3; k < w.size(); ++k) {
      sample.emg.push_back(hundredths(w[k]));
    }
    if (sample.time == 0) file.experiments.emplace_back();
    file.experiments.back().push_back(sample);
  }
  return file;
}

using Vec3 = std::array<double, 3>;

double dot3(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 minus3(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 scaled3(double f, const Vec3& a) { return {f * a[0], f * a[1], f * a[2]}; }
Vec3 unit3(const Vec3& a) { return scaled3(1 / std::sqrt(dot3(a, a)), a); }

// Point `p` of a position list, in mm.
Vec3 point_of(const std::vector<long long>& position, int p) {
  return {position[3 * p] / 100.0, position[3 * p + 1] / 100.0, position[3 * p + 2] / 100.0};
}

// The incisal point's displacement from the calibration, mm.
Vec3 incisal_of(const WrittenFile& f, const WrittenSample& s) {
  return minus3(point_of(s.position, 2), point_of(f.calibration, 2));
}
// Its square in (1/100 mm)^2, exact: equal distances compare equal.
long long squared_of(const WrittenFile& f, const WrittenSample& s) {
  long long sum = 0;
  for (int a = 6; a < 9; ++a)
    sum += (s.position[a] - f.calibration[a]) * (s.position[a] - f.calibration[a]);
  return sum;
}
double distance_of(const WrittenFile& f, const WrittenSample& s) {
  const Vec3 d = incisal_of(f, s);
  return std::sqrt(dot3(d, d));
}

// The jaw frame an evaluator builds: lateral from the calibrated left to the right point
// (+ toward the subject's right), opening along the incisal displacement at the widest opening
// of experiments 3 and 4, without its lateral part.
struct Frame {
  Vec3 lateral, opening;
};

Frame frame_of(const WrittenFile& f) {
  Frame frame;
  frame.lateral = unit3(minus3(point_of(f.calibration, 0), point_of(f.calibration, 1)));
  Vec3 widest{0, 0, 0};
  for (int k : {2, 3}) {
    for (const WrittenSample& s : f.experiments[k]) {
      const Vec3 d = incisal_of(f, s);
      if (dot3(d, d) >= dot3(widest, widest)) widest = d;
    }
  }
  frame.opening = unit3(minus3(widest, scaled3(dot3(widest, frame.lateral), frame.lateral)));
  return frame;
}

struct Simulated {
  std::string data, truth;
  WrittenFile file;
};

Simulated simulate_case(const TruthCase& c) {
  TempDir dir;
  std::vector<std::string> args = {"--seed", c.seed,  "--form",  c.form,    "--rate",
                                   c.rate,   "--out", "sim.txt", "--truth", "sim.truth"};
  args.insert(args.end(), c.size.begin(), c.size.end());
  const CommandResult run = simulate(args, dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  Simulated sim;
  sim.data = read_file(dir.file("sim.txt"));
  sim.truth = read_file(dir.file("sim.truth"));
  sim.file = parse_written(sim.data);
  return sim;
}

class SimulateJawTest : public ::testing::TestWithParam<TruthCase> {};

TEST_P(SimulateJawTest, TheMandibleMovesAsOneRigidBody) {
  const Simulated sim = simulate_case(GetParam());
  const WrittenFile& f = sim.file;
  ASSERT_EQ(f.experiments.size(), 18u);
  // Every distance between two tracked points stays what the calibration makes it, up to the
  // rounding to 0.01 mm (at most 0.035 mm between two samples) and the tracker's noise.
  for (int p = 0; p < f.points; ++p) {
    for (int q = p + 1; q < f.points; ++q) {
      const Vec3 at_rest = minus3(point_of(f.calibration, p), point_of(f.calibration, q));
      double low = std::sqrt(dot3(at_rest, at_rest)), high = low;
      for (const auto& experiment : f.experiments) {
        for (const WrittenSample& s : experiment) {
          const Vec3 d = minus3(point_of(s.position, p), point_of(s.position, q));
          low = std::fmin(low, std::sqrt(dot3(d, d)));
          high = std::fmax(high, std::sqrt(dot3(d, d)));
        }
      }
      EXPECT_LT(high - low, 0.05) << "points " << p + 1 << " and " << q + 1;
    }
  }
  // The condyles mostly turn: in chewing they glide a few mm at most, in the maximal openings
  // far less than the incisal point moves; the incisal displacement itself is the script's.
  for (int k : {2, 3, 12, 13, 14, 15, 16, 17}) {
    double incisal = 0, condyle = 0;
    for (const WrittenSample& s : f.experiments[k]) {
      incisal = std::fmax(incisal, distance_of(f, s));
      for (int p : {0, 1}) {
        const Vec3 d = minus3(point_of(s.position, p), point_of(f.calibration, p));
        condyle = std::fmax(condyle, std::sqrt(dot3(d, d)));
      }
    }
    EXPECT_LT(condyle, k < 12 ? 0.3 * incisal : 4.0) << "experiment " << k + 1;
    EXPECT_GT(condyle, k < 12 ? 0.1 * incisal : 0.5) << "experiment " << k + 1;
  }
}

TEST_P(SimulateJawTest, StrokeLinesMarkEveryStrokeAsWritten) {
  const Simulated sim = simulate_case(GetParam());
  const WrittenFile& f = sim.file;
  const Frame frame = frame_of(f);
  const std::map<int, int> cycles = truth_of(sim.truth);
  const std::vector<TruthStroke> strokes = strokes_of(sim.truth);
  // The counts come first, so readers of "EXPERIMENT CYCLES" pairs stop at the first stroke;
  // six border movements and two clenches close the file.
  const std::vector<std::string> lines = lines_of(sim.truth);
  ASSERT_EQ(lines.size(), 6 + strokes.size() + 8);
  for (std::size_t i = 6; i < lines.size() - 8; ++i) EXPECT_EQ(lines[i].rfind("stroke ", 0), 0u);

  for (int experiment = 13; experiment <= 18; ++experiment) {
    const std::vector<WrittenSample>& samples = f.experiments[experiment - 1];
    std::map<long long, std::size_t> at;  // time stamp -> sample
    for (std::size_t i = 0; i < samples.size(); ++i) at[samples[i].time] = i;
    std::vector<TruthStroke> mine;
    for (const TruthStroke& s : strokes) {
      if (s.experiment == experiment) mine.push_back(s);
    }
    int counted = 0;
    std::size_t previous_occlusion = 0;
    for (std::size_t n = 0; n < mine.size(); ++n) {
      const TruthStroke& s = mine[n];
      const std::string what =
          "experiment " + std::to_string(experiment) + " stroke at " + std::to_string(s.peak);
      for (long long ms : {s.open, s.peak, s.occlusion}) {
        ASSERT_EQ(at.count(ms), 1u) << what << ": no sample at " << ms;
      }
      ASSERT_LE(s.open, s.peak) << what;
      ASSERT_LT(s.peak, s.occlusion) << what;
      const std::size_t open = at[s.open], peak = at[s.peak], occlusion = at[s.occlusion];
      ASSERT_GE(open, previous_occlusion) << what << ": before the previous occlusion";
      const std::size_t next_open = n + 1 < mine.size() ? at[mine[n + 1].open] : samples.size() - 1;
      // The peak is the last sample of the largest distance up to the occlusion; on the way up
      // the jaw closes by at most 30 % of the opening so far (a double peak's dip), ...
      const long long top = squared_of(f, samples[peak]);
      const double base = distance_of(f, samples[open]);
      double highest = base, lowest = distance_of(f, samples[peak]);
      for (std::size_t i = open; i <= next_open; ++i) {
        const long long d = squared_of(f, samples[i]);
        const double mm = distance_of(f, samples[i]);
        if (i < peak) {
          EXPECT_LE(d, top) << what << " sample " << i;
        } else if (i > peak && i <= occlusion) {
          EXPECT_LT(d, top) << what << " sample " << i;
        }
        if (i <= peak) highest = std::fmax(highest, mm);
        if (i <= peak) {
          EXPECT_LE(highest - mm, 0.3 * (highest - base) + 0.05) << what << " sample " << i;
        }
        if (i >= peak) lowest = std::fmin(lowest, mm);
      }
      // ... and closes by 55 % of it or more before the next opening: a held stroke onto the
      // bolus above the threshold, the others to 1 mm or less.
      EXPECT_GE(distance_of(f, samples[peak]) - lowest,
                0.55 * (distance_of(f, samples[peak]) - base))
          << what;
      if (s.shape == "held") {
        EXPECT_GT(lowest, 3.5) << what;
      } else {
        EXPECT_LT(lowest, 1.1) << what;
      }
      const Vec3 rise = minus3(incisal_of(f, samples[peak]), incisal_of(f, samples[open]));
      EXPECT_NEAR(s.vertical, dot3(rise, frame.opening), 0.01) << what;
      if (s.chewing) {
        EXPECT_GE(s.vertical, 7.5) << what;  // the counted cycles open 8 mm or more
      }
      // chew_eval's cycle runs from a held stroke's peak through the next stroke: one count.
      counted += s.chewing && s.shape != "held";
      previous_occlusion = occlusion;
    }
    EXPECT_EQ(counted, cycles.at(experiment)) << "experiment " << experiment;
    ASSERT_FALSE(mine.empty());
  }
}

TEST_P(SimulateJawTest, EveryChewingStrokeSwingsToItsWorkingSide) {
  const Simulated sim = simulate_case(GetParam());
  const WrittenFile& f = sim.file;
  const Frame frame = frame_of(f);
  const std::vector<TruthStroke> strokes = strokes_of(sim.truth);
  // The clench of experiment 1 gives each masseter's scale (mean square of its raw EMG).
  double clench[2] = {};
  for (const WrittenSample& s : f.experiments[0]) {
    for (int c = 0; c < 2; ++c) clench[c] += static_cast<double>(s.emg[c]) * s.emg[c];
  }
  int strokes_of_trial[18] = {}, on_side[18] = {}, switches[18] = {}, emg_agrees = 0, chewing = 0;
  char last_side[18] = {};
  for (const TruthStroke& s : strokes) {
    const int k = s.experiment - 1;
    const std::vector<WrittenSample>& samples = f.experiments[k];
    std::size_t start = 0, peak = 0, close = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      if (samples[i].time == s.open) start = i;
      if (samples[i].time == s.peak) peak = i;
      if (samples[i].time == s.occlusion) close = i;
    }
    const std::string what =
        "experiment " + std::to_string(s.experiment) + " stroke at " + std::to_string(s.peak);
    const double toward = s.side == 'R' ? 1 : -1;  // the lateral axis points to the right
    const Vec3 origin = incisal_of(f, samples[start]);
    // A normal stroke opens near the midline and swings out while closing, a reversed one opens
    // out and closes near the midline: its loop in the frontal plane runs the other way.
    double opening_sway = 0, closing_swing = 0, closing_sway = 0, area = 0, x0 = 0, y0 = 0;
    for (std::size_t i = start; i <= close + 1; ++i) {
      const Vec3 p = minus3(incisal_of(f, samples[i <= close ? i : start]), origin);
      const double x = dot3(p, frame.lateral), y = dot3(p, frame.opening);
      if (i <= peak) opening_sway = std::fmax(opening_sway, std::fabs(x));
      if (i >= peak && i <= close) closing_swing = std::fmax(closing_swing, toward * x);
      if (i >= peak && i <= close) closing_sway = std::fmax(closing_sway, -toward * x);
      if (i > start) area += (x0 * y - x * y0) / 2;
      x0 = x;
      y0 = y;
    }
    EXPECT_LE(s.reversed ? closing_sway : opening_sway, 0.4) << what;
    EXPECT_GE(closing_swing, 1.5) << what;
    EXPECT_LE(closing_swing, 5.0) << what;
    EXPECT_GE(area * -toward * (s.reversed ? -1 : 1), 1) << what;
    if (!s.chewing) continue;
    // The working masseter works harder, each against its own clench: over the closing and the
    // occlusal pause up to the next stroke's peak.
    const std::size_t end = std::min(samples.size(), close + (close - peak));
    double burst[2] = {};
    for (std::size_t i = peak; i < end; ++i) {
      for (int c = 0; c < 2; ++c)
        burst[c] += static_cast<double>(samples[i].emg[c]) * samples[i].emg[c];
    }
    const char louder = burst[0] / clench[0] > burst[1] / clench[1] ? 'R' : 'L';
    emg_agrees += louder == s.side;
    ++chewing;
    ++strokes_of_trial[k];
    on_side[k] += s.side == (k < 14 ? last_side[k] : k < 16 ? 'R' : 'L');
    if (k < 14 && last_side[k] != 0 && s.side != last_side[k]) ++switches[k];
    last_side[k] = s.side;
  }
  // The balancing side reaches up to 80 % of the working side's activation, and at low rates a
  // burst holds a few samples of noise: nine strokes in ten are clear.
  EXPECT_GE(emg_agrees, 0.9 * chewing) << emg_agrees << " of " << chewing;
  // Right-side and left-side chewing keeps its side; free chewing changes it now and then.
  for (int k = 14; k < 18; ++k) {
    EXPECT_GE(on_side[k], 0.9 * strokes_of_trial[k]) << "experiment " << k + 1;
  }
  EXPECT_GE(switches[12] + switches[13], 1);
  EXPECT_LE(switches[12] + switches[13], 0.5 * (strokes_of_trial[12] + strokes_of_trial[13]));
}

TEST_P(SimulateJawTest, MovementLinesGiveTheBorderMovementsAsWritten) {
  const Simulated sim = simulate_case(GetParam());
  const Frame frame = frame_of(sim.file);
  const Vec3 &l = frame.lateral, &v = frame.opening;
  const Vec3 a{l[1] * v[2] - l[2] * v[1], l[2] * v[0] - l[0] * v[2], l[0] * v[1] - l[1] * v[0]};
  const std::vector<std::string> protocol =
      lines_of(read_file(source_path("examples/protocol.csv")));
  const std::map<int, std::vector<std::string>> movements = keyed_lines(sim.truth, "movement");
  ASSERT_EQ(movements.size(), 6u);
  for (const auto& [experiment, w] : movements) {
    ASSERT_EQ(w.size(), 6u);
    const std::string& role = w[0];
    EXPECT_EQ(protocol.at(experiment).substr(protocol[experiment].rfind(',') + 1), role);
    std::vector<Vec3> p;  // x, y, z
    for (const WrittenSample& s : sim.file.experiments[experiment - 1]) {
      const Vec3 d = incisal_of(sim.file, s);
      p.push_back({dot3(d, l), dot3(d, v), dot3(d, a)});
    }
    // The first sample of the largest `f` among p[0, end).
    const auto first_largest = [&](std::size_t end, auto f) {
      std::size_t best = 0;
      for (std::size_t i = 1; i < end; ++i) best = f(p[i]) > f(p[best]) ? i : best;
      return best;
    };
    const double sign = role == "laterotrusion_left" ? -1 : 1;
    const bool one_way = role.rfind("laterotrusion", 0) == 0;
    const auto sideways = [&](const Vec3& q) { return one_way ? sign * q[0] : std::fabs(q[0]); };
    const auto wide = [](const Vec3& q) { return std::fabs(q[0]); };
    const std::size_t top = first_largest(p.size(), [](const Vec3& q) { return q[1]; });
    const double expected[] = {p[top][1], p[first_largest(p.size(), sideways)][0],
                               p[first_largest(p.size(), [](const Vec3& q) { return q[2]; })][2],
                               p[first_largest(top + 1, wide)][0], p[top][0]};
    // The plan and the written samples differ by the tracker's noise and the rounding.
    for (int i = 0; i < 5; ++i) {
      if (i >= 3 && role != "max_opening") {
        EXPECT_EQ(w[1 + i], "-") << "experiment " << experiment;
      } else {
        EXPECT_NEAR(std::stod(w[1 + i]), expected[i], 0.1) << "experiment " << experiment;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    FormsRates, SimulateJawTest,
    ::testing::Values(TruthCase{"21", "five-point", "1000", {"--scale", "0.3"}},
                      TruthCase{"22", "three-point-4ch", "200", {"--scale", "1"}},
                      TruthCase{"26", "three-point-2ch", "50", {"--scale", "1.5"}},
                      TruthCase{"24", "five-point", "333", {"--samples", "60000"}},
                      TruthCase{"25", "three-point-2ch", "777", {"--scale", "0.4"}}),
    [](const ::testing::TestParamInfo<TruthCase>& case_info) {
      return "seed" + case_info.param.seed;
    });

TEST(SimulateTest, SomeMaximalOpeningsSwerve) {
  // A swerve departs well beyond where the widest opening stays; without one the two are alike.
  TempDir dir;
  int swerving = 0, straight = 0;
  for (int seed = 1; seed <= 8; ++seed) {
    ASSERT_EQ(simulate({"--seed", std::to_string(seed), "--rate", "100", "--samples", "4000",
                        "--out", "r.txt", "--truth", "r.truth"},
                       dir.path())
                  .status,
              0);
    for (const auto& [experiment, w] : keyed_lines(read_file(dir.file("r.truth")), "movement")) {
      swerving +=
          w[0] == "max_opening" && std::fabs(std::stod(w[4])) > std::fabs(std::stod(w[5])) + 1;
      straight += w[0] == "max_opening" && w[4] == w[5];
    }
  }
  EXPECT_GE(swerving, 2);
  EXPECT_GE(straight, 2);
}

TEST(SimulateTest, ClenchLevelsAreTheWrittenEmgRms) {
  // A long recording: over a clench's 8 s middle the EMG's RMS scatters about its level by 1.3 %.
  TempDir dir;
  ASSERT_EQ(simulate({"--seed", "1", "--form", "three-point-4ch", "--rate", "1000", "--samples",
                      "500000", "--out", "r.txt", "--truth", "r.truth"},
                     dir.path())
                .status,
            0);
  const WrittenFile f = parse_written(read_file(dir.file("r.txt")));
  for (const auto& [experiment, levels] : keyed_lines(read_file(dir.file("r.truth")), "clench")) {
    std::vector<const WrittenSample*> task;  // Aux1: the clench, its ramps in the outer tenths
    for (const WrittenSample& s : f.experiments[experiment - 1])
      if (s.task) task.push_back(&s);
    ASSERT_GT(task.size(), 9000u);
    const std::size_t margin = task.size() / 10, n = task.size() - 2 * margin;
    for (int c = 0; c < 4; ++c) {
      double sum = 0;
      for (std::size_t i = margin; i < margin + n; ++i) sum += std::pow(task[i]->emg[c] / 10.0, 2);
      EXPECT_NEAR(std::sqrt(sum / n) / std::stod(levels[c]), 1, 0.03)
          << "clench " << experiment << " channel " << c + 1;
    }
  }
}

// The shipped examples, with the commands that made them.
struct Example {
  std::string name;
  std::vector<std::string> args;
};

const std::vector<Example>& examples() {
  static const std::vector<Example> list = {
      {"subject01", {"--seed", "1", "--form", "five-point", "--rate", "200", "--scale", "0.5"}},
      {"subject02", {"--seed", "2", "--form", "three-point-4ch", "--rate", "100"}},
      {"subject03",
       {"--seed", "3", "--form", "three-point-2ch", "--rate", "500", "--scale", "0.3"}},
  };
  return list;
}

TEST(SimulateExamplesTest, ShippedExamplesAreWhatTheirCommandsWrite) {
  TempDir dir;
  for (const Example& e : examples()) {
    std::vector<std::string> args = e.args;
    args.insert(args.end(), {"--out", "rec.txt", "--truth", "rec.truth"});
    ASSERT_EQ(simulate(args, dir.path()).status, 0) << e.name;
    const std::string data = read_file(source_path("examples/" + e.name + ".txt"));
    EXPECT_LE(data.size(), 2u * 1024 * 1024) << e.name;
    EXPECT_TRUE(data == read_file(dir.file("rec.txt"))) << e.name << ".txt differs";
    EXPECT_EQ(read_file(source_path("examples/" + e.name + ".truth")),
              read_file(dir.file("rec.truth")))
        << e.name;
  }
}

TEST(SimulateExamplesTest, ReportCountsTheExamplesTrueChewingCycles) {
  for (const Example& e : examples()) {
    expect_counts_match_truth(read_file(source_path("examples/" + e.name + ".txt")),
                              read_file(source_path("examples/" + e.name + ".truth")), e.name);
    if (IsSkipped()) return;
  }
}

}  // namespace
