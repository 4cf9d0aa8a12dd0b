// Pruned window extremes against a scan that sums every window afresh.
#include "analysis/window_means.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>

#include "recording/store.h"
#include "support/test_support.h"

namespace {

// The extremes of channel 0 over samples f..l, its values prepared as the conditioning prepares
// them.
std::optional<WindowMean> largest_of(int f, int l, long long span, long double initial) {
  ChannelValues values;
  prepare_channel(values, f, l, samples.channel[0].data());
  return largest_window_mean(values, span, initial);
}
std::optional<WindowMean> smallest_of(int f, int l, long long span, long long earliest,
                                      long double initial) {
  ChannelValues values;
  prepare_channel(values, f, l, samples.channel[0].data());
  return smallest_window_mean(values, span, earliest, initial);
}

bool same_bits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

// Every qualifying window summed from its start, compared strictly, in order of starts: the
// extreme and the first window that has it.
WindowMean scan_every_window(int f, int l, long long span, bool smallest, long long earliest,
                             long double initial) {
  WindowMean result = {initial, {false, 0, 0}};
  for (int s = f; s <= l; ++s) {
    if (!(samples.time[l] - samples.time[s] >= span)) continue;
    if (smallest && !(samples.time[s] >= earliest)) continue;
    long double sum = 0;
    int n = 0;
    for (int k = s; k <= l && samples.time[k] - samples.time[s] <= span; ++k, ++n)
      sum += samples.channel[0][k];
    const long double mean = sum / n;
    if (smallest ? mean < result.value : mean > result.value) result = {mean, {true, s, s + n - 1}};
  }
  return result;
}

void expect_same(const WindowMean& actual, const WindowMean& expected, const std::string& what) {
  EXPECT_TRUE(same_bits(actual.value, expected.value)) << what;
  EXPECT_EQ(actual.window.found, expected.window.found) << what;
  if (expected.window.found) {
    EXPECT_EQ(actual.window.first, expected.window.first) << what;
    EXPECT_EQ(actual.window.last, expected.window.last) << what;
  }
}

void expect_both_extremes(int f, int l, const std::string& what) {
  for (long long span : {0LL, 1LL, 7LL, 100LL, 500LL}) {
    auto largest = largest_of(f, l, span, 0);
    ASSERT_TRUE(largest.has_value()) << what;
    expect_same(*largest, scan_every_window(f, l, span, false, 0, 0),
                what + ", largest, span " + std::to_string(span));
    auto smallest = smallest_of(f, l, span, 50, 1000);
    ASSERT_TRUE(smallest.has_value()) << what;
    expect_same(*smallest, scan_every_window(f, l, span, true, 50, 1000),
                what + ", smallest, span " + std::to_string(span));
  }
}

// One experiment of n samples, 1 ms apart unless `step` says otherwise.
void fill(
    int n, const std::function<long double(int)>& value,
    const std::function<long long(int)>& time = [](int i) { return i; }) {
  reset_store();
  size_samples(n);
  for (int i = 0; i < n; ++i) {
    samples.time[i] = time(i);
    samples.channel[0][i] = value(i);
  }
}

TEST(WindowMeansTest, AgreeWithEveryWindowScan) {
  std::mt19937_64 random(2026);
  std::uniform_real_distribution<double> unit(0, 1);
  const int n = 3000;
  struct Signal {
    const char* name;
    std::function<long double(int)> value;
  } signals[] = {
      {"random", [&](int) { return static_cast<long double>(unit(random)) * 400; }},
      {"many magnitudes", [&](int) { return std::pow(10.0L, unit(random) * 40 - 20); }},
      {"constant", [](int) { return 0.1L; }},
      {"zero", [](int) { return 0.0L; }},
      {"periodic", [](int i) { return static_cast<long double>(i % 10) / 3; }},
      {"spikes between tiny values",
       [](int i) { return i % 700 == 350 ? 1e30L : 1e-30L * (1 + i % 3); }},
      {"last-bit differences",
       [](int i) { return std::nextafter(1.0L, 2.0L * (i % 2)) + (i % 997 == 0); }},
      {"bursts", [&](int i) { return (i / 250) % 2 ? 300 + unit(random) : unit(random) * 3; }},
      // Values a window is decided by without summing, and plateaus of one value.
      {"not-a-number in places",
       [&](int i) { return i % 400 == 123 ? NAN : static_cast<long double>(unit(random)) * 9; }},
      {"not-a-number everywhere", [](int) { return static_cast<long double>(NAN); }},
      {"infinity in places",
       [&](int i) { return i % 900 == 5 ? INFINITY : static_cast<long double>(unit(random)); }},
      {"infinity and not-a-number",
       [](int i) { return i % 3 == 0   ? INFINITY
                          : i % 7 == 0 ? NAN
                                       : 1.0L; }},
      {"plateaus", [](int i) { return i < 200         ? 0.5L * i
                                      : (i / 700) % 2 ? 7.1L
                                                      : 0.3L; }},
      {"constant but for one value", [](int i) { return i == 1500 ? 0.1L : 0.2L; }},
      {"denormal", [](int i) { return 0x1p-16440L * (i % 5); }},
      // Values at and beyond the edges of the range a double holds with full precision.
      {"near the doubles' limits",
       [&](int i) { return (i % 2 ? 0x1p-999L : 0x1p999L) * (1 + unit(random)); }},
      {"beyond the doubles' range", [&](int i) { return i % 500 == 7 ? 1e400L : unit(random); }},
      {"below the doubles' range", [&](int i) { return i % 3 ? 1e-320L : unit(random); }},
      {"negative zeros", [](int i) { return i % 4 ? -0.0L : static_cast<long double>(i % 7); }},
      {"differences a double does not hold",
       [](int i) { return 1.0L + 0x1p-60L * ((i * 7919) % 101); }},
      // Windows that keep coming closer to the extreme: those left behind are dropped as the
      // walk goes on, those ahead kept.
      {"rising", [](int i) { return 0.01L * i; }},
      {"falling", [](int i) { return 0.01L * (5000 - i); }},
      {"rising slowly with noise", [&](int i) { return 1e-4L * i + unit(random); }},
  };
  for (const Signal& signal : signals) {
    fill(n, signal.value);
    expect_both_extremes(0, n - 1, signal.name);
    expect_both_extremes(100, 100, std::string(signal.name) + ", one sample");
    expect_both_extremes(10, 600, std::string(signal.name) + ", short");
  }
}

// More windows close to the extreme than the walk keeps in its list: they are found by a second
// walk.
TEST(WindowMeansTest, ManyWindowsCloseToTheExtreme) {
  fill(12000, [](int) { return 0.1L; });
  expect_both_extremes(0, 11999, "constant");
  fill(12000, [](int i) { return std::nextafter(2.0L, 3.0L * (i % 3 == 0)); });
  expect_both_extremes(0, 11999, "last-bit differences");
  fill(12000, [](int i) { return i < 6000 ? 1.0L + 1e-3L * i : 7.0L; });
  expect_both_extremes(0, 11999, "rising into a plateau");
}

TEST(WindowMeansTest, IrregularTimeStamps) {
  std::mt19937 random(5);
  // Repeated stamps, gaps, and a start far from 0.
  fill(
      4000, [&](int) { return static_cast<long double>(random() % 1000) / 7; },
      [](int i) { return 1000000LL + i / 3 + (i > 2000 ? 5000 : 0); });
  expect_both_extremes(0, 3999, "irregular");
  fill(
      50, [](int i) { return static_cast<long double>(i); }, [](int i) { return i * 40LL; });
  expect_both_extremes(0, 49, "sparse");
}

TEST(WindowMeansTest, LeavesOtherExperimentsToTheFullScan) {
  fill(
      100, [](int i) { return static_cast<long double>(i); }, [](int i) { return 100LL - i; });
  EXPECT_FALSE(largest_of(0, 99, 10, 0).has_value());  // falling time
  fill(100, [](int i) { return i == 50 ? -INFINITY : 1.0L; });
  EXPECT_FALSE(smallest_of(0, 99, 10, 0, 1000).has_value());
  fill(100, [](int i) { return i == 50 ? -1.0L : 1.0L; });
  EXPECT_FALSE(largest_of(0, 99, 10, 0).has_value());
  fill(100, [](int) { return 1.0L; });
  EXPECT_FALSE(largest_of(0, 99, -1, 0).has_value());
  fill(
      100, [](int) { return 1.0L; }, [](int i) { return i == 99 ? 1LL << 62 : i; });
  EXPECT_FALSE(largest_of(0, 99, 10, 0).has_value());
  // No window fits: the initial value stays.
  fill(10, [](int) { return 5.0L; });
  EXPECT_EQ(largest_of(0, 9, 500, 0)->value, 0.0L);
  EXPECT_FALSE(largest_of(0, 9, 500, 0)->window.found);
  EXPECT_EQ(smallest_of(0, 9, 5, 50, 1000)->value, 1000.0L);
  reset_store();
}

}  // namespace
