#include "analysis/evaluation.h"

#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "analysis/checks.h"
#include "analysis/emg.h"
#include "recording/store.h"

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

// Work of a channel summed over the condition's two trials, uV*ms.
long double pair_work(const Evaluation& e, int channel, Condition condition) {
  const int p = first_trial_of(condition);
  return e.experiments[p].work[channel] + e.experiments[p + 1].work[channel];
}

// The mean work of a channel over the condition's two trials, uVs.
long double pair_mean(const Evaluation& e, int channel, Condition condition) {
  const int p = first_trial_of(condition);
  return pair_mean_microvolt_seconds(e.experiments[p].work[channel],
                                     e.experiments[p + 1].work[channel]);
}

// MVC-based cycle work of a channel over the condition's two trials, divided by 20.
long double Wmvc(const MvcCycleWork& work, int channel, Condition condition) {
  const int p = first_trial_of(condition);
  return (work.value[p][channel] + work.value[p + 1][channel]) / 20;
}

// The larger of the MVC of the two clenching experiments; the second's when the first's is not
// greater.
long double larger_mvc(const Evaluation& e, int channel) {
  const long double first = e.experiments[kMvcExperiments[0]].mvc[channel];
  const long double second = e.experiments[kMvcExperiments[1]].mvc[channel];
  return first > second ? first : second;
}

// Cycle count times f over the trial's sample-index difference.
long double trial_frequency(const ExperimentEvaluation& t, long double f) {
  return (t.chewing_cycles * f) / (t.last_sample - t.first_sample);
}

}  // namespace

StrokeSummaries summaries_of(const std::vector<const std::vector<StrokeResult>*>& trials,
                             bool emg) {
  StrokeSummaries s;
  s.all = summarise(trials, false);
  if (emg) s.confirmed = summarise(trials, true);
  return s;
}

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

IndexValues index_values(const Evaluation& e) {
  constexpr int MR = 0, ML = 1, TR = 2, TL = 3;
  const MvcCycleWork& M = e.mvc_cycle_work;
  IndexValues v;
  auto set = [&](IndexRow row, std::initializer_list<long double> values) {
    int n = 0;
    for (long double x : values) v.row[row][n++] = x;
    v.count[row] = n;
  };
  const auto AI = asymmetry_index;
  const auto W = [&e](int channel, Condition condition) {
    return pair_work(e, channel, condition);
  };
  const auto Mean = [&e](int channel, Condition condition) {
    return pair_mean(e, channel, condition);
  };
  set(kAsymmetryRow,
      {AI(W(MR, FK), W(ML, FK)), AI(W(MR, RK), W(ML, RK)), AI(W(MR, LK), W(ML, LK)),
       AI(W(TR, FK), W(TL, FK)), AI(W(TR, RK), W(TL, RK)), AI(W(TR, LK), W(TL, LK))});
  set(kChewingSideRow, {AI(W(MR, RK), W(MR, LK)), AI(W(ML, RK), W(ML, LK)),    // masseters
                        AI(W(TR, RK), W(TR, LK)), AI(W(TL, RK), W(TL, LK))});  // temporales
  set(kMvcRow, {larger_mvc(e, MR), larger_mvc(e, ML), larger_mvc(e, TR), larger_mvc(e, TL)});
  set(kRightWorkRow,
      {Mean(MR, FK), Mean(MR, RK), Mean(MR, LK), Mean(TR, FK), Mean(TR, RK), Mean(TR, LK)});
  set(kLeftWorkRow,
      {Mean(ML, FK), Mean(ML, RK), Mean(ML, LK), Mean(TL, FK), Mean(TL, RK), Mean(TL, LK)});
  set(kMvcAsymmetryRow,
      {AI(Wmvc(M, MR, FK), Wmvc(M, ML, FK)), AI(Wmvc(M, MR, RK), Wmvc(M, ML, RK)),
       AI(Wmvc(M, MR, LK), Wmvc(M, ML, LK)), AI(Wmvc(M, TR, FK), Wmvc(M, TL, FK)),
       AI(Wmvc(M, TR, RK), Wmvc(M, TL, RK)), AI(Wmvc(M, TR, LK), Wmvc(M, TL, LK))});
  set(kMvcRightWorkRow, {Wmvc(M, MR, FK), Wmvc(M, MR, RK), Wmvc(M, MR, LK), Wmvc(M, TR, FK),
                         Wmvc(M, TR, RK), Wmvc(M, TR, LK)});
  set(kMvcLeftWorkRow, {Wmvc(M, ML, FK), Wmvc(M, ML, RK), Wmvc(M, ML, LK), Wmvc(M, TL, FK),
                        Wmvc(M, TL, RK), Wmvc(M, TL, LK)});

  const long double f = e.sampling_rate;
  for (Condition c : kAllConditions) {
    const int p = first_trial_of(c);
    const ExperimentEvaluation& first = e.experiments[p];
    const ExperimentEvaluation& second = e.experiments[p + 1];
    const int count = first.chewing_cycles + second.chewing_cycles;
    v.row[kCycleCountRow][c] = static_cast<long double>(count) / 2;
    const int span = second.last_sample - first.first_sample;  // index difference
    v.row[kDurationRow][c] = span / (f + f);                   // s
    v.row[kFrequencyRow][c] = (trial_frequency(first, f) + trial_frequency(second, f)) / 2;  // Hz
  }
  v.count[kCycleCountRow] = v.count[kDurationRow] = v.count[kFrequencyRow] = kConditions;
  return v;
}

