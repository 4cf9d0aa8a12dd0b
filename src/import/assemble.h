// The mapping's inputs turned into one recording on a single time base: positions in mm
// (interpolated linearly onto the EMG's rate where that is higher), EMG in uV, the experiments'
// first samples and the calibration.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "import/mapping.h"

// Time stamps are whole ms.
constexpr long long kMsPerSecond = 1000;

struct Imported {
  double rate = 0;   // Hz
  int points = 3;    // 3 or 5
  int channels = 2;  // EMG channels written: 2 or 4 (zeros where the mapping names none)
  bool has_aux = false;
  std::size_t rows = 0;
  std::vector<double> positions;    // rows x 3 * points, mm
  std::vector<double> aux;          // rows x 3 when has_aux
  std::vector<double> emg;          // rows x channels, uV
  std::vector<std::size_t> starts;  // each experiment's first row; rows before the first unused
  std::vector<double> calibration;  // 3 * points, mm
  std::vector<std::string> warnings;
};

// Reads every input the mapping names. Anything that does not fit ends the import with an
// ImportError; nothing is written by it.
Imported assemble(const Mapping& mapping);

// A file the mapping names, found relative to the mapping's folder.
std::string input_path(const Mapping& mapping, const std::string& name);
