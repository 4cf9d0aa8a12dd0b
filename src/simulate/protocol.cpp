// Plans of the experiments, and the margins that make the chewing ground truth unambiguous.
//
// chew_eval opens a chewing cycle at the last sample of a local maximum of the incisal distance
// at or above 3 mm and closes it at the first sample of the next local minimum below 3 mm; the
// cycle counts when a masseter burst integral in it exceeds 10 x MVC (uV*ms). The chewing plans
// therefore keep
//   - every counted cycle's opening at 8 mm or more and its closing minimum at 1 mm or less;
//   - irregular small cycles, the rest position and the pauses below 2 mm;
//   - the dip of a double peak at 5.5 mm or more, so it never ends the cycle;
//   - the hold of a held stroke (the bolus insertion, a stroke on a hard bolus) at 3.9 mm or
//     more, so the cycle runs on through the next stroke, a full one with its burst: the two
//     count once;
//   - every move that crosses 3 mm faster than kMinSlope in the band 2.85..3.15 mm: rounding
//     the three coordinates to 0.01 mm shifts a distance by at most 0.0087 mm, so a false
//     maximum or minimum there would need a move slower than 0.0174 mm per sample, and samples
//     are at least 1 ms apart; the slow sensor noise adds next to nothing per sample;
//   - masseter bursts of the counted cycles at 20 % of the MVC or more for 200 ms or more
//     (an integral of 40 x MVC or more), starting in the closing phase and fading within 50 ms
//     of the next opening, which takes at least 200 ms to reach its maximum;
//   - no masseter activity at all in idle cycles and the insertion, and baseline noise far below
//     the activity level of 3 % of the MVC.
//
// Strokes found from the distance alone, as chew_study does, come out one per planned stroke:
// each opens by 6 mm or more; a double peak's dip falls by at most 30 % of the opening, every
// other closing (a hold too) by 65 % or more; pauses and holds move slower than 5 mm/s; the small
// irregular movements rise by less than 1 mm.
#include "protocol.h"

#include <cmath>