SummaryFigures summary_figures_of(const Evaluation& e, long double emg_threshold,
                                  long double dist_threshold) {
  SummaryFigures s;
  s.threshold_share = (dist_threshold * 100) / e.incisal_max;
  s.emg_threshold_percent = emg_threshold * 100;
  for (int c = 0; c < kChannels; ++c)
    s.threshold_level[c] = threshold_level(emg_threshold, e.run_mvc[c]);
  return s;
}

BalanceTables balance_tables_of(const Evaluation& e) {
  BalanceTables tables;
  for (int k = kFirstChewingTrial; k <= kLastChewingTrial; ++k) {
    const ExperimentEvaluation& t = e.experiments[k];
    tables.trials[k - kFirstChewingTrial] = balance_row(
        trial_label(k), t.threshold_crossings, microvolt_seconds(t.work[0]),
        microvolt_seconds(t.work[1]), microvolt_seconds(t.work[2]), microvolt_seconds(t.work[3]));
  }
  for (Condition c : kAllConditions) {
    const ExperimentEvaluation& p = e.experiments[first_trial_of(c)];
    const ExperimentEvaluation& q = e.experiments[first_trial_of(c) + 1];
    long double mean[kChannels];  // uVs
    for (int ch = 0; ch < kChannels; ++ch) mean[ch] = pair_mean(e, ch, c);
    tables.pairs[c] =
        balance_row(kConditionLabels[c], (p.threshold_crossings + q.threshold_crossings) / 2,
                    mean[0], mean[1], mean[2], mean[3]);
  }
  // Totals over the six trials, summed as stored (uV*ms) in trial order.
  long double work[kChannels] = {0, 0, 0, 0};
  for (int k = kFirstChewingTrial; k <= kLastChewingTrial; ++k)
    for (int ch = 0; ch < kChannels; ++ch) work[ch] += e.experiments[k].work[ch];
  tables.totals = balance_totals(work[0], work[1], work[2], work[3]);
  return tables;
}

EvaluationTable evaluation_table_of(const Evaluation& e) {
  constexpr int kRightTrial = first_trial_of(RK);  // and the one after it
  constexpr int kLeftTrial = first_trial_of(LK);
  const auto& V = e.mvc_cycle_work.value;  // [position][channel], ms
  EvaluationTable table;
  for (int k = kFirstChewingTrial; k < e.no_experiments; ++k) {
    const long double V1 = V[k][0], V2 = V[k][1];  // masseters right, left
    // The sum shown is the tenth of the sum, not the sum of the tenths.
    table.rows.push_back({V1 / 10, V2 / 10, (V1 + V2) / 10, percent_difference(V1, V2)});
  }
  for (int ch = 0; ch < 2; ++ch) {  // the masseters
    long double& balance = ch == 0 ? table.rm_balance : table.lm_balance;
    balance = right_left_balance(V[kRightTrial][ch], V[kRightTrial + 1][ch], V[kLeftTrial][ch],
                                 V[kLeftTrial + 1][ch]);
  }
  return table;
}

void derive_figures(Evaluation& e, long double emg_threshold, long double dist_threshold) {
  for (ExperimentEvaluation& x : e.experiments)
    for (int c = 0; c < kChannels; ++c) x.work_uvs[c] = microvolt_seconds(x.work[c]);
  for (int k = 0; k < e.no_experiments; ++k) {
    ExperimentEvaluation& x = e.experiments[k];
    if (k >= kFirstChewingTrial) {
      x.masseter_balance = work_balance(x.work[0], x.work[1]);
      x.temporalis_balance = work_balance(x.work[2], x.work[3]);
    }
    x.duration_s = (x.last_sample - x.first_sample) / e.sampling_rate;
    for (int c = 0; c < kChannels; ++c)
      x.activity_level[c] = activity_level(emg_threshold, e.run_mvc[c], x.nl[c]);
  }
  e.indices = index_values(e);
  e.summary_figures = summary_figures_of(e, emg_threshold, dist_threshold);
  e.balances = balance_tables_of(e);
  e.evaluation_table = evaluation_table_of(e);
}

Evaluation evaluate(long double emg_threshold, long double dist_threshold) {
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
    for (int c = 0; c < kChannels; ++c) {
      e.experiments[k].mvc_window[c] = tracks[k].mvc_window[c];
      e.experiments[k].nl_window[c] = tracks[k].nl_window[c];
    }
  }
  // Without the incisal positions (the classic report's reading) there are no strokes.
  e.strokes_found = samples.positions_kept;
  if (e.strokes_found) e.frame = jaw_frame();
  e.emg = !samples.channel[0].empty() || !samples.channel[1].empty();
  for (int k = kFirstChewingTrial; k < e.no_experiments; ++k) {
    TrialEvaluation trial;
    trial.position = k;
    for (const ChewingCycle& cycle : chewing_cycles[k]) trial.cycles.push_back(figures_of(cycle));
    if (e.strokes_found) {
      trial.strokes = measure_strokes(e.frame, tracks[k], e.emg, trial.cycles);
      trial.summary = summaries_of({&trial.strokes}, e.emg);
    }
    e.trials.push_back(std::move(trial));
  }
  for (Condition c : kAllConditions) {
    const int first = first_trial_of(c) - kFirstChewingTrial;
    if (e.strokes_found && first + 1 < static_cast<int>(e.trials.size()))
      e.conditions[c] =
          summaries_of({&e.trials[first].strokes, &e.trials[first + 1].strokes}, e.emg);
  }
  e.mvc_cycle_work = mvc_cycle_work_of(e.trials);
  derive_figures(e, emg_threshold, dist_threshold);
  return e;
}

Evaluation evaluate(long double emg_threshold, long double dist_threshold, const RawFacts& raw) {
  Evaluation e = evaluate(emg_threshold, dist_threshold);
  e.findings = check_recording(raw, e);
  return e;
}
