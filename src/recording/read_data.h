// The data file reader.
//
// Reads  a recording text file: header lines (Person, Sex, Born, Creation date, Frequency),
//        calibration lines ("Calibr" and 15 or 9 numbers) and sample lines (a time stamp in ms and
//        20, 16 or 14 numbers: positions in mm, three auxiliary values, EMG in uV).
// Writes samples (time, raw EMG (only some experiments' with experiment_read, below), the
//        incisal distance; the incisal position for the study), no_entries,
//        tracks[].first_entry/last_entry, no_tracks, calibration, sample_forms, distance_max,
//        raw_positions (for the study) and the five header texts.
// A sample with time 0 opens an experiment. Unrecognised lines are skipped.
//
// Positions are not stored: each sample's are measured from the calibration as it is read (as the
// distance stage defines the distances), into the incisal distance and each experiment's largest
// distance of each point. The last calibration line is the reference of every sample; where one
// changes it after samples were read, the file is read a second time to measure them anew.
#pragma once

#include <functional>

enum class ReadStatus {
  ok,
  calibration_error,  // a "Calibr" line with fewer than 9 readable numbers
  too_many_entries,   // an accepted sample beyond kMaxEntries
  too_many_tracks,    // an experiment beyond kMaxTracks
  cannot_open,        // the file could not be opened (sys_errno says why)
  read_error,         // reading failed midway, e.g. the path is a folder (sys_errno says why)
  not_regular_file,   // a FIFO, a device or a socket: refused unopened (file_type says which)
};

struct ReadResult {
  ReadStatus status = ReadStatus::ok;
  int sys_errno = 0;
  int skipped_lines = 0;      // line pieces that are neither blank nor of any recognised form
  int calibration_lines = 0;  // "Calibr" lines read
  int samples_before_calibration = 0;  // samples accepted before the last of them
  unsigned int file_type = 0;          // the S_IFMT bits of st_mode, for not_regular_file
  // The sample lines stored in each form: [calibration type in force: 0 five points, 1 three]
  // [0 two EMG channels, 1 four], with the file line of the first of them (from 1).
  struct FormTally {
    int samples = 0;
    long long first_line = 0;
  };
  FormTally forms[2][2] = {};
};

// What the reader gathers beyond what the report needs: the study's data checks read the facts
// of the raw positions, its kinematics and check pages the incisal position of every sample.
enum class SampleDetail { report, study };

// Called with an experiment's index once its last sample is read (first pass only, in order;
// where reading fails, not for the experiment it fails in).
using ExperimentRead = std::function<void(int experiment)>;

// The store must hold its process-start zeros, or those reset_store() gives. Only a regular file
// (or a folder, whose reading fails) is opened; anything else is refused after a stat, unopened.
// With experiment_read, the channel columns keep only the experiments experiment_channel() says
// (samples.channels_kept is false): each other experiment's values are there only while
// experiment_read(t) runs, and the next experiment's first sample takes their place.
ReadResult read_data(const char* path, SampleDetail detail = SampleDetail::report,
                     const ExperimentRead& experiment_read = {});

// Line pieces as the reader classifies them: at most this many characters, newline included.
constexpr int kLinePiece = 2047;