namespace {

constexpr double kThreshold = 3.0;   // mm, chew_eval's default distance threshold
constexpr double kBand = 0.15;       // mm, half width of the band around it
constexpr double kMinSlope = 0.025;  // mm/ms, speed of every move through the band

// The longest phases of a chewing stroke, ms.
constexpr double kLongestOpening = 380, kLongestTop = 40, kLongestClosing = 330;
constexpr double kLongestPause = 200;
// The longest stroke without a double peak: the stroke that must follow a held one.
constexpr double kLongestSingle = kLongestOpening + kLongestTop + kLongestClosing + kLongestPause;

constexpr int kMR = 0, kML = 1, kTR = 2, kTL = 3;

// Maximal opening, mm: how far an opening's swerve stays beyond its deflection, and how far
// apart the widest distances of its two repetitions are at least.
constexpr double kSwerveClearance = 0.5, kWidestApart = 0.5;

enum class Side { right, left };
enum class Chewing { free, right, left };

double clamp(double value, double low, double high) {
  return value < low ? low : value > high ? high : value;
}
double larger(double a, double b) { return a > b ? a : b; }
double smaller(double a, double b) { return a < b ? a : b; }
double magnitude(double a) { return a < 0 ? -a : a; }

// The duration, at most `duration`, of an eased move from `a` to `b` (mm) that passes both ends
// of the threshold band at kMinSlope or faster. The eased speed 6u(1-u)|b-a|/duration is concave
// in u, so inside the band it is lowest at one of its ends.
double steep_enough(double a, double b, double duration) {
  const double levels[] = {kThreshold - kBand, kThreshold + kBand};
  for (double level : levels) {
    if (!((level > a && level < b) || (level < a && level > b))) continue;
    const double share = (level - a) / (b - a);
    double low = 0, high = 1;
    for (int i = 0; i < 60; ++i) {
      const double middle = (low + high) / 2;
      (smoothstep(middle) < share ? low : high) = middle;
    }
    const double u = (low + high) / 2;
    const double longest = 6 * u * (1 - u) * magnitude(b - a) / kMinSlope;
    duration = smaller(duration, longest);
  }
  return duration;
}

// An activation burst of `level` uV from `start` to `end` (ms), fading a little towards its end.
void burst(Curve& envelope, double start, double end, double level, double rise, double fall) {
  if (end - start < rise + fall) rise = fall = (end - start) / 2;
  envelope.to(start, 0);
  envelope.to(start + rise, level);
  envelope.to(end - fall, level * 0.85);
  envelope.to(end, 0);
}

void finish(Script& s, double duration) {
  s.distance.hold(duration);
  s.lateral.hold(duration);
  for (Curve& envelope : s.envelope) envelope.hold(duration);
}

Script clenching(double duration, const Subject& subject, double strength, Rng& rng) {
  Script s;
  const double rest = subject.rest_opening;
  const double on = 0.2 * duration * rng.uniform(0.9, 1.1);
  const double off = 0.8 * duration * rng.uniform(0.97, 1.03);
  const double ramp = smaller(300, 0.05 * duration);
  s.distance.to(0, rest);
  s.distance.to(0.7 * on, rest);
  s.distance.to(on, 0.1);  // teeth together
  s.distance.to(off, 0.08);
  s.distance.to(off + 0.4 * (duration - off), rest);
  s.lateral.to(0, 0);
  for (int c = 0; c < kChannels; ++c) {
    // Held flat between the ramps, so that any window inside knows its level: the truth's.
    const double level = subject.mvc[c] * strength * rng.uniform(0.97, 1.03);
    Curve& e = s.envelope[c];
    e.to(on, 0);
    e.to(on + ramp, level);
    e.to(off - ramp, level);
    e.to(off, 0);
    s.plateau[c] = level;
  }
  s.plateau_start = on + ramp;
  s.plateau_end = off - ramp;
  s.task_start = on;
  s.task_end = off;
  finish(s, duration);
  return s;
}

Script maximal_opening(double duration, const Subject& subject, Rng& rng) {
  Script s;
  const double rest = subject.rest_opening;
  const int repetitions = duration >= 3000 ? 2 : 1;
  const double slot = duration / repetitions;
  const double deflection = subject.opening_deviation;
  const double sagittal = std::sqrt(s.vertical * s.vertical + s.sagittal * s.sagittal);
  // The swerve, if any, reaches 0.5 mm or more beyond the deflection at the widest opening, so
  // which of the two is the larger sideways excursion is never in doubt.
  const double deflected = subject.max_opening * magnitude(deflection) /
                           std::sqrt(deflection * deflection + sagittal * sagittal);
  const double swerve = subject.opening_swerve == 0 ? 0
                        : subject.opening_swerve > 0
                            ? larger(subject.opening_swerve, deflected + kSwerveClearance)
                            : smaller(subject.opening_swerve, -deflected - kSwerveClearance);
  s.distance.to(0, rest);
  s.lateral.to(0, deflection);
  double first_widest = 0;
  for (int j = 0; j < repetitions; ++j) {
    const double base = j * slot;
    double widest = subject.max_opening * rng.uniform(0.93, 1.0);
    // The widest of the experiment, where its deflection is read, is never a near tie.
    if (j > 0 && magnitude(widest - first_widest) < kWidestApart) {
      widest = first_widest - kWidestApart;
    }
    first_widest = j == 0 ? widest : first_widest;
    s.distance.to(base + 0.15 * slot, rest);
    s.distance.to(base + 0.45 * slot, widest);
    s.distance.to(base + 0.55 * slot, widest * 0.99);
    s.distance.to(base + 0.85 * slot, 0.3);
    s.distance.to(base + 0.95 * slot, rest);
    if (swerve != 0) {
      // An S-shaped path: out to the side `swerve` mm early in the opening, back to the
      // deflection well before the widest opening.
      const double out = base + 0.27 * slot;
      const double share = swerve / s.distance.at(out);
      s.lateral.to(base + 0.15 * slot, deflection);
      s.lateral.to(out, share * sagittal / std::sqrt(1 - share * share));
      s.lateral.to(base + 0.4 * slot, deflection);
    }
    for (int c = 0; c < kChannels; ++c) {
      burst(s.envelope[c], base + 0.6 * slot, base + 0.9 * slot, 0.04 * subject.mvc[c], 40, 40);
    }
  }
  s.task_start = 0.15 * slot;
  s.task_end = (repetitions - 1) * slot + 0.95 * slot;
  finish(s, duration);
  return s;
}

// Gliding the teeth along each other: to one side (lateral -1 or +1) or forward (lateral 0).
Script excursion(double duration, const Subject& subject, double lateral, Rng& rng) {
  Script s;
  const double rest = subject.rest_opening;
  double reach = 0;
  if (lateral != 0) {
    s.vertical = -0.25;
    s.sagittal = -0.1;
    reach = rng.uniform(8, 12);
  } else {
    s.vertical = -0.15;
    s.sagittal = 1.0;
    reach = rng.uniform(6, 9);
  }
  s.lateral.to(0, lateral * 3);
  s.distance.to(0, rest);
  s.distance.to(0.08 * duration, 0.3);
  const int repetitions = duration >= 3000 ? 2 : 1;
  const double slot = 0.84 * duration / repetitions;
  for (int j = 0; j < repetitions; ++j) {
    const double base = 0.08 * duration + j * slot;
    const double far = reach * rng.uniform(0.95, 1.05);
    s.distance.to(base + 0.1 * slot, 0.3);
    s.distance.to(base + 0.4 * slot, far);
    s.distance.to(base + 0.55 * slot, far);
    s.distance.to(base + 0.85 * slot, 0.3);
    const double start = base + 0.1 * slot, end = base + 0.55 * slot;
    if (lateral != 0) {
      // The working-side temporalis pulls the jaw over, the balancing-side masseter helps.
      const int temporalis = lateral < 0 ? kTR : kTL;
      const int masseter = lateral < 0 ? kML : kMR;
      burst(s.envelope[temporalis], start, end, 0.12 * subject.mvc[temporalis], 60, 60);
      burst(s.envelope[masseter], start, end, 0.08 * subject.mvc[masseter], 60, 60);
    } else {
      burst(s.envelope[kMR], start, end, 0.1 * subject.mvc[kMR], 60, 60);
      burst(s.envelope[kML], start, end, 0.1 * subject.mvc[kML], 60, 60);
    }
  }
  s.distance.to(0.97 * duration, rest);
  s.task_start = 0.08 * duration;
  s.task_end = 0.92 * duration;
  finish(s, duration);
  return s;
}

Script swallowing(double duration, const Subject& subject, Rng& rng) {
  Script s;
  const double rest = subject.rest_opening;
  const int swallows = larger(1, static_cast<int>(duration / 1700));
  const double slot = duration / swallows;
  s.distance.to(0, rest);
  s.lateral.to(0, 0);
  for (int j = 0; j < swallows; ++j) {
    const double base = j * slot;
    const double closed = base + slot * rng.uniform(0.38, 0.45);
    const double opened = base + slot * rng.uniform(0.62, 0.7);
    s.distance.to(closed - 0.1 * slot, rest);
    s.distance.to(closed, 0.15);
    s.distance.to(opened, 0.12);
    s.distance.to(base + 0.8 * slot, rest);
    const double strength = rng.uniform(0.25, 0.4);
    for (int c = 0; c < kChannels; ++c) {
      const double share = c < 2 ? strength : 0.8 * strength;
      burst(s.envelope[c], closed - 0.05 * slot, opened, share * subject.mvc[c], 50, 80);
    }
  }
  s.task_start = 0.3 * slot;
  s.task_end = duration - 0.2 * slot;
  finish(s, duration);
  return s;
}

Script rest(double duration, const Subject& subject, Rng& rng) {
  Script s;
  s.distance.to(0, subject.rest_opening);
  for (double t = 1000; t < duration; t += 1000) {
    s.distance.to(t, subject.rest_opening * rng.uniform(0.95, 1.05));
  }
  s.lateral.to(0, 0);
  s.task_start = 0.1 * duration;
  s.task_end = 0.9 * duration;
  finish(s, duration);
  return s;
}

Script chewing(double duration, Chewing mode, const Subject& subject, bool idle_cycles, Rng& rng) {
  Script s;
  Curve& d = s.distance;
  const double rest = subject.rest_opening * rng.uniform(0.9, 1.1);
  const double start_pause = clamp(0.08 * duration, 150, 1500) * rng.uniform(0.8, 1.2);
  const double end_reserve = 450;  // the final rise to rest (250 ms) and a rest of 200 ms
  d.to(0, rest);
  d.to(start_pause, rest);
  s.lateral.to(0, 0);
  double t = start_pause;
  s.task_start = t;
  Side side = mode == Chewing::left ? Side::left : Side::right;
  if (mode == Chewing::free && rng.chance(0.5)) side = Side::left;
  double excess = subject.first_peak - subject.late_peak;  // shrinks as the bolus softens
  double freshness = 1;                                    // likewise the bite strength
  bool idle_used = false;
  bool after_held = false;  // the jaw holds on the bolus, above the threshold
  for (int k = 0;; ++k) {
    // The stroke after a held one chews the same bolus: same side, a full single stroke.
    if (mode == Chewing::free && k > 0 && !after_held && rng.chance(0.25)) {
      side = side == Side::left ? Side::right : Side::left;
    }
    double peak = clamp((subject.late_peak + excess) * rng.uniform(0.85, 1.15), 8, 25);
    excess *= 0.85;
    const double period = subject.cycle_period * rng.uniform(0.88, 1.12);
    double opening = clamp(period * rng.uniform(0.32, 0.40), 200, kLongestOpening);
    const double top = rng.uniform(0, kLongestTop);
    double closing = clamp(period * rng.uniform(0.28, 0.36), 180, kLongestClosing);
    const double pause = clamp(period * rng.uniform(0.15, 0.25), 60, kLongestPause);
    const double bottom = rng.uniform(0.2, 1.0);
    const double settle = rng.uniform(0, 0.3);
    const double from = d.last_value();
    const bool insertion = k == 0 && rng.chance(0.7);
    Shape shape = Shape::single;
    if (insertion || (k > 0 && !after_held && rng.chance(0.05))) {
      shape = Shape::held;
    } else if (!after_held && rng.chance(0.08)) {
      shape = Shape::double_peak;
    }
    const bool idle = shape != Shape::held && !after_held && idle_cycles && !idle_used && k > 0 &&
                      rng.chance(0.06);
    const bool reversed = !insertion && rng.chance(subject.reversed_share);
    double dip = 0, second = peak, dip_fall = 0, second_rise = 0, hold = bottom;
    if (insertion) {
      // The bolus goes in on a wider opening.
      peak = clamp(subject.first_peak + rng.uniform(2, 4), 8, 25);
    } else if (after_held) {
      // Up from the hold by 8 mm or more: a stroke of its own, opening as a counted cycle does.
      peak = clamp(larger(peak, from + 8), 8, 25);
    }
    if (shape == Shape::held) {
      // The closing stops at 4 to 7 mm, clear above the threshold band, having closed by 65 % of
      // the opening or more: the hold lies at most 35 % of it above the opening start (4.27 mm
      // or more for a 12 mm peak from 0.1 mm, so the range is never empty).
      peak = larger(peak, 12);
      hold = rng.uniform(4, smaller(7, from + 0.35 * (peak - from)));
    } else if (shape == Shape::double_peak) {
      // A shallow dip: it falls from the first peak by at most 1 - 0.85 x 0.95 = 19.25 % of the
      // peak, while 30 % of the opening from its start (1.76 mm at most: not after a hold) is
      // 0.3 (peak - 1.76) mm, which is more for every peak of 4.9 mm or more; and the dip stays
      // at 0.85 x 0.95 x 10 = 8.1 mm or more, far above the threshold.
      peak = larger(peak, 10);
      second = clamp(peak * rng.uniform(0.95, 1.05), 10, 25);
      dip = smaller(peak, second) * rng.uniform(0.85, 0.92);
      dip_fall = rng.uniform(60, 100);
      second_rise = rng.uniform(60, 100);
    }
    opening = steep_enough(from, peak, opening);
    closing = steep_enough(second - settle, hold, closing);
    const double length = opening + dip_fall + second_rise + top + closing + pause;
    // A held stroke only with room for the full stroke that must follow it.
    const double needed = shape == Shape::held ? kLongestSingle : 0;
    if (t + length + needed + end_reserve > duration) {
      if (shape == Shape::held) continue;  // a stroke of another shape may still fit
      break;
    }

    const double sign = side == Side::left ? 1 : -1;
    const double open_start = t;
    d.to(t += opening, peak);
    const double first_top = t;
    if (shape == Shape::double_peak) {
      d.to(t += dip_fall, dip);
      d.to(t += second_rise, second);
    }
    d.to(t += top, second - settle);
    const double close_start = t;
    d.to(t += closing, hold);
    const double close_end = t;
    // The occlusal pause, or the hold on the bolus; both barely move (2.5 mm/s at most).
    d.to(t += pause, larger(0.1, hold - rng.uniform(0, 0.1)));
    // The chewing loop: a little to the balancing side while opening (6 % of the swing: at most
    // 0.26 mm, even on the higher top of a double peak), well over to the working side early in
    // the closing (the swing, 1.8 to 4.4 mm, at 40 % of the closing; at most 60 % of the incisal
    // distance there, which is 4 mm or more), back into the intercuspal position at its end.
    // A reversed stroke runs the loop the other way: out to the working side while opening, the
    // swing reached at the first peak (at most 55 % of its distance), and back in early in the
    // closing, past the midline by the small sway at 40 % of it.
    // `lateral_part` is the lateral part of the direction that puts the incisal point `mm` to
    // the side at the incisal distance `at`.
    const double swing = rng.uniform(1.8, 3.6) + (mode == Chewing::free ? 0 : 0.4);
    const double sagittal = std::sqrt(s.vertical * s.vertical + s.sagittal * s.sagittal);
    const auto lateral_part = [&](double mm, double at) {
      const double share = smaller(mm / at, 0.6);
      return share * sagittal / std::sqrt(1 - share * share);
    };
    const double turn_at = close_start + 0.4 * closing;
    const double out = sign * lateral_part(swing, reversed ? peak : d.at(turn_at));
    const double sway = -sign * lateral_part(0.06 * swing, reversed ? d.at(turn_at) : peak);
    s.lateral.to(open_start, 0);
    s.lateral.to(first_top, reversed ? out : sway);
    s.lateral.to(close_start, reversed ? out : sway);
    s.lateral.to(turn_at, reversed ? sway : out);
    s.lateral.to(close_end, 0);
    Stroke stroke;
    stroke.open_start = open_start;
    stroke.occlusion = close_end;
    stroke.left = side == Side::left;
    stroke.burst = !idle && !insertion;
    stroke.reversed = reversed;
    stroke.shape = shape;
    s.strokes.push_back(stroke);

    if (stroke.burst) {
      // Power stroke: from the last third of the closing through the occlusal pause (or the
      // hold), fading within 50 ms of the next opening.
      const int working = side == Side::left ? kML : kMR;
      const int balancing = side == Side::left ? kMR : kML;
      const double strength =
          subject.bite_strength * rng.uniform(0.9, 1.1) * (0.75 + 0.25 * freshness);
      const double on = close_start + 0.3 * closing;
      const double off = t + 50;
      burst(s.envelope[working], on, off, strength * subject.mvc[working], 25, 30);
      burst(s.envelope[balancing], on + rng.uniform(0, 15), off,
            strength * subject.balancing_share * subject.mvc[balancing], 25, 30);
      const double temporalis_on = close_start + 0.25 * closing;
      const double temporalis = strength * rng.uniform(0.8, 1.0);
      burst(s.envelope[working + 2], temporalis_on, off, temporalis * subject.mvc[working + 2], 25,
            30);
      burst(s.envelope[balancing + 2], temporalis_on, off,
            temporalis * subject.balancing_share * subject.mvc[balancing + 2], 25, 30);
    }
    if (idle) idle_used = true;
    freshness *= 0.9;
    // chew_eval's cycle runs from a held stroke's peak through the next stroke's closing: the
    // two count once, confirmed by the next stroke's burst.
    if (stroke.burst && shape != Shape::held) ++s.cycles;
    after_held = shape == Shape::held;

    // Now and then a small irregular movement of the bolus, well below the threshold.
    if (!after_held && rng.chance(0.08)) {
      const double up = rng.uniform(100, 150), down = rng.uniform(100, 150);
      const double stay = rng.uniform(50, 100);
      const double small_peak = d.last_value() + rng.uniform(0.5, 0.9);
      const double small_bottom = rng.uniform(0.2, 1.0);
      if (t + up + down + stay + end_reserve <= duration) {
        const int working = side == Side::left ? kML : kMR;
        const double start = t;
        d.to(t += up, small_peak);
        d.to(t += down, small_bottom);
        d.to(t += stay, small_bottom);
        burst(s.envelope[working], start + up + 0.3 * down, t, 0.08 * subject.mvc[working], 20, 20);
      }
    }
  }
  s.task_end = t;
  // Back to the rest position: this rise gives the last closing its minimum.
  const double rest_end = s.strokes.empty() ? rest : d.last_value() + rng.uniform(0.5, 0.8);
  d.to(t + 250, rest_end);
  finish(s, duration);
  return s;
}

// A right-left imbalance of 2 to 25 % to either side.
double imbalance(Rng& rng) {
  const double share = rng.uniform(0.02, 0.25);
  return rng.chance(0.5) ? share : -share;
}

}  // namespace

