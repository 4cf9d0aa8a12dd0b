// chew_study --pages on simulated recordings: one self-contained check page per recording, a
// panel per chewing trial whose shaded cycles are the report's and the cycles table's, long
// trials reduced without losing their peak, the MVC and noise-level windows of experiments 1
// and 2, and the same pages whatever --jobs.
#include "study/check_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "recording/store.h"
#include "study/html.h"
#include "study/overview.h"
#include "support/test_support.h"

namespace {

const std::string kStudy = CHEW_STUDY_PATH;

// Occurrences of `needle` in `text`.
std::size_t count(const std::string& text, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++n;
  return n;
}

// A page over an empty store: all it shows comes from the hand-built evaluation and view.
TEST(CheckPageViewTest, APageNeedsOnlyTheEvaluationAndTheView) {
  reset_store();
  Evaluation e;
  e.header.person = "Ann Example\r\n";
  e.no_entries = 3, e.no_tracks = e.no_experiments = 1;
  e.experiments[0].last_sample = 2, e.experiments[0].threshold_crossings = 4;
  e.run_mvc[0] = 12.5;
  const long long time[] = {0, 10, 20};
  const long double dist[] = {0, 1.5, 0};
  const std::uint8_t status[3] = {};
  SampleView view;
  view.count = 3, view.time = time, view.incisal_dist = dist, view.cycle_status = status;
  const std::string page = check_page("a.txt", Settings{}, e, view);
  for (const char* shown : {"<td>Ann Example</td>", "<td>3 / 1</td>", "<td>12.50</td>",
                            "samples 0 to 2, threshold crossings 4", "<path class=\"signal\""})
    EXPECT_NE(page.find(shown), std::string::npos) << shown;
}

// A chewing trial of one cycle, one peak, one minimum and one burst: every count in the singular.
TEST(CheckPageViewTest, CountsOfOneAreInTheSingular) {
  reset_store();
  Evaluation e;
  e.no_entries = 3, e.no_tracks = e.no_experiments = kFirstChewingTrial + 1;
  for (ExperimentEvaluation& x : e.experiments) x.first_sample = 0, x.last_sample = 2;
  e.experiments[kFirstChewingTrial].chewing_cycles = 1;
  CycleResult cycle;
  cycle.cycle = {0, 2, {}, true};
  e.trials.push_back({kFirstChewingTrial, {cycle}, {}, {}});
  const long long time[] = {0, 10, 20};
  const long double dist[] = {0, 5, 0}, emg[] = {0, 9, 0};
  const std::uint8_t status[3] = {0, max_end, min_start};
  const BurstStretch burst[] = {{1, 1, 4.5L}};
  SampleView view;
  view.count = 3, view.time = time, view.incisal_dist = dist, view.cycle_status = status;
  view.channel[0] = view.channel[1] = emg;
  view.bursts[0] = view.bursts[1] = burst;
  view.burst_count[0] = view.burst_count[1] = 1;
  const std::string page = check_page("a.txt", Settings{}, e, view);
  for (const char* one :
       {"1 chewing cycle confirmed", "1 confirmed chewing cycle (", "0 cycles without",
        "1 peak of opening", "1 closing minimum<", "1 burst<"})
    EXPECT_NE(page.find(one), std::string::npos) << one;
  EXPECT_FALSE(
      std::regex_search(page, std::regex(R"([^0-9.]1 [a-z ]*(cycles|peaks|minima|bursts))")));
}

// The report's "C." value of every experiment, from its experiment table.
std::map<int, int> report_cycles(const std::string& report) {
  std::map<int, int> cycles;
  const std::regex row(R"(^ *(\d+) \| *(\d+) \|)");
  for (const std::string& line : lines_of(report)) {
    std::smatch m;
    if (std::regex_search(line, m, row) && cycles.size() < 18)
      cycles[std::stoi(m[1])] = std::stoi(m[2]);
  }
  return cycles;
}

std::vector<std::map<std::string, std::string>> table(const std::string& text) {
  return csv_table(text);
}

// The text of each panel of a page, by experiment number; `trials` tells whether it is one of
// the open chewing-trial panels.
std::map<int, std::string> panels(const std::string& page, const std::string& kind) {
  std::map<int, std::string> found;
  const std::string open = "<section class=\"panel " + kind + "\" data-experiment=\"";
  for (std::size_t at = page.find(open); at != std::string::npos; at = page.find(open, at + 1)) {
    const int experiment = std::atoi(page.c_str() + at + open.size());
    const std::size_t end = page.find("</section>", at);
    found[experiment] = page.substr(at, end - at);
  }
  return found;
}

// The points of the first path of a kind (signal) in a panel text: "M" to the first, then "l"
// steps.
std::vector<std::pair<double, double>> path_points(const std::string& svg,
                                                   const std::string& kind = "signal") {
  const std::string open = "<path class=\"" + kind + "\" d=\"M";
  const std::size_t at = svg.find(open) + open.size();
  std::istringstream d(svg.substr(at, svg.find('"', at) - at));
  double x = 0, y = 0, dx = 0, dy = 0;
  d >> x >> y;
  std::vector<std::pair<double, double>> points = {{x, y}};
  d.ignore(1);  // the "l"
  while (d >> dx >> dy) points.push_back({x += dx, y += dy});
  return points;
}

// A plane plot's px per mm across and down, one value per pair of adjacent ticks: their
// distance over their labels' (across the frontal plane the labels count from the middle
// outward, so adjacent ones still differ by one step).
std::vector<double> tick_scales(const std::string& svg, const char* axis) {
  const std::string open = std::string("<g class=\"ticks ") + axis + "\">";
  const std::size_t at = svg.find(open);
  if (at == std::string::npos) return {};
  const std::string ticks = svg.substr(at, svg.find("</g>", at) - at);
  const std::regex tick(
      R"re(<line x1="([-0-9.]+)" y1="([-0-9.]+)"[^>]*/><text[^>]*>([-0-9.]+)<)re");
  std::vector<std::pair<double, double>> found;  // position, label
  for (auto it = std::sregex_iterator(ticks.begin(), ticks.end(), tick);
       it != std::sregex_iterator(); ++it)
    found.push_back({std::stod((*it)[*axis == 'x' ? 1 : 2]), std::stod((*it)[3])});
  std::vector<double> scales;
  for (std::size_t k = 1; k < found.size(); ++k)
    scales.push_back(std::fabs(found[k].first - found[k - 1].first) /
                     std::fabs(found[k].second - found[k - 1].second));
  return scales;
}

// The svg of a plane plot in a panel (class "frontal-path" or "sagittal-path").
std::string plane(const std::string& panel, const std::string& kind) {
  const std::size_t at = panel.find("<svg class=\"plane " + kind + "\"");
  return at == std::string::npos ? "" : panel.substr(at, panel.find("</svg>", at) - at);
}

// How far the path of a plane plot reaches left and right of the rest position's ring (px).
std::pair<double, double> reach(const std::string& svg) {
  const std::string ring = "<circle class=\"rest\" cx=\"";
  const double rest = std::stod(svg.substr(svg.find(ring) + ring.size()));
  double left = 0, right = 0;
  for (const auto& [x, y] : path_points(svg, "path"))
    left = std::max(left, rest - x), right = std::max(right, x - rest);
  return {left, right};
}

// Without a jaw frame a border movement is said, not drawn; a clench without a window likewise;
// a two-channel clench draws the masseters alone, right and left on one chart.
TEST(CheckPageViewTest, MovementsWithoutAFrameAndClenchesWithoutAWindowAreSaid) {
  reset_store();
  Evaluation e;
  e.no_entries = 3, e.no_tracks = e.no_experiments = 3;
  e.form.emg_channels = 2;
  for (ExperimentEvaluation& x : e.experiments) x.first_sample = 0, x.last_sample = 2;
  const long long time[] = {0, 10, 20};
  const long double zero[] = {0, 0, 0};
  const std::uint8_t status[3] = {};
  SampleView view;
  view.count = 3, view.time = time, view.incisal_dist = zero, view.cycle_status = status;
  view.incisal_x = view.incisal_y = view.incisal_z = zero;
  e.clench_windows.resize(3);
  ClenchWindow& w = e.clench_windows[0];
  w.found = true, w.first = 0, w.last = 2, w.time = {0, 10, 20};
  for (int c = 0; c < kChannels; ++c) w.value[c] = {1, 2, 1};
  LabProtocol protocol = builtin_protocol();  // 1, 2 clench, 3 max_opening
  const std::map<int, std::string> panel =
      panels(check_page("a.txt", Settings{}, e, view, protocol), "other");
  EXPECT_EQ(count(panel.at(1), "<svg class=\"chart emg clench-chart\""), 1u);
  EXPECT_NE(panel.at(2).find("No clench window"), std::string::npos);
  EXPECT_NE(panel.at(3).find("No jaw frame"), std::string::npos);
  EXPECT_EQ(count(panel.at(3), "<svg class=\"plane"), 0u);
  e.frame.valid = true, e.frame.lateral = {1, 0, 0}, e.frame.vertical = {0, 1, 0},
  e.frame.ap = {0, 0, 1};
  EXPECT_EQ(count(check_page("a.txt", Settings{}, e, view, protocol), "<svg class=\"plane"), 2u);
}

class CheckPageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    // A long trial at 1000 Hz (far more samples than the chart's 1000 columns), a two-channel
    // recording and a short one at 100 Hz.
    const std::vector<std::vector<std::string>> simulated = {
        {"--seed", "41", "--form", "five-point", "--rate", "1000", "--out", "a.txt"},
        {"--seed", "42", "--form", "three-point-2ch", "--rate", "250", "--scale", "0.5", "--out",
         "b.v2.txt"},
        {"--seed", "43", "--form", "three-point-4ch", "--rate", "100", "--scale", "0.3", "--out",
         "c.txt"}};
    for (const std::vector<std::string>& args : simulated) {
      const CommandResult made = run_program(CHEW_SIMULATE_PATH, args, dir_->path());
      ASSERT_EQ(made.status, 0) << describe(made);
    }
    *run_ = run_program(
        kStudy, {"--pages", "--quiet", "--out", "out", "a.txt", "b.v2.txt", "c.txt"}, dir_->path());
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string path(const std::string& relative) { return dir_->file(relative); }

