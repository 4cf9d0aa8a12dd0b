#include <cerrno>
#include <cstdio>
#include <cstring>

#include "recording/store.h"
#include "reference/reference.h"

namespace {

constexpr char kCalibration15[] =
    "Calibr %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kCalibration9[] = "Calibr %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kFivePoint[] =
    "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kThreePoint4[] =
    "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";
constexpr char kThreePoint2[] = "%lld %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf %Lf";

// Reads the file as a text stream does: a "\r\n" pair becomes "\n", a lone "\r" stays.
int next_char(std::FILE* file) {
  int c = std::getc(file);
  if (c != '\r') return c;
  int next = std::getc(file);
  if (next == '\n') return '\n';
  if (next != EOF) std::ungetc(next, file);
  return '\r';
}

// One line piece of at most kLinePiece characters, newline included; false at end of file.
bool next_piece(std::FILE* file, char (&line)[kLinePiece + 1]) {
  int length = 0;
  while (length < kLinePiece) {
    int c = next_char(file);
    if (c == EOF) break;
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line[length] = '\0';
  return length > 0;
}

void store_header(char* text, const char* line, std::size_t column) {
  if (std::strlen(line) <= column) {
    text[0] = '\0';
    return;
  }
  std::size_t length = std::strlen(line + column);
  if (length > kHeaderSize - 1) length = kHeaderSize - 1;
  std::memcpy(text, line + column, length);
  text[length] = '\0';
}

bool is(const char* line, const char* keyword) {
  return std::strncmp(line, keyword, std::strlen(keyword)) == 0;
}

// The position fields in file order: five points, x y z each.
long double* position(Entry& e, int index) {
  long double* fields[15] = {&e.Right_x, &e.Right_y,   &e.Right_z,   &e.Left_x,    &e.Left_y,
                             &e.Left_z,  &e.Incisal_x, &e.Incisal_y, &e.Incisal_z, &e.UK6_1_x,
                             &e.UK6_1_y, &e.UK6_1_z,   &e.UK6_2_x,   &e.UK6_2_y,   &e.UK6_2_z};
  return fields[index];
}

// Scans the calibration into `working`; false when fewer than 9 numbers convert.
bool scan_calibration(const char* line, Entry& working) {
  long double v[15];
  if (std::sscanf(line, kCalibration15, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14]) == 15) {
    for (int k = 0; k < 15; ++k) *position(working, k) = v[k];
    working.type = 0;
    return true;
  }
  if (std::sscanf(line, kCalibration9, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8]) == 9) {
    for (int k = 0; k < 9; ++k) *position(working, k) = v[k];
    working.type = 1;
    return true;
  }
  return false;
}

// Scans a sample line in the form of the current calibration type into `working`; a line that
// does not fit writes nothing.
bool scan_sample(const char* line, Entry& working) {
  long long t;
  long double v[20];
  if (calibration.type == 0) {
    if (std::sscanf(line, kFivePoint, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                    &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15], &v[16], &v[17],
                    &v[18], &v[19]) != 21)
      return false;
    working.time = t;
    for (int k = 0; k < 15; ++k) *position(working, k) = v[k];
    working.Aux1 = v[15];
    working.Aux2 = v[16];
    working.Aux3 = v[17];
    working.Channel1 = v[18];
    working.Channel2 = v[19];
    return true;
  }
  int n = std::sscanf(line, kThreePoint4, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                      &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15]);
  bool four_channels = n == 17;
  if (!four_channels &&
      std::sscanf(line, kThreePoint2, &t, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8], &v[9], &v[10], &v[11], &v[12], &v[13]) != 15)
    return false;
  working.time = t;
  for (int k = 0; k < 9; ++k) *position(working, k) = v[k];
  working.Aux1 = v[9];
  working.Aux2 = v[10];
  working.Aux3 = v[11];
  working.Channel1 = v[12];
  working.Channel2 = v[13];
  working.Channel3 = four_channels ? v[14] : 0;
  working.Channel4 = four_channels ? v[15] : 0;
  return true;
}

}  // namespace

ReadResult read_data_reference(const char* path) {
  no_entries = 0;
  no_tracks = 0;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return {ReadStatus::cannot_open, errno};

  static Entry working;  // fields carry over between lines of one file
  working = Entry{};
  static char line[kLinePiece + 1];
  ReadResult result;
  while (next_piece(file, line)) {
    if (is(line, "Person")) {
      store_header(person, line, 7);
    } else if (is(line, "Sex")) {
      store_header(sex, line, 4);
    } else if (is(line, "Born")) {
      store_header(born, line, 5);
    } else if (is(line, "Creation date")) {
      store_header(creation, line, 14);
    } else if (is(line, "Frequency")) {
      store_header(frequency, line, 13);
    } else if (is(line, "Calibr")) {
      if (!scan_calibration(line, working)) {
        result.status = ReadStatus::calibration_error;
        break;
      }
      calibration = working;
    } else if (scan_sample(line, working)) {
      if (no_entries > kMaxEntries - 1) {
        result.status = ReadStatus::too_many_entries;
        break;
      }
      entries[no_entries] = working;
      if (working.time == 0) {
        if (no_tracks > kMaxTracks - 1) {
          result.status = ReadStatus::too_many_tracks;
          break;
        }
        tracks[no_tracks].first_entry = no_entries;
        if (no_tracks > 0) tracks[no_tracks - 1].last_entry = no_entries - 1;
        ++no_tracks;
      }
      ++no_entries;
    }
  }
  if (result.status == ReadStatus::ok && std::ferror(file))
    result = {ReadStatus::read_error, errno};
  std::fclose(file);
  if (result.status == ReadStatus::ok && no_tracks > 0)
    tracks[no_tracks - 1].last_entry = no_entries - 1;
  return result;
}
