// EMG conditioning against the straightforward implementation that sums every window afresh:
// the whole store must come out identical, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "analysis/emg.h"
#include "analysis/evaluation.h"
#include "pipeline/pipeline.h"
#include "protocol/protocol.h"
#include "recording/read_data.h"
#include "recording/store.h"
#include "reference/emg_reference.h"
#include "reference/read_reference.h"
#include "reference/snapshot.h"
#include "report/output.h"
#include "support/test_support.h"

namespace {

struct EmgSettings {
  long long rms, mvc, nl;
  long double threshold;
};
const EmgSettings kSettings[] = {{50, 500, 100, static_cast<long double>(0.03)},
                                 {0, 0, 0, 0},
                                 {1, 3, 2, 0.5L},
                                 {200, 1000, 300, 0.1L},
                                 {-5, -1, -3, 0.03L}};

// Runs both implementations on the store as `fill` leaves it and compares the results.
void expect_same_conditioning(const std::function<void()>& fill, const std::string& what) {
  for (const EmgSettings& s : kSettings) {
    fill();
    preprocessing_emg_reference(s.rms, s.mvc, s.nl, s.threshold);
    StoreSnapshot expected = take_snapshot();
    fill();
    preprocessing_emg(s.rms, s.mvc, s.nl, s.threshold);
    EXPECT_EQ(first_difference(expected, take_snapshot()), "")
        << what << ", rms " << s.rms << " mvc " << s.mvc << " nl " << s.nl;
  }
}

// Experiments of the given lengths, samples `step(i)` ms apart, channel c of sample i given by
// value(c, i).
void fill_store(const std::vector<int>& lengths, const std::function<long long(int)>& step,
                const std::function<long double(int, int)>& value) {
  reset_store();
  int total = 0;
  for (int length : lengths) total += length;
  size_samples(total);
  int i = 0;
  for (int length : lengths) {
    tracks[no_tracks].first_entry = i;
    long long t = 0;
    for (int k = 0; k < length; ++k, ++i) {
      samples.time[i] = t;
      t += step(i);
      samples.channel[0][i] = value(1, i);
      samples.channel[1][i] = value(2, i);
      samples.channel[2][i] = value(3, i);
      samples.channel[3][i] = value(4, i);
    }
    tracks[no_tracks++].last_entry = i - 1;
  }
  // A channel of +0 alone keeps empty columns, as the reader leaves it.
  const long double zero = 0;
  for (int c = 0; c < kChannels; ++c) {
    std::vector<long double>& column = samples.channel[c];
    if (std::all_of(column.begin(), column.end(),
                    [&](long double x) { return std::memcmp(&x, &zero, 10) == 0; })) {
      column.clear();
    }
  }
}

TEST(FastEmgTest, SyntheticSignalsAgreeWithTheReference) {
  const std::vector<int> protocol = {700, 900, 300, 300,  50,   1,    2,   120, 400,
                                     60,  80,  90,  1500, 1200, 1300, 600, 700, 800};
  const auto ms = [](int) { return 1LL; };
  struct Case {
    const char* name;
    std::function<long long(int)> step;
    std::function<long double(int, int)> value;
  } cases[] = {
      {"noise with bursts", ms,
       [](int c, int i) {
         std::mt19937 r(static_cast<unsigned>(i * 7 + c));
         long double x = static_cast<long double>(r() % 20001) / 100 - 100;
         return (i / 200) % 3 == 0 ? x * 4 : x / 20;
       }},
      {"two channels, temporales zero", ms,
       [](int c, int i) { return c > 2 ? 0.0L : std::sin(i * 0.37L) * 50 * c; }},
      {"constant and negative zero", ms,
       [](int c, int) {
         return c == 1 ? 3.5L : c == 2 ? -0.0L : c == 3 ? -2.0L : 0.0L;
       }},
      {"uneven spacing and repeated stamps", [](int i) { return static_cast<long long>(i % 4); },
       [](int c, int i) { return static_cast<long double>((i * c) % 97) - 40; }},
      {"two channels, uneven spacing", [](int i) { return static_cast<long long>((i * 7) % 5); },
       [](int c, int i) { return c > 2 ? 0.0L : static_cast<long double>((i * c) % 89) - 30; }},
      {"sparse samples", [](int) { return 40LL; },
       [](int c, int i) { return static_cast<long double>((i * 31 + c) % 13); }},
      {"not-a-number and infinite values", ms,
       [](int c, int i) {
         return i == 450 && c == 1 ? NAN : i == 2000 && c == 3 ? INFINITY : 1.0L + i % 5;
       }},
      {"huge and tiny", ms,
       [](int c, int i) { return i % 500 == 7 ? 1e2000L : 1e-2000L * (1 + (i + c) % 3); }},
      // Signals whose windows are decided without arithmetic on them, or by counting.
      {"not-a-number of several kinds", ms,
       [](int c, int i) {
         if (c == 1) return static_cast<long double>(NAN);
         if (c == 2) {
           const long double kinds[] = {-std::nanl(""), std::nanl("5"), -std::nanl("9"),
                                        std::numeric_limits<long double>::signaling_NaN()};
           return i % 37 < 4 ? kinds[(i / 37) % 4] : 2.0L;
         }
         return c == 3 ? (i % 300 == 0 ? INFINITY : 1.5L) : (i % 211 == 0 ? NAN : 0.25L);
       }},
      {"infinite everywhere, or of both signs", ms,
       [](int c, int i) {
         return c == 1 ? INFINITY : c == 2 ? (i % 2 ? -INFINITY : INFINITY) : 3.0L + i % 4;
       }},
      {"denormal, and squares at the edge of the denormal range", ms,
       [](int c, int i) {
         const long double edge[] = {0x1p-8223L, std::nextafter(0x1p-8223L, 0.0L), 0x1.8p-8223L,
                                     0x1p-8222L, -0x1p-8224L};
         return c == 1 ? 0x1p-16440L * (i % 3) : c == 2 ? 1e-2470L : c == 3 ? edge[i % 5] : 1.0L;
       }},
      {"finite values whose squares overflow to infinity", ms,
       [](int c, int i) {
         return c == 1 ? (i % 500 == 7 ? 1e3000L : 2.0L) : c == 2 ? -1e2470L : 1.0L + i % 3;
       }},
      {"constant and clipped", ms,
       [](int c, int i) {
         const long double wave = std::sin(i * 0.05L) * 60;
         return c == 1 ? 5.5L : c == 2 ? std::max(-20.0L, std::min(20.0L, wave)) : wave;
       }},
  };
  for (const Case& c : cases) {
    expect_same_conditioning([&] { fill_store(protocol, c.step, c.value); }, c.name);
  }
}

TEST(FastEmgTest, FallingAndExtremeTimeStampsAgreeWithTheReference) {
  const auto value = [](int c, int i) { return static_cast<long double>((i * 13 + c) % 50); };
  expect_same_conditioning(
      [&] {
        fill_store(
            {600, 600}, [](int i) { return i % 50 == 0 ? -30LL : 1LL; }, value);
      },
      "falling time stamps");
  expect_same_conditioning(
      [&] {
        fill_store(
            {300}, [](int) { return 1LL; }, value);
        samples.time[150] = 9223372036854775807LL;
        samples.time[151] = -9223372036854775807LL - 1;
      },
      "64-bit extremes");
}

TEST(FastEmgTest, ShippedRecordingsAgreeWithTheReference) {
  int count = 0;
  for (const auto& item : std::filesystem::directory_iterator(source_path("examples"))) {
    const std::string path = item.path().string();
    if (item.path().extension() != ".txt" || path.find("_output") != std::string::npos) continue;
    expect_same_conditioning(
        [&] {
          reset_store();
          ASSERT_EQ(read_data(path.c_str()).status, ReadStatus::ok);
        },
        path);
    ++count;
  }
  EXPECT_GT(count, 0);
}

// One whole run, straightforward or fast, with the report written to memory.
std::string whole_run(const std::string& path, const EmgSettings& s, bool fast) {
  reset_store();
  ReadResult read = fast ? read_data(path.c_str()) : read_data_reference(path.c_str());
  EXPECT_EQ(read.status, ReadStatus::ok) << path;
  Settings settings;
  settings.rms_time = s.rms, settings.mvc_time = s.mvc, settings.nl_time = s.nl;
  settings.emg_threshold = s.threshold;
  if (fast) {
    run_analysis(settings);
  } else {
    preprocessing_emg_reference(s.rms, s.mvc, s.nl, s.threshold);
    run_analysis_after_emg(settings);
  }
  return capture([&](std::FILE* out) {
    write_report(out, settings, evaluate(s.threshold, settings.dist_threshold));
  });
}

TEST(FastEmgTest, WholeRunsOnSimulatedRecordingsAgreeWithTheReference) {
  TempDir dir;
  const std::string capacity_like = dir.file("long.txt");
  ASSERT_EQ(run_program(CHEW_SIMULATE_PATH,
                        {"--seed", "9", "--form", "five-point", "--rate", "1000", "--samples",
                         "60000", "--out", capacity_like},
                        dir.path())
                .status,
            0);
  std::vector<std::string> paths = {capacity_like};
  for (const char* name : {"subject01.txt", "subject02.txt", "subject03.txt"})
    paths.push_back(source_path(std::string("examples/") + name));
  for (const std::string& path : paths) {
    for (int k : {0, 2, 3}) {
      if (path == capacity_like && k != 0) continue;  // the long recording with the defaults
      const EmgSettings& s = kSettings[k];
      const std::string expected = whole_run(path, s, false);
      StoreSnapshot reference = take_snapshot();
      EXPECT_EQ(whole_run(path, s, true), expected) << path;
      EXPECT_EQ(first_difference(reference, take_snapshot()), "") << path;
    }
  }
  reset_store();
}

// A recording as its header lines and its experiments' sample lines, each line split into its
// fields, so that variants can be written from it.
struct SplitRecording {
  std::vector<std::string> head;
  std::vector<std::vector<std::vector<std::string>>> experiments;
};

SplitRecording split_recording(const std::string& text) {
  SplitRecording r;
  for (const std::string& line : lines_of(text)) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(' ', at)) != std::string::npos) {
      const std::size_t end = line.find(' ', at);
      fields.push_back(line.substr(at, end - at));
      at = end;
    }
    if (fields.empty() || !std::isdigit(static_cast<unsigned char>(fields[0][0]))) {
      r.head.push_back(line);
      continue;
    }
    if (fields[0] == "0" || r.experiments.empty()) r.experiments.emplace_back();
    r.experiments.back().push_back(fields);
  }
  return r;
}