  static TempDir* dir_;
  static CommandResult* run_;
};

TempDir* CheckPageTest::dir_ = nullptr;
CommandResult* CheckPageTest::run_ = new CommandResult;

const std::vector<std::string> kNames = {"a", "b.v2", "c"};  // the reports' names less _output.txt

TEST_F(CheckPageTest, EachPageIsOneFileWithoutOutsideReferences) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);
  for (const std::string& name : kNames) {
    const std::string page = read_file(path("out/" + name + "_check.html"));
    ASSERT_FALSE(page.empty()) << name;
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u) << name;
    for (const char* outside : {"http", "src=", "href=", "<link", "<script", "url(", "@import"})
      EXPECT_EQ(count(page, outside), 0u) << name << " refers outside itself: " << outside;
    EXPECT_NE(page.find("Simulated subject"), std::string::npos) << name << ": no header texts";
    EXPECT_NE(page.find("</html>"), std::string::npos) << name;
  }
}

TEST_F(CheckPageTest, TrialPanelsShadeTheReportsCyclesAndTheOthersAreFolded) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);
  const auto cycles = table(read_file(path("out/cycles.csv")));
  for (const std::string& name : kNames) {
    const std::string page = read_file(path("out/" + name + "_check.html"));
    const std::map<int, int> c = report_cycles(read_file(path("out/" + name + "_output.txt")));
    ASSERT_EQ(c.size(), 18u) << name;
    const std::map<int, std::string> trials = panels(page, "trial");
    ASSERT_EQ(trials.size(), 6u) << name;
    int total_confirmed = 0;
    for (int experiment = 13; experiment <= 18; ++experiment) {
      ASSERT_EQ(trials.count(experiment), 1u) << name << " " << experiment;
      const std::string& panel = trials.at(experiment);
      const std::size_t confirmed = count(panel, "<rect class=\"cycle confirmed\"");
      EXPECT_EQ(confirmed, static_cast<std::size_t>(c.at(experiment))) << name << " " << experiment;
      total_confirmed += c.at(experiment);
      // Every cycle of the cycles table is shaded, the rejected ones apart.
      std::size_t rows = 0, rejected_rows = 0;
      for (const auto& row : cycles) {
        if (row.at("file").find(name + ".") != 0 ||
            row.at("experiment") != std::to_string(experiment))
          continue;
        ++rows;
        if (row.at("confirmed") == "0") ++rejected_rows;
      }
      EXPECT_EQ(count(panel, "<rect class=\"cycle rejected\""), rejected_rows)
          << name << experiment;
      EXPECT_EQ(confirmed + rejected_rows, rows) << name << " " << experiment;
      // A distance chart and an EMG chart per channel the recording carries (c.txt alone has
      // the temporales), each with its level line; absent channels are said, not drawn.
      const std::size_t channels = name == "c" ? 4 : 2;
      EXPECT_EQ(count(panel, "<svg class=\"chart distance\""), 1u);
      EXPECT_EQ(count(panel, "<svg class=\"chart emg\""), channels);
      EXPECT_EQ(count(panel, "<line class=\"threshold\""), 1u);
      EXPECT_EQ(count(panel, "<line class=\"level\""), channels);
      EXPECT_EQ(count(panel, "has no temporalis channels"), channels == 4 ? 0u : 1u) << name;
      EXPECT_NE(panel.find("time (s)"), std::string::npos);
      EXPECT_NE(panel.find("incisal distance (mm)"), std::string::npos);
    }
    EXPECT_GT(total_confirmed, 0) << name << ": a simulated recording chews";
    // Experiments 1 to 12 each sit in a folded <details>, with no cycles shaded.
    const std::map<int, std::string> others = panels(page, "other");
    EXPECT_EQ(others.size(), 12u) << name;
    EXPECT_EQ(count(page, "<details>"), 12u) << name;
    EXPECT_EQ(count(page, "<details open"), 0u) << name;
    for (const auto& [experiment, panel] : others)
      EXPECT_EQ(count(panel, "<rect class=\"cycle"), 0u) << name << " " << experiment;
  }
}