Subject make_subject(Rng& rng) {
  Subject s{};
  s.female = rng.chance(0.5);
  // Each muscle pair's mean MVC and the subject's own right-left imbalance of 2 to 25 % of it
  // (a symmetry, POC, of 75 to 98 % at a clench): masseters of 270 to 600 uV, temporales of
  // 200 to 450 uV.
  const double masseter = rng.uniform(360, 480);
  const double masseter_tilt = imbalance(rng);
  const double temporalis = rng.uniform(270, 360);
  const double temporalis_tilt = imbalance(rng);
  s.mvc[kMR] = masseter * (1 + masseter_tilt);
  s.mvc[kML] = masseter * (1 - masseter_tilt);
  s.mvc[kTR] = temporalis * (1 + temporalis_tilt);
  s.mvc[kTL] = temporalis * (1 - temporalis_tilt);
  for (double& b : s.baseline) b = rng.uniform(1.5, 4.0);
  s.rest_opening = rng.uniform(1.0, 1.6);
  s.max_opening = rng.uniform(42, 55) - (s.female ? 3 : 0);
  s.cycle_period = rng.uniform(620, 800);
  s.bite_strength = rng.uniform(0.35, 0.6);
  s.balancing_share = rng.uniform(0.55, 0.8);
  s.first_peak = rng.uniform(16, 22);
  s.late_peak = rng.uniform(11, 15);
  s.opening_deviation = rng.uniform(-0.04, 0.04);
  // Two subjects in five swerve to one side early in a maximal opening: the path reaches this
  // at a third of the opening and peaks a fifth or so beyond it just after, 1.5 to 4 mm out.
  if (rng.chance(0.4)) {
    const double swerve = rng.uniform(1.25, 3.3);
    s.opening_swerve = rng.chance(0.5) ? swerve : -swerve;
  }
  s.reversed_share = rng.uniform(0, 0.25);
  // Right condyle, left condyle, incisal point, right and left lower first molar (mm): x toward
  // the subject's left, y up, z forward.
  const double anatomy[kPoints][3] = {
      {-50, 35, -90}, {50, 35, -90}, {0, 0, 0}, {-24, 2, -35}, {24, 2, -35}};
  for (int p = 0; p < kPoints; ++p) {
    for (int a = 0; a < 3; ++a) {
      const double position = anatomy[p][a] + rng.uniform(-2, 2);
      s.reference[p][a] = static_cast<long long>(std::floor(position * 100 + 0.5));
    }
  }
  s.born[0] = 1 + static_cast<int>(rng.uniform() * 28);
  s.born[1] = 1 + static_cast<int>(rng.uniform() * 12);
  s.born[2] = 1950 + static_cast<int>(rng.uniform() * 55);
  s.created[0] = 1 + static_cast<int>(rng.uniform() * 28);
  s.created[1] = 1 + static_cast<int>(rng.uniform() * 12);
  s.created[2] = 2024 + static_cast<int>(rng.uniform() * 2);
  return s;
}

