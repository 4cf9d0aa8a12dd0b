#include "reference/read_reference.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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

// The positions in file order, written out field by field.
void set_positions(Entry& e, const long double* v, int count) {
  long double* const fields[15] = {&e.Right_x,   &e.Right_y, &e.Right_z,   &e.Left_x,
                                   &e.Left_y,    &e.Left_z,  &e.Incisal_x, &e.Incisal_y,
                                   &e.Incisal_z, &e.UK6_1_x, &e.UK6_1_y,   &e.UK6_1_z,
                                   &e.UK6_2_x,   &e.UK6_2_y, &e.UK6_2_z};
  for (int k = 0; k < count; ++k) *fields[k] = v[k];
}

bool calibration_line(const char* line, Entry& working) {
  long double v[15];
  if (std::sscanf(line, kCalibration15, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14]) == 15) {
    set_positions(working, v, 15);
    working.type = 0;
    return true;
  }
  if (std::sscanf(line, kCalibration9, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8]) == 9) {
    set_positions(working, v, 9);
    working.type = 1;
    return true;
  }
  return false;
}

// A sample line in the form of the calibration in force; a line that does not fit writes nothing.
bool sample_line(const char* line, Entry& working) {
  long long t;
  long double v[20];
  if (calibration.type == 0) {
    if (std::sscanf(line, kFivePoint, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                    &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15], &v[16], &v[17],
                    &v[18], &v[19]) != 21)
      return false;
    working.time = t;
    set_positions(working, v, 15);
    working.Aux1 = v[15];
    working.Aux2 = v[16];
    working.Aux3 = v[17];
    working.Channel1 = v[18];
    working.Channel2 = v[19];
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
  set_positions(working, v, 9);
  working.Aux1 = v[9];
  working.Aux2 = v[10];
  working.Aux3 = v[11];
  working.Channel1 = v[12];
  working.Channel2 = v[13];
  working.Channel3 = four ? v[14] : 0;
  working.Channel4 = four ? v[15] : 0;
  working.emg_channels = four ? 4 : 2;
  return true;
}

bool blank(const char* line) { return line[std::strspn(line, " \t\n\v\f\r")] == '\0'; }

}  // namespace

ReadResult read_data_reference(const char* path) {
  no_entries = 0;
  no_tracks = 0;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return {ReadStatus::cannot_open, errno};
  static Entry working;  // fields carry over between lines of one file
  working = Entry{};
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
      calibration = working;
      ++result.calibration_lines;
      result.samples_before_calibration = no_entries;
    } else if (sample_line(line, working)) {
      if (no_entries >= kMaxEntries) {
        result.status = ReadStatus::too_many_entries;
        break;
      }
      entries[no_entries] = working;
      if (working.time == 0) {
        if (no_tracks >= kMaxTracks) {
          result.status = ReadStatus::too_many_tracks;
          break;
        }
        tracks[no_tracks].first_entry = no_entries;
        if (no_tracks > 0) tracks[no_tracks - 1].last_entry = no_entries - 1;
        ++no_tracks;
      }
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
  return result;
}