// The charts' geometry: the plot area is 1000 columns wide from x = 70, 12 px below the top of a
// 220 px distance chart and 34 px above its bottom (174 px high), scaled to 1.05 x the largest
// value. The largest distance then sits at 12 + 174 - 174 / 1.05 = 20.29 px, whatever the trial,
// drawn to the nearest unit; the curve spans every column, one point per column and edge at most.
TEST_F(CheckPageTest, LongTrialsKeepTheirPeaksWhenReducedToTheChartWidth) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);
  const std::string page = read_file(path("out/a_check.html"));
  const auto experiments = table(read_file(path("out/experiments.csv")));
  for (const auto& [experiment, panel] : panels(page, "trial")) {
    const auto points = path_points(panel);
    double low = 1e9, high = -1e9, left = 1e9, right = -1e9;
    for (const auto& [x, y] : points) {
      low = std::min(low, y), high = std::max(high, y);
      left = std::min(left, x), right = std::max(right, x);
    }
    // Thousands of samples, at most two points per column.
    int samples = 0;
    for (const auto& row : experiments)
      if (row.at("file") == "a.txt" && row.at("experiment") == std::to_string(experiment))
        samples = std::stoi(row.at("last_sample")) - std::stoi(row.at("first_sample")) + 1;
    EXPECT_GT(samples, 4000) << experiment;
    EXPECT_LE(points.size(), 2000u) << experiment;
    EXPECT_LE(left, 71) << experiment;
    EXPECT_GE(right, 1069) << experiment;
    EXPECT_NEAR(low, 12 + 174 - 174 / 1.05, 0.5) << experiment << ": the peak is lost";
    EXPECT_LE(high, 186.5) << experiment;
  }
}