long long nominal_duration(int k) {
  static const long long kDurations[kExperiments] = {
      5000,  5000,                                // clenching
      7000,  7000,                                // maximal opening
      6000,  6000,  6000,  6000,                  // lateral right, lateral left, protrusion twice
      5000,  5000,  5000,  5000,                  // swallowing twice, rest twice
      14000, 14000, 14000, 14000, 14000, 14000};  // chewing
  return kDurations[k];
}

const char* border_role(int k) {
  static const char* const kRoles[] = {"max_opening",        "max_opening", "laterotrusion_right",
                                       "laterotrusion_left", "protrusion",  "protrusion"};
  return k >= 2 && k < 8 ? kRoles[k - 2] : nullptr;
}

bool clench_long_enough(double first, double second) { return first >= 3000 && second >= 3000; }

Script plan_experiment(int k, double duration, const Subject& subject, bool idle_cycles, Rng& rng) {
  switch (k) {
    case 0:
      return clenching(duration, subject, 1.0, rng);
    case 1:
      return clenching(duration, subject, rng.uniform(0.9, 1.0), rng);
    case 2:
    case 3:
      return maximal_opening(duration, subject, rng);
    case 4:
      return excursion(duration, subject, -1, rng);
    case 5:
      return excursion(duration, subject, 1, rng);
    case 6:
    case 7:
      return excursion(duration, subject, 0, rng);
    case 8:
    case 9:
      return swallowing(duration, subject, rng);
    case 10:
    case 11:
      return rest(duration, subject, rng);
    default: {
      const Chewing modes[] = {Chewing::free, Chewing::right, Chewing::left};
      return chewing(duration, modes[(k - kFirstChewing) / 2], subject, idle_cycles, rng);
    }
  }
}
