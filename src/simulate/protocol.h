// The simulated subject and the plan of each experiment of the recording protocol.
//
// A plan (Script) gives, over the experiment's time in ms, the incisal distance from the
// calibrated reference position (mm), the direction in which the incisal point is displaced (in
// the subject's jaw frame: lateral along the axis through the two condyle points), and the
// activation envelope of each EMG channel (uV RMS). The sample writer (recording.h) turns it
// into positions of all five tracked points, moved as one rigid body, and raw EMG with noise.
//
// Experiments, 0-based: 0-1 maximal clenching, 2-3 maximal opening, 4 lateral movement to the
// right, 5 to the left, 6-7 protrusion, 8-9 swallowing, 10-11 rest, 12-17 chewing FK1 FK2 RK1 RK2
// LK1 LK2 (free, right side, left side).
#pragma once

#include <vector>

#include "curve.h"
#include "random.h"

constexpr int kExperiments = 18;
constexpr int kChannels = 4;  // masseter right, masseter left, temporalis right, temporalis left
constexpr int kPoints = 5;    // right and left condyle, incisal point, right and left lower molar
constexpr int kRightCondyle = 0, kLeftCondyle = 1, kIncisal = 2;  // their positions in that order
constexpr int kFirstChewing = 12;

struct Subject {
  double mvc[kChannels];            // uV RMS of a maximal clench
  double baseline[kChannels];       // uV RMS of the electrode and amplifier noise
  double rest_opening;              // mm, incisal distance of the relaxed jaw
  double max_opening;               // mm
  double cycle_period;              // ms, mean chewing cycle
  double bite_strength;             // working-side burst of a chewing cycle, share of the MVC
  double balancing_share;           // balancing-side burst against the working-side burst
  double first_peak;                // mm, opening of the first chewing cycles (large bolus)
  double late_peak;                 // mm, opening the cycles settle to as the bolus softens
  double opening_deviation;         // lateral part of the incisal direction on wide opening
  double opening_swerve;            // mm, early sideways departure of a maximal opening (+ left)
  double reversed_share;            // chance that a chewing stroke runs its loop the other way
  long long reference[kPoints][3];  // calibrated positions, 1/100 mm
  bool female;
  int born[3];     // day, month, year
  int created[3];  // day, month, year
};

// How a stroke's distance runs: one peak; two peaks with a shallow dip between them; or a
// closing that stops on the bolus above the cycle threshold, the jaw reopening from there.
enum class Shape { single, double_peak, held };

// One opening-closing stroke of a chewing trial: chewing strokes, idle strokes and the bolus
// insertion alike (the small irregular movements and the final rise to rest are none).
struct Stroke {
  double open_start = 0;  // ms, the knot where the rise toward the stroke's maximum begins
  double occlusion = 0;   // ms, where the closing ends and the occlusal pause or the hold begins
  bool left = false;      // working side: the subject's left (else right)
  bool burst = false;     // carries a masseter burst (else an idle stroke or the insertion)
  bool reversed = false;  // opens out to the working side and closes near the midline
  Shape shape = Shape::single;
};

struct Script {
  Curve distance;             // incisal distance from the reference position, mm
  Curve lateral;              // lateral part of the incisal direction, + toward the subject's left
  double vertical = -0.92;    // vertical part of the incisal direction (+ up)
  double sagittal = -0.38;    // sagittal part (+ forward)
  Curve envelope[kChannels];  // EMG activation, uV RMS
  double plateau[kChannels] = {};  // clenching only: each envelope's level between its ramps
  double plateau_start = 0, plateau_end = 0;  // ms, clenching only: between the ramps
  double task_start = 0;                      // ms; Aux1 is 1 from here ...
  double task_end = 0;                        // ... to here
  int cycles = 0;               // chewing cycles chew_eval must count (chewing experiments only)
  std::vector<Stroke> strokes;  // chewing experiments only, in time order
};

Subject make_subject(Rng& rng);

// The duration of experiment `k` in ms at --scale 1; all of them together last kProtocolDuration.
long long nominal_duration(int k);
constexpr long long kProtocolDuration = 152000;

// The plan of experiment `k` lasting `duration` ms. `idle_cycles` allows chewing cycles without
// masseter activity (not part of the ground truth); they are only unambiguous when the clenching
// experiments are long enough for a proper MVC.
Script plan_experiment(int k, double duration, const Subject& subject, bool idle_cycles, Rng& rng);

// The border movement experiment `k` makes, as the truth and examples/protocol.csv name it:
// "max_opening", "laterotrusion_right", "laterotrusion_left" or "protrusion"; else nullptr.
const char* border_role(int k);

// Whether clenching experiments of these durations (ms) hold the clench long enough.
bool clench_long_enough(double first, double second);
