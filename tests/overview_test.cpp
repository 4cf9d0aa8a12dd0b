// The study's overview page: robust z-scores against values worked out by hand, and a page for
// a thousand recordings that stays small, escapes what the file names hold and marks only the
// recording made odd; values without a window or not finite are dashes.
#include "study/overview.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/hand_evaluation.h"

namespace {

TEST(OverviewTest, RobustZScoresMatchHandComputedValues) {
  // Odd count: median 3, |deviations| 2 1 0 1 97, MAD 1, scale 1.4826. NaN is left out.
  RobustScale s = robust_scale({1, 2, 3, 4, 100, NAN});
  EXPECT_EQ(s.median, 3);
  EXPECT_NEAR(s.scale, 1.4826L, 1e-15L);
  EXPECT_NEAR(robust_z(100, s), 97 / 1.4826L, 1e-12L);       // 65.425...
  EXPECT_NEAR(robust_z(1, s), -1.348981518953190L, 1e-12L);  // -2 / 1.4826

  // Even count: median (2 + 3) / 2 = 2.5, |deviations| 1.5 0.5 0.5 1.5, MAD (0.5 + 1.5) / 2 = 1.
  s = robust_scale({4, 1, 3, 2});
  EXPECT_EQ(s.median, 2.5L);
  EXPECT_NEAR(robust_z(4, s), 1.5L / 1.4826L, 1e-12L);

  // Four of five equal: MAD 0, so the mean deviation 8 / 5 = 1.6 scales: 1.2533 x 1.6 = 2.00528,
  // and the zero lies (0 - 8) / 2.00528 = -3.9895 away: beyond 3.5.
  s = robust_scale({8, 8, 0, 8, 8});
  EXPECT_EQ(s.median, 8);
  EXPECT_NEAR(s.scale, 2.00528L, 1e-12L);
  EXPECT_NEAR(robust_z(0, s), -8 / 2.00528L, 1e-12L);
  EXPECT_GT(std::fabs(robust_z(0, s)), kOutlierZ);

  // All equal, one value, none: no spread, every z 0.
  for (const std::vector<long double>& values :
       {std::vector<long double>{5, 5, 5}, std::vector<long double>{7},
        std::vector<long double>{}}) {
    s = robust_scale(values);
    EXPECT_EQ(s.scale, 0);
    EXPECT_EQ(robust_z(5, s), 0);
  }
}

// A study of `n` recordings with values spread like real ones; recording `odd` has a tenth of the
// others' masseter MVC, and the last one failed.
std::vector<OverviewRow> study(int n, int odd) {
  std::vector<OverviewRow> rows;
  for (int r = 0; r < n; ++r) {
    OverviewRow row;
    row.file = "study/subject" + std::to_string(r) + ".txt";
    row.report = "subject" + std::to_string(r) + "_output.txt";
    row.page = "subject" + std::to_string(r) + "_check.html";
    row.ok = true;
    row.status = "ok";
    const long double spread = 1 + 0.2L * std::sin(r * 1.7L);  // 0.8 to 1.2
    for (std::size_t k = 0; k < key_figures().size(); ++k)
      row.values.emplace_back((100 + 10 * static_cast<long double>(k)) * spread);
    if (r == odd) row.values[0] = *row.values[0] / 10;
    rows.push_back(row);
  }
  rows.back().ok = false;
  rows.back().status = "Error reading calibration";
  rows.back().values.clear();
  return rows;
}

std::size_t count(const std::string& text, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++n;
  return n;
}

TEST(OverviewTest, AThousandRecordingsMakeAPageUnderFiveMegabytesWithTheOddOneMarked) {
  const std::vector<OverviewRow> rows = study(1000, 17);
  const std::string page = overview_page(rows, Settings{}, "2026-12-09 12:00 UTC");
  EXPECT_LT(page.size(), 5u * 1000 * 1000);
  EXPECT_EQ(count(page, "<tr class=\""), 1000u);
  // The odd MVC in its table cell and as its point; nothing else lies beyond 3.5.
  EXPECT_EQ(count(page, "<td class=\"out\""), 1u);
  EXPECT_EQ(count(page, "<circle class=\"out\""), 1u);
  EXPECT_NE(page.find("<circle class=\"out\"", page.find("#18 subject17.txt, mr:") - 200),
            std::string::npos);
  EXPECT_NE(page.find("Error reading calibration"), std::string::npos);
  EXPECT_EQ(count(page, "<script"), 0u);
  EXPECT_EQ(count(page, "http"), 0u);
}

TEST(OverviewTest, FileNamesAreEscapedInTextAndEncodedInLinks) {
  std::vector<OverviewRow> rows = study(3, -1);
  rows[0].file = "a<b>&\"c'.txt";
  rows[0].page = "a #1?%_check.html";
  const std::string page = overview_page(rows, Settings{}, "today");
  EXPECT_NE(page.find("a&lt;b&gt;&amp;&quot;c&#39;.txt"), std::string::npos);
  EXPECT_EQ(page.find("a<b>"), std::string::npos);
  EXPECT_NE(page.find("href=\"a%20%231%3F%25_check.html\""), std::string::npos);
  // A value of a damaged recording far beyond any measurement is written whole, not cut short.
  rows[1].values[0] = 1e100L;
  char digits[256];
  std::snprintf(digits, sizeof digits, ">%.2Lf<", 1e100L);
  EXPECT_NE(overview_page(rows, Settings{}, "today").find(digits), std::string::npos);
}

TEST(OverviewTest, ValuesWithoutAWindowOrNotFiniteAreDashesThatCountForNothing) {
  // Six chewing trials, four channels, no MVC or noise-level window: MVC 0, noise level 1000.
  Evaluation e = evaluation_of(18);
  e.form.emg_channels = 4;
  for (int k = kFirstChewingTrial; k < 18; ++k) e.trials.push_back({k, {}, {}, {}});
  for (int c = 0; c < kChannels; ++c) {
    e.run_mvc[c] = 0, e.run_nl[c] = kNoNoiseLevel;
    for (int k = kFirstChewingTrial; k < 18; ++k) e.experiments[k].nl[c] = kNoNoiseLevel;
  }
  // Only the right masseter's MVC and the left masseter's noise level come from windows.
  e.experiments[1].mvc_window[0] = {true, 10, 20};
  e.run_mvc[0] = e.experiments[1].mvc[0] = 100;
  e.experiments[15].nl_window[1] = {true, 30, 40};
  e.run_nl[1] = e.experiments[15].nl[1] = 150;
  e.strokes_found = true;
  e.conditions[FK] = StrokeSummaries{};  // its frequency, without a sampling rate, is no value
  const KeyValues values = key_values_from_text(key_values_text(key_values(e)));
  EXPECT_FALSE(values.at(2 * kChannels + kChewingTrials + FK));

  // Among recordings whose figures lie near 100 to 600, the placeholders would be far out; a NaN
  // handed to the page would show as a number.
  std::vector<OverviewRow> rows = study(30, -1);
  for (std::size_t k = 0; k < 2 * kChannels; ++k) rows[3].values[k] = values.at(k);
  rows[4].values[2] = NAN;
  const std::string page = overview_page(rows, Settings{}, "today");
  EXPECT_EQ(count(page, "<td class=\"out\""), 0u);
  EXPECT_EQ(count(page, "<circle class=\"out\""), 0u);
  EXPECT_EQ(page.find("1000.00"), std::string::npos);
  EXPECT_EQ(page.find("nan"), std::string::npos);
  EXPECT_EQ(count(page, "<td class=\"none\">&#8211;"), 7u);  // six without a window, the NaN
  const std::string dash = "<td class=\"none\">&#8211;</td>";
  EXPECT_NE(page.find("<td>100.00</td>" + dash + dash + dash + dash + "<td>150.00</td>" + dash),
            std::string::npos);  // the MVC of mr, ml, tr, tl, the noise level of mr, ml, tr
}

// The clinical figures from movements.csv and clenches.csv rows: per role the widest opening
// and protrusion, the glide of largest magnitude (signed), the mean of the clench rows (not the
// reference clench's) that have a value; a role without rows or values is absent.
TEST(OverviewTest, ClinicalFiguresFollowTheirRolesRules) {
  RecordingRows rows;
  rows.movements =
      "file,experiment,role,opening_mm,lateral_mm,protrusion_mm\n"
      "a,3,max_opening,40,1,0\na,4,max_opening,45.5,-2,0\n"
      "a,5,laterotrusion_right,1,9,0\na,6,laterotrusion_right,1,-10,0\n"
      "a,7,protrusion,-0.5,0.2,\na,8,other,60,20,30\n";
  rows.clenches =
      "file,experiment,role,poc_masseter_pct,poc_temporalis_pct,torque_pct,activity_pct\n"
      "a,1,clench,80,,10,-5\na,2,clench,90,,20,\na,9,clench_reference,10,10,10,10\n";
  const KeyValues values = key_values(rows);
  const struct {
    const char* label;
    std::optional<long double> value;
  } kCases[] = {{"MO", 45.5L},        {"LR", -10.0L},   {"LL", std::nullopt},
                {"PR", std::nullopt}, {"POC M", 85.0L}, {"POC T", std::nullopt},
                {"TC", 15.0L},        {"AC", -5.0L}};
  const std::vector<KeyFigure>& figures = key_figures();
  ASSERT_EQ(values.size(), figures.size());
  for (const auto& c : kCases) {
    std::size_t k = 0;
    while (k < figures.size() && figures[k].label != c.label) ++k;
    ASSERT_LT(k, figures.size()) << c.label;
    EXPECT_EQ(values[k], c.value) << c.label;
  }
}

}  // namespace
