#include "analysis/evaluation.h"

#include <cstdlib>
#include <initializer_list>
#include <utility>

namespace {

// Speeds between neighbouring samples of the cycle, from the time stamps:
// (distance change x 1000) / ms.
void add_speeds(CycleResult& figures) {
  for (int i = figures.cycle.start + 1; i <= figures.cycle.end; ++i) {
    const long double ms = elapsed_value(samples.time[i], samples.time[i - 1]);
    const long double rising =
        ((samples.incisal_dist[i] - samples.incisal_dist[i - 1]) * 1000) / ms;
    const long double falling =
        ((samples.incisal_dist[i - 1] - samples.incisal_dist[i]) * 1000) / ms;
    if (rising > figures.opening_speed) figures.opening_speed = rising;
    if (falling > figures.closing_speed) figures.closing_speed = falling;
  }
}

// The cycle's figures, without kinematics.
CycleResult figures_of(const ChewingCycle& cycle) {
  CycleResult figures;
  figures.cycle = cycle;
  figures.start_time = samples.time[cycle.start];
  figures.end_time = samples.time[cycle.end];
  figures.duration_ms = elapsed(samples.time[cycle.end], samples.time[cycle.start]);
  // The largest distance's last sample: a distance is never -0, so the first and the last
  // sample of the largest hold the same value.
  int peak = cycle.start;
  for (int i = cycle.start + 1; i <= cycle.end; ++i)
    if (samples.incisal_dist[i] >= samples.incisal_dist[peak]) peak = i;
  figures.peak = peak;
  figures.peak_time = samples.time[peak];
  figures.incisal_max = samples.incisal_dist[peak];
  figures.end_distance = samples.incisal_dist[cycle.end];
  figures.amplitude = figures.incisal_max - samples.incisal_dist[cycle.end];
  add_speeds(figures);
  return figures;
}

// ((right - left) * 100) / (right + left) on the stored work, or 0 unless the sum is above 0
// (a NaN sum fails the test as well).
long double work_balance(long double right, long double left) {
  if (right + left > 0) return ((right - left) * 100) / (right + left);
  return 0;
}

// Work of a channel summed over the condition's two trials, uV*ms.
long double W(int channel, Condition condition) {
  const int p = first_trial_of(condition);
  return tracks[p].*kChannelWork[channel] + tracks[p + 1].*kChannelWork[channel];
}

// MVC-based cycle work of a channel over the condition's two trials, divided by 20.
long double Wmvc(const MvcCycleWork& work, int channel, Condition condition) {
  const int p = first_trial_of(condition);
  return (work.value[p][channel] + work.value[p + 1][channel]) / 20;
}

// ((a - b) / (a + b)) * 100 when a + b is above 1, else 0 (also for a NaN sum).
long double AI(long double a, long double b) {
  if (a + b > 1) return ((a - b) / (a + b)) * 100;
  return 0;
}

// The larger of the MVC of the two clenching experiments; the second's when the first's is not
// greater.
long double larger_mvc(int channel) {
  const long double first = tracks[kMvcExperiments[0]].*kChannelMvc[channel];
  const long double second = tracks[kMvcExperiments[1]].*kChannelMvc[channel];
  return first > second ? first : second;
}

// Cycle count times f over the trial's sample-index difference.
long double trial_frequency(int position, long double f) {
  const Track& t = tracks[position];
  return (t.no_chewing_cycles * f) / (t.last_entry - t.first_entry);
}

}  // namespace

long double sampling_rate() { return static_cast<long double>(std::atof(frequency)); }

MvcCycleWork mvc_cycle_work_of(const std::vector<TrialEvaluation>& trials) {
  MvcCycleWork work;
  const long double mvc[kChannels] = {Channel1_mvc, Channel2_mvc, Channel3_mvc, Channel4_mvc};
  for (const TrialEvaluation& trial : trials) {
    long double* sum = work.value[trial.position];
    // Every channel decides for itself whether its maximum counts.
    for (const CycleResult& figures : trial.cycles) {
      for (int c = 0; c < kChannels; ++c)
        if (figures.cycle.burst_max[c] > kConfirmationFactor * mvc[c])
          sum[c] += figures.cycle.burst_max[c];
    }
    for (int c = 0; c < kChannels; ++c) sum[c] /= mvc[c];
  }
  return work;
}

