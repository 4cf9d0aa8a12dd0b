// EMG conditioning: trailing RMS smoothing, MVC and noise levels, burst integrals.
//
// Reads  samples.time (ms), samples.channel (raw uV), tracks[].first_entry/last_entry.
// Writes samples.channel (RMS, uV, in place), samples.bursts (uV*ms; none for a channel whose
//        column is empty),
//        tracks[].Channel1_mvc..4 and Channel1_nl..4 (uV), the run-wide Channel1_mvc..4 (from
//        positions 0 and 1) and Channel1_nl..4 (from positions 12 on), in uV, and for every
//        experiment and channel tracks[].mvc_window and nl_window: where its MVC and noise level
//        came from.
// Window lengths are measured on the time stamps. A negative length leaves its windows empty:
// a negative rms_time smooths every value to 0, a negative nl_time or mvc_time leaves every
// noise level at 1000 and every MVC at 0.
#pragma once

void preprocessing_emg(long long rms_time /* ms */, long long mvc_time /* ms */,
                       long long nl_time /* ms */, long double emg_threshold /* fraction */);