std::string join(const SplitRecording& r, const std::vector<std::string>& before = {}) {
  std::string text;
  for (const std::string& line : r.head) text += line + "\n";
  for (const std::string& line : before) text += line + "\n";
  for (const auto& experiment : r.experiments)
    for (const auto& fields : experiment) {
      for (std::size_t k = 0; k < fields.size(); ++k) text += (k ? " " : "") + fields[k];
      text += "\n";
    }
  return text;
}

// chew_eval conditions each experiment's EMG as the reader finishes it, keeping only some
// experiments' values; the tracks, run-wide values and burst integrals must be those the
// straightforward conditioning gives the whole recording once it is read.
TEST(FastEmgTest, ConditioningAsTheReaderGoesAgreesWithTheWholeRecording) {
  TempDir dir;
  const std::string simulated = dir.file("simulated.txt");
  ASSERT_EQ(run_program(CHEW_SIMULATE_PATH,
                        {"--seed", "4", "--form", "three-point-4ch", "--samples", "20000", "--out",
                         simulated},
                        dir.path())
                .status,
            0);
  const SplitRecording whole = split_recording(read_file(simulated));
  ASSERT_EQ(whole.experiments.size(), 18u);
  std::vector<std::pair<std::string, std::string>> variants;  // name, text
  variants.push_back({"whole", join(whole)});
  for (std::size_t k : {1, 2, 3}) {
    SplitRecording first = whole;
    first.experiments.resize(k);
    variants.push_back({"first " + std::to_string(k), join(first)});
  }
  // Samples before the first experiment, which belong to none.
  std::vector<std::string> before;
  for (int i = 1; i < 40; ++i)
    before.push_back(std::to_string(i) + " 1 2 3 4 5 6 7 8 9 0 0 0 5 6 7 8");
  variants.push_back({"samples before", join(whole, before)});
  // Channel 4 +0 up to experiment 5 and channel 3 everywhere but experiment 9: their columns
  // come late, in the place later experiments share.
  SplitRecording late = whole;
  for (std::size_t k = 0; k < late.experiments.size(); ++k)
    for (auto& fields : late.experiments[k]) {
      if (k < 5) fields[fields.size() - 1] = "0";
      if (k != 9) fields[fields.size() - 2] = "0";
    }
  variants.push_back({"channels come late", join(late)});
  // Experiments longer than every one before them: the shared place grows.
  SplitRecording longer = whole;
  for (std::size_t k : {3, 8}) {
    auto& experiment = longer.experiments[k];
    const std::size_t n = experiment.size();
    long long t = std::stoll(experiment.back()[0]);
    for (int copy = 0; copy < 4; ++copy)
      for (std::size_t i = 1; i < n; ++i) {
        experiment.push_back(experiment[i]);
        experiment.back()[0] = std::to_string(++t);
      }
  }
  variants.push_back({"longer experiments", join(longer)});
  // A calibration line after experiment 3: the reader reads the file a second time.
  SplitRecording before_it = whole, after_it;
  before_it.experiments.resize(3);
  after_it.experiments.assign(whole.experiments.begin() + 3, whole.experiments.end());
  variants.push_back({"calibrated again",
                      join(before_it) + "Calibr -51 36 -88 48 37 -88 1 1 -1\n" + join(after_it)});
  // The run-wide MVC from the second experiment, where the first's bursts must wait for it.
  SplitRecording swapped = whole;
  std::swap(swapped.experiments[0], swapped.experiments[1]);
  variants.push_back({"MVC experiments swapped", join(swapped)});
  // Values that are not finite, in an MVC experiment and later; a time stamp that falls.
  SplitRecording odd = whole;
  odd.experiments[0][10][13] = "nan";
  odd.experiments[4][100][14] = "inf";
  odd.experiments[13][50][15] = "nan";
  odd.experiments[6][30][0] = "3";
  variants.push_back({"not finite, falling", join(odd)});

  for (const auto& [name, text] : variants) {
    const std::string path = dir.file("variant.txt");
    write_file(path, text);
    for (const EmgSettings& s : kSettings) {
      const std::string what = name + ", rms " + std::to_string(s.rms);
      reset_store();
      ASSERT_EQ(read_data(path.c_str()).status, ReadStatus::ok) << what;
      preprocessing_emg_reference(s.rms, s.mvc, s.nl, s.threshold);
      StoreSnapshot expected = take_snapshot();
      reset_store();
      EmgConditioning conditioning(s.rms, s.mvc, s.nl, s.threshold);
      int next = 0;  // experiments come once each, in order
      ASSERT_EQ(read_data(path.c_str(), SampleDetail::report,
                          [&](int t) {
                            EXPECT_EQ(t, next++) << what;
                            conditioning.experiment(t);
                          })
                    .status,
                ReadStatus::ok)
          << what;
      EXPECT_EQ(next, no_tracks) << what;
      conditioning.finish();
      StoreSnapshot actual = take_snapshot();
      EXPECT_FALSE(actual.samples.channels_kept);
      // The channel columns are all that differ: they hold only some experiments.
      for (StoreSnapshot* snapshot : {&expected, &actual}) {
        for (std::vector<long double>& column : snapshot->samples.channel) column.clear();
        snapshot->samples.channels_kept = true;
      }
      EXPECT_EQ(first_difference(expected, actual), "") << what;
    }
  }
  reset_store();
}

}  // namespace