// At 1000 Hz with whole-millisecond time stamps the MVC window spans exactly 500 ms and the
// noise-level window 100 ms: 500 / T x 1000 px and 100 / T x 1000 px for an experiment of T ms.
TEST_F(CheckPageTest, MvcAndNoiseWindowsAreMarkedInExperimentsOneAndTwo) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);
  const std::string page = read_file(path("out/a_check.html"));
  const auto experiments = table(read_file(path("out/experiments.csv")));
  const std::map<int, std::string> others = panels(page, "other");
  for (int experiment = 1; experiment <= 2; ++experiment) {
    const std::string& panel = others.at(experiment);
    double duration_ms = 0;
    std::map<std::string, std::string> row;
    for (const auto& r : experiments)
      if (r.at("file") == "a.txt" && r.at("experiment") == std::to_string(experiment)) row = r;
    duration_ms = std::stod(row.at("duration_s")) * 1000;
    // A noise-level window and an MVC window for each of the two channels a five-point
    // recording carries.
    std::size_t active = 0;
    for (const char* channel : {"mr", "ml", "tr", "tl"})
      if (std::strtold(row.at(std::string(channel) + "_mvc_uV").c_str(), nullptr) > 0) ++active;
    EXPECT_EQ(active, 2u) << experiment;
    EXPECT_EQ(count(panel, "<rect class=\"window mvc\""), active) << experiment;
    EXPECT_EQ(count(panel, "<rect class=\"window noise\""), 2u) << experiment;
    const std::regex window(
        R"re(<rect class="window (mvc|noise)" x="[0-9.]+" y="[0-9.]+" width="([0-9.]+)")re");
    for (auto it = std::sregex_iterator(panel.begin(), panel.end(), window);
         it != std::sregex_iterator(); ++it) {
      const double span = (*it)[1] == "mvc" ? 500 : 100;
      EXPECT_NEAR(std::stod((*it)[2]), span / duration_ms * 1000, 0.06) << experiment;
    }
    // Each window is labelled with the experiment's MVC as the table gives it.
    for (const char* channel : {"mr", "ml"}) {
      char text[64];
      std::snprintf(text, sizeof text, "MVC window, mean %.2Lf \xC2\xB5V",
                    std::strtold(row.at(std::string(channel) + "_mvc_uV").c_str(), nullptr));
      EXPECT_NE(panel.find(text), std::string::npos) << experiment << " " << text;
    }
  }
  for (int experiment = 3; experiment <= 12; ++experiment)
    EXPECT_EQ(count(others.at(experiment), "class=\"window"), 0u) << experiment;
}

