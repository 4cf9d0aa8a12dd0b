#include "reference/read_reference.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "recording/store.h"

namespace {

constexpr char kCalibration15[] =
    "Calibr %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kCalibration9[] = "Calibr %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kFivePoint[] =
    "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kThreePoint4[] =
    "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kThreePoint2[] = "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";

constexpr int kPiece = 2047;  // characters of a line piece, newline included
static_assert(kPiece == kLinePiece, "the pieces are those the reader promises");

// A character of the text: a "\r\n" pair reads as "\n", a lone "\r" stays.
int next_char(std::FILE* file) {
  int c = std::getc(file);
  if (c != '\r') return c;
  int next = std::getc(file);
  if (next == '\n') return '\n';
  if (next != EOF) std::ungetc(next, file);
  return '\r';
}

// The next piece: up to and including the newline, at most kPiece characters.
bool next_piece(std::FILE* file, char (&line)[kPiece + 1]) {
  int length = 0;
  while (length < kPiece) {
    int c = next_char(file);
    if (c == EOF) break;
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line[length] = '\0';
  return length > 0;
}

bool begins_with(const char* line, const char* keyword) {
  return std::strncmp(line, keyword, std::strlen(keyword)) == 0;
}

// The header text from `column` on, cut to kHeaderSize - 1 characters; empty for a shorter line.
void header(char* text, const char* line, std::size_t column) {
  std::size_t length = std::strlen(line);
  std::size_t k = 0;
  for (std::size_t c = column; c < length && k < kHeaderSize - 1; ++c) text[k++] = line[c];
  text[k] = '\0';
}

// A sample as its line gives it; fields a line does not carry keep the last line's.
struct Record {
  long long time = 0;
  long double position[kPositionFields] = {};
  long double channel[kChannels] = {};
  int type = 0;  // the calibration type in force
  int emg_channels = 0;
  long double reference[kPositionFields] = {};  // the calibration in force
};

bool calibration_line(const char* line, Record& working) {
  long double v[15];
  if (std::sscanf(line, kCalibration15, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14]) == 15) {
    std::copy(v, v + 15, working.position);
    working.type = 0;
    return true;
  }
  if (std::sscanf(line, kCalibration9, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8]) == 9) {
    std::copy(v, v + 9, working.position);
    working.type = 1;
    return true;
  }
  return false;
}

// A sample line in the form of the calibration in force; a line that does not fit writes nothing.
bool sample_line(const char* line, Record& working) {
  long long t;
  long double v[20];
  if (calibration.type == 0) {
    if (std::sscanf(line, kFivePoint, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                    &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15], &v[16], &v[17],
                    &v[18], &v[19]) != 21)
      return false;
    working.time = t;
    std::copy(v, v + 15, working.position);
    working.channel[0] = v[18];
    working.channel[1] = v[19];
    working.emg_channels = 2;
    return true;
  }
  bool four =
      std::sscanf(line, kThreePoint4, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15]) == 17;
  if (!four && std::sscanf(line, kThreePoint2, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                           &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13]) != 15)
    return false;
  working.time = t;
  std::copy(v, v + 9, working.position);
  working.channel[0] = v[12];
  working.channel[1] = v[13];
  working.channel[2] = four ? v[14] : 0;
  working.channel[3] = four ? v[15] : 0;
  working.emg_channels = four ? 4 : 2;
  return true;
}

long double length(const long double* v) {
  return std::sqrt((v[0] * v[0] + v[1] * v[1]) + v[2] * v[2]);
}

// The distance between two points given as x, y, z each.
long double distance(const long double* a, const long double* b) {
  const long double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
  return length(d);
}

