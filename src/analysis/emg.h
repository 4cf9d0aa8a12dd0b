// EMG conditioning: trailing RMS smoothing, MVC and noise levels, burst integrals.
//
// Reads  entries[].time (ms), entries[].Channel1..4 (raw uV), tracks[].first_entry/last_entry.
// Writes entries[].Channel1..4 (RMS, uV, in place), entries[].Channel1_burst..4 (uV*ms),
//        tracks[].Channel1_mvc..4 and Channel1_nl..4 (uV), the run-wide Channel1_mvc..4 (from
//        positions 0 and 1) and Channel1_nl..4 (from positions 12 on), in uV.
#pragma once

void preprocessing_emg(long long rms_time /* ms */, long long mvc_time /* ms */,
                       long long nl_time /* ms */, long double emg_threshold /* fraction */);