TEST_F(CheckPageTest, EachTrialShowsItsStrokesLoopsBySideInTheFrontalPlane) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);
  const auto strokes = table(read_file(path("out/strokes.csv")));
  for (const std::string& name : kNames) {
    const std::string page = read_file(path("out/" + name + "_check.html"));
    const std::string file = name + ".txt";
    for (const auto& [experiment, panel] : panels(page, "trial")) {
      // The sides of the trial's strokes, in order, from the stroke table.
      std::string sides;
      for (const auto& s : strokes)
        if (s.at("file") == file && s.at("experiment") == std::to_string(experiment))
          sides += s.at("side_kinematic");
      std::string drawn;
      const std::regex loop(R"re(<path class="loop side-([RLC])")re");
      for (auto it = std::sregex_iterator(panel.begin(), panel.end(), loop);
           it != std::sregex_iterator(); ++it)
        drawn += (*it)[1];
      EXPECT_EQ(drawn, sides) << name << " experiment " << experiment;
      // Every trial of a recording at the scale of its first: the same frame, ticks and labels.
      const std::size_t axes = panel.find("<svg class=\"frontal\"");
      const std::string frame = panel.substr(axes, panel.find("</g>\n", axes) - axes);
      const std::size_t first = page.find("<svg class=\"frontal\"");
      EXPECT_EQ(frame, page.substr(first, frame.size())) << name << " experiment " << experiment;
      EXPECT_FALSE(sides.empty()) << name << " experiment " << experiment;
      EXPECT_NE(panel.find("<details class=\"strokes\">"), std::string::npos);
    }
  }
}

TEST_F(CheckPageTest, PagesAreTheSameWhateverTheJobsAndOnlyWrittenWhenAsked) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);
  const CommandResult jobs = run_program(
      kStudy, {"--pages", "--jobs", "3", "--quiet", "--out", "jobs", "a.txt", "b.v2.txt", "c.txt"},
      dir_->path());
  ASSERT_EQ(jobs.status, 0) << describe(jobs);
  for (const std::string& name : kNames) {
    EXPECT_TRUE(read_file(path("jobs/" + name + "_check.html")) ==
                read_file(path("out/" + name + "_check.html")))
        << name;
  }
  // The overview's figures come back from the worker processes whole: the same page but for
  // the time it was written.
  auto undated = [](std::string page) {
    const std::size_t at = page.find("<tr><th>Written</th>");
    return at == std::string::npos ? page : page.erase(at, page.find('\n', at) - at);
  };
  const std::string index = read_file(path("out/index.html"));
  EXPECT_NE(index.find("<tr class=\"ok\">"), std::string::npos);
  EXPECT_TRUE(undated(read_file(path("jobs/index.html"))) == undated(index));
  const CommandResult plain = run_program(
      kStudy, {"--quiet", "--out", "plain", "a.txt", "b.v2.txt", "c.txt"}, dir_->path());
  ASSERT_EQ(plain.status, 0) << describe(plain);
  for (const std::string& name : kNames)
    EXPECT_FALSE(file_exists(path("plain/" + name + "_check.html"))) << name;
  EXPECT_FALSE(file_exists(path("plain/index.html")));
  for (const char* t : {"experiments.csv", "indices.csv", "cycles.csv", "runs.csv"})
    EXPECT_TRUE(read_file(path("plain/") + t) == read_file(path("out/") + t)) << t;
}