// The store's columns and facts from the records: positions measured from the last calibration
// (once the whole file is read; from the one in force, where reading ended early), each
// experiment's largest distances and, for the study, its raw position facts.
void fill_store(const std::vector<Record>& records, bool complete, SampleDetail detail) {
  for (const Record& r : records) {
    samples.time.push_back(r.time);
    for (int c = 0; c < kChannels; ++c) samples.channel[c].push_back(r.channel[c]);
    if (r.type != 0) sample_forms.three_point = true;
    if (r.emg_channels != kChannels) sample_forms.two_channels = true;
    const long double* reference = complete ? calibration.position : r.reference;
    long double relative[kPositionFields];
    for (int k = 0; k < kPositionFields; ++k) relative[k] = r.position[k] - reference[k];
    const long double* incisal = relative + 3 * kIncisal;
    if (detail == SampleDetail::study) {
      samples.incisal_x.push_back(incisal[0]);
      samples.incisal_y.push_back(incisal[1]);
      samples.incisal_z.push_back(incisal[2]);
    }
    samples.incisal_dist.push_back(length(incisal));
    samples.incisal_dir.push_back(0);
    samples.cycle_status.push_back(0);
  }
  int t = -1;  // the experiment of record i
  for (int i = 0; i < static_cast<int>(records.size()); ++i) {
    const Record& r = records[static_cast<std::size_t>(i)];
    if (r.time == 0) ++t;
    if (t < 0) continue;
    const long double* reference = complete ? calibration.position : r.reference;
    for (int p = 0; p < kPoints; ++p) {
      long double relative[3];
      for (int k = 0; k < 3; ++k) relative[k] = r.position[3 * p + k] - reference[3 * p + k];
      const long double d = length(relative);
      if (d > distance_max[t][p]) distance_max[t][p] = d;
    }
    if (detail != SampleDetail::study) continue;
    RawPositions& raw = raw_positions[t];
    for (int k = 0; k < kPositionFields; ++k)
      if (!std::isfinite(r.position[k]) && raw.non_finite[k]++ == 0) raw.first_non_finite[k] = i;
    for (int p = 0; p < checked_pairs(r.type != 0); ++p) {
      const long double d = distance(r.position + 3 * kPairs[p].a, r.position + 3 * kPairs[p].b);
      if (!std::isfinite(d)) continue;
      if (!raw.pair_seen[p] || d < raw.pair_min[p]) raw.pair_min[p] = d;
      if (!raw.pair_seen[p] || d > raw.pair_max[p]) raw.pair_max[p] = d;
      raw.pair_seen[p] = true;
    }
  }
}

bool blank(const char* line) { return line[std::strspn(line, " \t\n\v\f\r")] == '\0'; }

}  // namespace

ReadResult read_data_reference(const char* path, SampleDetail detail) {
  no_entries = 0;
  no_tracks = 0;
  samples.positions_kept = detail == SampleDetail::study;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return {ReadStatus::cannot_open, errno};
  Record working;
  std::vector<Record> records;
  static char line[kPiece + 1];
  ReadResult result;
  while (next_piece(file, line)) {
    if (begins_with(line, "Person")) {
      header(person, line, 7);
    } else if (begins_with(line, "Sex")) {
      header(sex, line, 4);
    } else if (begins_with(line, "Born")) {
      header(born, line, 5);
    } else if (begins_with(line, "Creation date")) {
      header(creation, line, 14);
    } else if (begins_with(line, "Frequency")) {
      header(frequency, line, 13);
    } else if (begins_with(line, "Calibr")) {
      if (!calibration_line(line, working)) {
        result.status = ReadStatus::calibration_error;
        break;
      }
      std::copy(working.position, working.position + kPositionFields, calibration.position);
      std::copy(working.position, working.position + kPositionFields, working.reference);
      calibration.type = working.type;
      ++result.calibration_lines;
      result.samples_before_calibration = no_entries;
    } else if (sample_line(line, working)) {
      if (no_entries >= kMaxEntries) {
        result.status = ReadStatus::too_many_entries;
        break;
      }
      if (working.time == 0) {
        if (no_tracks >= kMaxTracks) {
          result.status = ReadStatus::too_many_tracks;
          break;
        }
        tracks[no_tracks].first_entry = no_entries;
        if (no_tracks > 0) tracks[no_tracks - 1].last_entry = no_entries - 1;
        ++no_tracks;
      }
      records.push_back(working);
      ++no_entries;
    } else if (!blank(line)) {
      ++result.skipped_lines;
    }
  }
  if (result.status == ReadStatus::ok && std::ferror(file) != 0)
    result = {ReadStatus::read_error, errno};
  std::fclose(file);
  if (result.status == ReadStatus::ok && no_tracks > 0)
    tracks[no_tracks - 1].last_entry = no_entries - 1;
  fill_store(records, result.status == ReadStatus::ok, detail);
  return result;
}
