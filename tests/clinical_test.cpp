// Clinical measures worked out by hand: the symmetry indices of hand-built clench windows, in uV
// and standardised by a reference clench, and the range of motion and opening path of a
// hand-built recording's border movements.
#include "analysis/clinical.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/evaluation.h"
#include "pipeline/pipeline.h"
#include "study/protocol_file.h"
#include "support/test_support.h"

namespace {

ClenchWindow window(std::vector<std::vector<long double>> channels) {
  ClenchWindow w;
  w.found = true;
  w.first = 0;
  w.last = static_cast<int>(channels[0].size()) - 1;
  for (std::size_t i = 0; i < channels[0].size(); ++i) w.time.push_back(10 * i);
  for (int c = 0; c < kChannels; ++c) w.value[c] = channels[c];
  return w;
}

TEST(ClinicalTest, ClenchIndicesInMicrovoltsAndStandardised) {
  // Experiment 1 a clench over three samples 10 ms apart: MR, ML, TR, TL.
  std::vector<ClenchWindow> windows(kMaxTracks);
  windows[0] = window({{100, 100, 100}, {60, 80, 100}, {50, 50, 50}, {50, 70, 30}});
  LabProtocol protocol = builtin_protocol();
  RecordingForm four{3, 4};
  const ClenchResult uv = measure_clenches(windows, protocol, four, 18).at(0);
  EXPECT_FALSE(uv.standardized);
  EXPECT_EQ(*uv.poc_masseter, (1 - 60.0L / 540) * 100);    // |40| + |20| + 0 over 160 + 180 + 200
  EXPECT_EQ(*uv.poc_temporalis, (1 - 40.0L / 300) * 100);  // 0 + |-20| + |20| over 100 + 120 + 80
  // (TR + ML) - (TL + MR): -40, -40, +20, over all four summed, 540 + 300.
  EXPECT_EQ(*uv.torque, (100.0L / 840) * 100);
  EXPECT_EQ(*uv.activity, (240.0L / 840) * 100);
  EXPECT_EQ(*uv.asymmetry_masseter, (20.0L / 180) * 100);  // means 100 and 80
  EXPECT_EQ(*uv.asymmetry_temporalis, 0);
  EXPECT_FALSE(uv.impact.has_value());
  EXPECT_EQ(measure_clenches(windows, protocol, four, 18).size(), 2u);  // 1 and 2 clench

  // Experiment 12 a reference clench with means 200, 40, 25, 10: experiment 1 becomes
  // MR 50 50 50, ML 150 200 250, TR 200 200 200, TL 500 700 300 (per cent of the reference).
  protocol.role[11] = Role::clench_reference;
  windows[11] = window({{200, 200}, {40, 40}, {25, 25}, {10, 10}});
  const std::vector<ClenchResult> standardised = measure_clenches(windows, protocol, four, 18);
  ASSERT_EQ(standardised.size(), 3u);
  const ClenchResult& s = standardised[0];
  EXPECT_TRUE(s.standardized);
  EXPECT_EQ(*s.poc_masseter, (1 - 450.0L / 750) * 100);
  EXPECT_EQ(*s.poc_temporalis, (1 - 900.0L / 2100) * 100);
  // The integrals over 10 ms steps, from the second sample: 1, 4.5, 4 and 10 % x s.
  EXPECT_EQ(*s.impact, 4.875L);
  EXPECT_EQ(*standardised[2].poc_masseter, 100);  // the reference itself: 100 % on both sides

  // Two channels: no temporalis, torque or activity; no EMG: nothing.
  const ClenchResult two = measure_clenches(windows, protocol, RecordingForm{5, 2}, 18).at(0);
  EXPECT_TRUE(two.poc_masseter && !two.poc_temporalis && !two.torque && !two.activity);
  const ClenchResult none = measure_clenches(windows, protocol, RecordingForm{3, 0}, 18).at(0);
  EXPECT_FALSE(none.poc_masseter || none.standardized);
  // A reference whose channel is all 0 standardises nothing.
  windows[11].value[3] = {0, 0};
  EXPECT_FALSE(measure_clenches(windows, protocol, four, 18).at(0).standardized);
}

// A five-point sample: the incisal point `right` mm toward the subject's right, `open` mm opened
// and `forward` mm forward of its calibrated place (x grows toward the subject's left, y up, z
// forward), the other points at rest.
std::string sample(int time, double right, double open, double forward) {
  char line[256];
  std::snprintf(line, sizeof line, "%d -50 0 0 50 0 0 %g %g %g 0 0 0 0 0 0 0 0 0 0 0\n", time,
                -right, -open, 100 + forward);
  return line;
}

TEST(ClinicalTest, RangeOfMotionAndOpeningPathOfHandBuiltBorderMovements) {
  struct Point {
    double right, open, forward;
  };
  // Experiments 1 to 7; 3 opens 40 mm, departing 2 mm to the right on the way and staying
  // 0.5 mm right at its widest; 5 and 6 glide 9 mm right and 7 mm left, 7 forward by 8 mm.
  const std::vector<std::vector<Point>> experiments = {
      {{0, 0, 0}},
      {{0, 0, 0}},
      {{0, 0, 0}, {2, 10, 0}, {0.5, 30, 0}, {0.5, 40, 0}, {0, 0, 0}},
      {{0, 0, 0}},
      {{0, 0, 0}, {5, 1, 1}, {9, 1.5, 2}, {0, 0, 0}},
      {{0, 0, 0}, {-7, 1, 0}, {0, 0, 0}},
      {{0, 0, 0}, {0, 2, 6}, {0, 3, 8}, {0, 0, 0}}};
  std::string text = "Calibr -50 0 0 50 0 0 0 0 100 0 0 0 0 0 0\n";
  for (const auto& points : experiments) {
    int time = 0;
    for (const Point& p : points) text += sample(time, p.right, p.open, p.forward), time += 20;
  }
  ASSERT_EQ(read_text(text).status, ReadStatus::ok);
  Settings settings;
  run_analysis(settings);
  const Evaluation e = evaluate(settings.emg_threshold, settings.dist_threshold);
  const ProtocolRead read = parse_protocol(
      "experiment,task,role\n3,opening,max_opening\n5,right,laterotrusion_right\n"
      "6,left,laterotrusion_left\n7,forward,protrusion\n",
      "lab.csv");
  ASSERT_EQ(read.error, "");
  const std::vector<MovementResult> m = measure_movements(e.frame, read.protocol, 7);
  ASSERT_EQ(m.size(), 4u);
  struct Expected {
    int position;
    long double opening, lateral, protrusion;
  };
  const Expected expected[] = {{2, 40, 2, 0}, {4, 1.5L, 9, 2}, {5, 1, -7, 0}, {6, 3, 0, 8}};
  for (std::size_t k = 0; k < m.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(m[k].position, expected[k].position);
    EXPECT_EQ(*m[k].opening_mm, expected[k].opening);
    EXPECT_EQ(*m[k].lateral_mm, expected[k].lateral);
    EXPECT_EQ(*m[k].protrusion_mm, expected[k].protrusion);
    EXPECT_EQ(m[k].deviation_mm.has_value(), k == 0);
  }
  EXPECT_EQ(*m[0].deviation_mm, 2);
  EXPECT_EQ(*m[0].deflection_mm, 0.5L);
}

}  // namespace