// The parts' overview, joined by merge --pages, is the one run's but for its links, which lead
// into the parts; a part without pages leaves its names unlinked and says so.
TEST_F(CheckPageTest, MergePagesWritesTheOneRunsOverviewLinkingIntoTheParts) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);
  const std::vector<std::vector<std::string>> runs = {
      {"--pages", "--quiet", "--out", "parts/1", "a.txt", "b.v2.txt"},
      {"--pages", "--quiet", "--out", "parts/2", "c.txt"},
      {"--quiet", "--out", "parts/3", "c.txt"},
      {"merge", "parts/1", "parts/2", "--out", "merged/all", "--pages"},
      {"merge", "parts/1", "parts/3", "--out", "merged/plain", "--pages"}};
  for (const std::vector<std::string>& args : runs) {
    const CommandResult r = run_program(kStudy, args, dir_->path());
    ASSERT_EQ(r.status, 0) << describe(r);
    const bool unpaged = args[0] == "merge" && args[2] == "parts/3";
    EXPECT_EQ(r.err.find("warning") != std::string::npos, unpaged) << describe(r);
  }
  const std::regex href(R"re( href="([^"]*)")re");
  auto links = [&](const std::string& page) {
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), href);
         it != std::sregex_iterator(); ++it)
      found.push_back((*it)[1]);
    return found;
  };
  auto unlinked = [&](const std::string& page) {
    return std::regex_replace(std::regex_replace(page, href, ""),
                              std::regex("<tr><th>Written</th>.*\n"), "");
  };
  const std::string merged = read_file(path("merged/all/index.html"));
  EXPECT_EQ(unlinked(merged), unlinked(read_file(path("out/index.html"))));
  const std::vector<std::string> all = links(merged),
                                 plain = links(read_file(path("merged/plain/index.html")));
  EXPECT_EQ(all.size(), 6u);
  EXPECT_EQ(plain.size(), 5u);  // c.txt's report, not its page
  for (const std::string& link : all) {
    EXPECT_EQ(link.rfind("../../parts/", 0), 0u) << link;
    EXPECT_TRUE(file_exists(path("merged/all/" + link))) << link;
  }
}