namespace {

// Burst integrals kept as stretches, read back sample by sample and as the largest over a range,
// against the same reads of a plain column: values of every kind, gaps of +0 between them, and
// starting values below, at and above +0.
TEST(BurstStretchesTest, ReadBackAsTheColumnTheyWereMadeFrom) {
  std::mt19937 random(17);
  const long double kinds[] = {0.0L,
                               -0.0L,
                               5.5L,
                               5.5L,
                               7.25L,
                               -3.0L,
                               std::numeric_limits<long double>::quiet_NaN(),
                               std::numeric_limits<long double>::infinity()};
  for (int round = 0; round < 200; ++round) {
    reset_store();
    const int n = 1 + static_cast<int>(random() % 60);
    size_samples(n);
    std::vector<long double> column(static_cast<std::size_t>(n));
    for (long double& v : column) v = kinds[random() % (random() % 3 == 0 ? 8 : 2)];
    samples.bursts[0] = burst_stretches(column);
    for (int i = 0; i < n; ++i) {
      const long double got = burst_value(0, i), want = column[static_cast<std::size_t>(i)];
      ASSERT_EQ(std::memcmp(&got, &want, 10), 0) << "round " << round << ", sample " << i;
    }
    for (int k = 0; k < 20; ++k) {
      // Empty ranges too (to = from - 1), as a phase that closes right after it opens gives.
      const int from = static_cast<int>(random() % static_cast<unsigned>(n));
      const int to = from - 1 + static_cast<int>(random() % static_cast<unsigned>(n - from + 1));
      const long double start = (random() % 3 == 0) ? -1.0L : (random() % 2 ? 0.0L : 6.0L);
      long double want = start;
      for (int i = from; i <= to; ++i)
        if (column[static_cast<std::size_t>(i)] > want) want = column[static_cast<std::size_t>(i)];
      const long double got = raise_by_bursts(0, from, to, start);
      ASSERT_EQ(std::memcmp(&got, &want, 10), 0)
          << "round " << round << ", samples " << from << ".." << to << ", from " << start;
    }
  }
  reset_store();
}

}  // namespace

namespace {

// The time step taken as a 64-bit difference where it fits: the value of the 128-bit one, at and
// beyond the limits where the 64-bit difference overflows.
TEST(ElapsedValueTest, EqualsTheWideDifferenceConverted) {
  const long long big = std::numeric_limits<long long>::max(),
                  small = std::numeric_limits<long long>::min();
  const long long stamps[] = {0,
                              1,
                              -1,
                              999,
                              -123456789,
                              big,
                              big - 1,
                              small,
                              small + 1,
                              (1LL << 62) + 12345,
                              -(1LL << 62) - 3};
  for (long long later : stamps) {
    for (long long earlier : stamps) {
      const long double fast = elapsed_value(later, earlier);
      const long double wide = static_cast<long double>(elapsed(later, earlier));
      EXPECT_EQ(std::memcmp(&fast, &wide, 10), 0) << later << " - " << earlier;
    }
  }
}

}  // namespace