IndexValues index_values(const MvcCycleWork& mvc_cycle_work) {
  constexpr int MR = 0, ML = 1, TR = 2, TL = 3;
  const MvcCycleWork& M = mvc_cycle_work;
  IndexValues v;
  auto set = [&](int row, std::initializer_list<long double> values) {
    int n = 0;
    for (long double x : values) v.row[row][n++] = x;
    v.count[row] = n;
  };
  set(1, {AI(W(MR, FK), W(ML, FK)), AI(W(MR, RK), W(ML, RK)), AI(W(MR, LK), W(ML, LK)),
          AI(W(TR, FK), W(TL, FK)), AI(W(TR, RK), W(TL, RK)), AI(W(TR, LK), W(TL, LK))});
  set(2, {AI(W(MR, RK), W(MR, LK)), AI(W(ML, RK), W(ML, LK)),    // masseters
          AI(W(TR, RK), W(TR, LK)), AI(W(TL, RK), W(TL, LK))});  // temporales
  set(3, {larger_mvc(MR), larger_mvc(ML), larger_mvc(TR), larger_mvc(TL)});
  // Mean work of the two trials in uVs: pair sum / 2000.
  set(4, {W(MR, FK) / 2000, W(MR, RK) / 2000, W(MR, LK) / 2000, W(TR, FK) / 2000, W(TR, RK) / 2000,
          W(TR, LK) / 2000});
  set(5, {W(ML, FK) / 2000, W(ML, RK) / 2000, W(ML, LK) / 2000, W(TL, FK) / 2000, W(TL, RK) / 2000,
          W(TL, LK) / 2000});
  set(6, {AI(Wmvc(M, MR, FK), Wmvc(M, ML, FK)), AI(Wmvc(M, MR, RK), Wmvc(M, ML, RK)),
          AI(Wmvc(M, MR, LK), Wmvc(M, ML, LK)), AI(Wmvc(M, TR, FK), Wmvc(M, TL, FK)),
          AI(Wmvc(M, TR, RK), Wmvc(M, TL, RK)), AI(Wmvc(M, TR, LK), Wmvc(M, TL, LK))});
  set(7, {Wmvc(M, MR, FK), Wmvc(M, MR, RK), Wmvc(M, MR, LK), Wmvc(M, TR, FK), Wmvc(M, TR, RK),
          Wmvc(M, TR, LK)});
  set(8, {Wmvc(M, ML, FK), Wmvc(M, ML, RK), Wmvc(M, ML, LK), Wmvc(M, TL, FK), Wmvc(M, TL, RK),
          Wmvc(M, TL, LK)});

  const long double f = sampling_rate();
  for (Condition c : kAllConditions) {
    const int p = first_trial_of(c);
    const Track& first = tracks[p];
    const Track& second = tracks[p + 1];
    const int count = first.no_chewing_cycles + second.no_chewing_cycles;
    v.row[9][c] = static_cast<long double>(count) / 2;
    const int samples = second.last_entry - first.first_entry;               // index difference
    v.row[10][c] = samples / (f + f);                                        // s
    v.row[11][c] = (trial_frequency(p, f) + trial_frequency(p + 1, f)) / 2;  // Hz
  }
  v.count[9] = v.count[10] = v.count[11] = kConditions;
  return v;
}

Evaluation evaluate(long double emg_threshold) {
  Evaluation e;
  e.header = {person, sex, born, creation, frequency};
  e.no_entries = no_entries;
  e.calibration_type = calibration.type;
  e.no_tracks = no_tracks;
  for (int c = 0; c < kChannels; ++c) {
    e.run_mvc[c] = *kRunMvc[c];
    e.run_nl[c] = *kRunNl[c];
  }
  e.right_max = Right_max;
  e.left_max = Left_max;
  e.incisal_max = Incisal_max;
  for (int k = 0; k < kMaxTracks; ++k) {
    const Track& t = tracks[k];
    ExperimentEvaluation& x = e.experiments[k];
    x.first_sample = t.first_entry;
    x.last_sample = t.last_entry;
    x.threshold_crossings = t.no_cycles;
    x.chewing_cycles = t.no_chewing_cycles;
    x.right_max = t.Right_max;
    x.left_max = t.Left_max;
    x.incisal_max = t.Incisal_max;
    for (int c = 0; c < kChannels; ++c) {
      x.mvc[c] = t.*kChannelMvc[c];
      x.nl[c] = t.*kChannelNl[c];
      x.work[c] = t.*kChannelWork[c];
    }
  }
  e.no_experiments = no_tracks < kMaxTracks ? no_tracks : kMaxTracks;
  e.sampling_rate = sampling_rate();
  e.form = recording_form();
  for (int k = 0; k < e.no_experiments; ++k) {
    const Track& t = tracks[k];
    ExperimentEvaluation& x = e.experiments[k];
    if (k >= kFirstChewingTrial) {
      x.masseter_balance = work_balance(t.Channel1_work, t.Channel2_work);
      x.temporalis_balance = work_balance(t.Channel3_work, t.Channel4_work);
    }
    x.duration_s = (t.last_entry - t.first_entry) / e.sampling_rate;
    for (int c = 0; c < kChannels; ++c) {
      x.activity_level[c] = emg_threshold * *kRunMvc[c] + t.*kChannelNl[c];
      x.mvc_window[c] = t.mvc_window[c];
      x.nl_window[c] = t.nl_window[c];
    }
  }
  // Without the incisal positions (the classic report's reading) there are no kinematics.
  if (samples.positions_kept) e.frame = jaw_frame();
  for (int k = kFirstChewingTrial; k < e.no_experiments; ++k) {
    TrialEvaluation trial;
    trial.position = k;
    for (const ChewingCycle& cycle : chewing_cycles[k]) trial.cycles.push_back(figures_of(cycle));
    if (e.frame.valid) {
      add_kinematics(e.frame, tracks[k], trial.cycles);
      trial.summary = summarise({&trial.cycles});
    }
    e.trials.push_back(std::move(trial));
  }
  for (Condition c : kAllConditions) {
    const int first = first_trial_of(c) - kFirstChewingTrial;
    if (e.frame.valid && first + 1 < static_cast<int>(e.trials.size()))
      e.conditions[c] = summarise({&e.trials[first].cycles, &e.trials[first + 1].cycles});
  }
  e.mvc_cycle_work = mvc_cycle_work_of(e.trials);
  e.indices = index_values(e.mvc_cycle_work);
  return e;
}

Evaluation evaluate(long double emg_threshold, const RawFacts& raw) {
  Evaluation e = evaluate(emg_threshold);
  e.findings = check_recording(raw, e);
  return e;
}