// With a protocol giving experiments 5 to 8 their border movements, every border movement's
// panel draws its path in both planes, one px/mm across and down, toward the movement's side,
// with the figures movements.csv has; the clenches draw right and left of each muscle over their
// window. The overview takes its figures from the same tables; what a recording lacks is a dash.
TEST_F(CheckPageTest, BorderMovementsAndClenchesAreDrawnWithTheirFigures) {
  ASSERT_EQ(run_->status, 0) << describe(*run_);
  const std::map<int, std::string> roles = {
      {1, "clench"},      {2, "clench_reference"},    {3, "max_opening"},
      {4, "max_opening"}, {5, "laterotrusion_right"}, {6, "laterotrusion_left"},
      {7, "protrusion"},  {8, "protrusion"}};
  std::string protocol = "experiment,task,role\n";
  for (int k = 1; k <= 18; ++k)
    protocol += std::to_string(k) + ",task " + std::to_string(k) + "," +
                (roles.count(k) ? roles.at(k)
                 : k >= 13      ? "chewing_free"
                                : "other") +
                "\n";
  write_file(path("protocol.csv"), protocol);
  const CommandResult r = run_program(
      kStudy, {"--pages", "--quiet", "--protocol", "protocol.csv", "--out", "roles", "c.txt"},
      dir_->path());
  ASSERT_EQ(r.status, 0) << describe(r);
  const std::string page = read_file(path("roles/c_check.html"));
  const std::map<int, std::string> others = panels(page, "other");
  double widest = 0;
  for (const auto& m : table(read_file(path("roles/movements.csv")))) {
    const int experiment = std::stoi(m.at("experiment"));
    const std::string& panel = others.at(experiment);
    EXPECT_EQ(m.at("role"), roles.at(experiment));
    EXPECT_NE(panel.find("<td>" + fixed(std::stold(m.at("opening_mm")), 2) + "</td>"),
              std::string::npos)
        << experiment;
    double scale = 0;
    for (const char* kind : {"frontal-path", "sagittal-path"}) {
      const std::string svg = plane(panel, kind);
      ASSERT_FALSE(svg.empty()) << experiment << kind;
      std::vector<double> scales = tick_scales(svg, "x");
      const std::vector<double> down = tick_scales(svg, "y");
      EXPECT_GE(down.size(), 1u) << experiment << kind;
      scales.insert(scales.end(), down.begin(), down.end());
      if (scale == 0) scale = scales.at(0);
      for (const double s : scales) EXPECT_NEAR(s, scale, 0.15) << experiment << kind;
    }
    // The glides reach a few mm toward their side: the subject's right on the viewer's left
    // facing the subject, forward on the viewer's right seen from the subject's right.
    const auto [left, right] = reach(plane(panel, "frontal-path"));
    const auto [back, forward] = reach(plane(panel, "sagittal-path"));
    const double mm = 3 * scale;
    if (experiment == 5) {
      EXPECT_TRUE(left > mm && right < 1) << left << " " << right;
    }
    if (experiment == 6) {
      EXPECT_TRUE(right > mm && left < 1) << left << " " << right;
    }
    if (experiment >= 7) {
      EXPECT_TRUE(forward > mm && back < 1) << back << " " << forward;
    }
    if (roles.at(experiment) == "max_opening")
      widest = std::max(widest, std::stod(m.at("opening_mm")));
  }
  const auto clenches = table(read_file(path("roles/clenches.csv")));
  ASSERT_EQ(clenches.size(), 2u);
  for (const auto& c : clenches) {
    const std::string& panel = others.at(std::stoi(c.at("experiment")));
    EXPECT_EQ(count(panel, "<svg class=\"chart emg clench-chart\""), 2u);  // masseters, temporales
    EXPECT_EQ(count(panel, "<path class=\"trace clench-R\""), 2u);
    EXPECT_EQ(count(panel, "<path class=\"trace clench-L\""), 2u);
    EXPECT_NE(panel.find("samples " + c.at("window_first_sample") + " to " +
                         c.at("window_last_sample") + "</p>"),
              std::string::npos);
    EXPECT_NE(panel.find(c.at("standardized") == "1" ? "<td>yes" : "<td>no"), std::string::npos);
  }
  for (int experiment = 9; experiment <= 12; ++experiment)
    EXPECT_EQ(count(others.at(experiment), "class=\"plane") +
                  count(others.at(experiment), "clench-chart"),
              0u);
  // The overview's MO is the widest opening; the built-in protocol's overview has no glides, and
  // the two-channel b.v2.txt no temporalis clench figures.
  EXPECT_NE(read_file(path("roles/index.html")).find("<td>" + fixed(widest, 1) + "</td>"),
            std::string::npos);
  const std::string overview = read_file(path("out/index.html"));
  const std::string dash = "<td class=\"none\">&#8211;</td>";
  for (const char* label : {"MO", "LR", "LL", "PR", "POC M", "POC T", "TC", "AC"})
    EXPECT_NE(overview.find("<th>" + std::string(label) + "</th>"), std::string::npos) << label;
  const std::size_t b = overview.find(">b.v2.txt<");
  ASSERT_NE(b, std::string::npos);
  const std::string row = overview.substr(b, overview.find("</tr>", b) - b);
  std::vector<std::string> cells;  // status, errors, warnings, then the figures
  const std::regex cell(R"re(<td[^>]*>([^<]*)</td>)re");
  for (auto it = std::sregex_iterator(row.begin(), row.end(), cell); it != std::sregex_iterator();
       ++it)
    cells.push_back((*it)[1]);
  const std::vector<KeyFigure>& figures = key_figures();
  ASSERT_EQ(cells.size(), 3 + figures.size());
  for (std::size_t k = figures.size() - 8; k < figures.size(); ++k) {
    const bool shown = figures[k].label == "MO" || figures[k].label == "POC M";
    EXPECT_EQ(cells[3 + k] == "&#8211;", !shown) << figures[k].label << " " << cells[3 + k];
  }
}

TEST_F(CheckPageTest, AnUnwritablePageFailsItsRecordingOnly) {
  // A folder where the page of a.txt would go.
  std::filesystem::create_directories(path("blocked/a_check.html"));
  const CommandResult r = run_program(
      kStudy, {"--pages", "--quiet", "--out", "blocked", "a.txt", "c.txt"}, dir_->path());
  EXPECT_EQ(r.status, 1) << describe(r);
  const auto runs = table(read_file(path("blocked/runs.csv")));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].at("status").find("cannot write page"), 0u) << runs[0].at("status");
  EXPECT_EQ(runs[0].at("report"), "a_output.txt");  // the report was written all the same
  EXPECT_TRUE(file_exists(path("blocked/a_output.txt")));
  EXPECT_EQ(runs[1].at("status"), "ok");
  EXPECT_FALSE(read_file(path("blocked/c_check.html")).empty());
}

TEST_F(CheckPageTest, LinksAtThePagesAndTablesNamesAreReplacedAndTheirTargetsLeftAlone) {
  namespace fs = std::filesystem;
  fs::create_directories(path("linked"));
  write_file(path("page_target.html"), "not a page\n");
  write_file(path("table_target.csv"), "not a table\n");
  fs::create_symlink(path("page_target.html"), path("linked/c_check.html"));
  fs::create_symlink(path("table_target.csv"), path("linked/runs.csv"));
  const CommandResult r =
      run_program(kStudy, {"--pages", "--quiet", "--out", "linked", "c.txt"}, dir_->path());
  ASSERT_EQ(r.status, 0) << describe(r);
  EXPECT_EQ(read_file(path("page_target.html")), "not a page\n");
  EXPECT_EQ(read_file(path("table_target.csv")), "not a table\n");
  for (const char* name : {"linked/c_check.html", "linked/runs.csv"}) {
    EXPECT_FALSE(fs::is_symlink(path(name))) << name;
    EXPECT_TRUE(fs::is_regular_file(path(name))) << name;
  }
  EXPECT_TRUE(read_file(path("linked/c_check.html")) == read_file(path("out/c_check.html")));
  EXPECT_EQ(read_file(path("linked/runs.csv")).rfind("file,status,report,", 0), 0u);
}

TEST_F(CheckPageTest, APageThatDoesNotFitLeavesTheOlderPageAndNoTemporaryFile) {
  std::filesystem::create_directories(path("limited"));
  write_file(path("limited/c_check.html"), "the older page\n");
  // A file-size limit of 200 blocks (at least 100 KB): the report and the tables fit, the page of
  // some 1.2 MB does not. chew_study ignores SIGXFSZ, so the write fails with EFBIG instead.
  const CommandResult r = run_program("/bin/sh",
                                      {"-c", "ulimit -f 200; exec \"$0\" \"$@\"", kStudy, "--pages",
                                       "--quiet", "--out", "limited", "c.txt"},
                                      dir_->path());
  EXPECT_EQ(r.status, 1) << describe(r);
  EXPECT_EQ(read_file(path("limited/c_check.html")), "the older page\n");
  EXPECT_EQ(hidden_names(path("limited")), std::vector<std::string>());
  const auto runs = table(read_file(path("limited/runs.csv")));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].at("status").find("cannot write page"), 0u) << runs[0].at("status");
  EXPECT_NE(runs[0].at("status").find("File too large"), std::string::npos);
  EXPECT_EQ(runs[0].at("report"), "c_output.txt");
  EXPECT_TRUE(read_file(path("limited/c_output.txt")) == read_file(path("out/c_output.txt")));
}

// The largest recording the evaluator holds: 500000 samples at 1000 Hz. Its charts are reduced
// to their pixel columns and its frontal loops and movement paths to their pixels, so the page
// stays under 620 KB (its two clench windows and two maximal openings take some 17 KB of it).
TEST(CheckPageSizeTest, TheCapacityRecordingsPageStaysUnder620Kilobytes) {
  TempDir dir;
  const CommandResult made =
      run_program(CHEW_SIMULATE_PATH, {"--samples", "500000", "--rate", "1000", "--out", "cap.txt"},
                  dir.path());
  ASSERT_EQ(made.status, 0) << describe(made);
  const CommandResult r =
      run_program(kStudy, {"--pages", "--quiet", "--out", "out", "cap.txt"}, dir.path());
  ASSERT_EQ(r.status, 0) << describe(r);
  const std::string page = read_file(dir.file("out/cap_check.html"));
  EXPECT_GT(page.size(), 100u * 1000);  // a page with its charts
  EXPECT_LT(page.size(), 620u * 1000);
}

}  // namespace
