#include "recording/read_data.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "recording/scan.h"
#include "recording/store.h"

namespace {

// The file in large blocks, cut into the line pieces a text stream read with a buffer of
// kLinePiece + 1 characters gives: a "\r\n" pair reads as "\n", a lone "\r" stays, and a piece
// ends after its newline or after kLinePiece characters.
class PieceReader {
 public:
  void start(std::FILE* file) {
    file_ = file;
    pos_ = size_ = 0;
  }

  // The next piece into `line`, terminated; false at the end of the file or on a read error.
  bool next(char (&line)[kLinePiece + 1]) {
    if (pos_ == size_ && !refill()) return false;
    // Most lines lie whole in the block, are short and hold no carriage return but the one
    // before their newline.
    const char* start = block_ + pos_;
    std::size_t available = size_ - pos_;
    std::size_t look = available < kLinePiece + 2 ? available : kLinePiece + 2;
    if (const void* found = std::memchr(start, '\n', look)) {
      const char* newline = static_cast<const char*>(found);
      std::size_t taken = static_cast<std::size_t>(newline - start) + 1;
      bool crlf = taken >= 2 && newline[-1] == '\r';
      std::size_t text = taken - (crlf ? 2 : 1);  // characters before the line end
      if (text + 1 <= kLinePiece && std::memchr(start, '\r', text) == nullptr) {
        std::memcpy(line, start, text);
        line[text] = '\n';
        line[text + 1] = '\0';
        pos_ += taken;
        return true;
      }
    }
    return next_slowly(line);
  }

  bool failed() const { return std::ferror(file_) != 0; }

 private:
  bool refill() {
    pos_ = 0;
    size_ = std::fread(block_, 1, sizeof block_, file_);
    return size_ > 0;
  }

  int get() {
    if (pos_ == size_ && !refill()) return EOF;
    return static_cast<unsigned char>(block_[pos_++]);
  }

  int next_char() {
    int c = get();
    if (c != '\r') return c;
    int next = get();
    if (next == '\n') return '\n';
    if (next != EOF) --pos_;  // get() just read it from the block, so it is still there
    return '\r';
  }

  bool next_slowly(char (&line)[kLinePiece + 1]) {
    int length = 0;
    while (length < kLinePiece) {
      int c = next_char();
      if (c == EOF) break;
      line[length++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    line[length] = '\0';
    return length > 0;
  }

  std::FILE* file_ = nullptr;
  char block_[1 << 14];  // the stream itself buffers nothing (see read_data)
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
};

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

long double* position(Entry& e, int index) { return &(e.*kPositionValue[index]); }

// Scans the calibration into `working`: 15 numbers select five points, 9 to 14 three; false when
// fewer than 9 numbers convert.
bool scan_calibration(const char* line, Entry& working) {
  long double v[15];
  const int count = scan_calibration_line(line, v, 15);
  if (count < 9) return false;
  const int taken = count == 15 ? 15 : 9;
  for (int k = 0; k < taken; ++k) *position(working, k) = v[k];
  working.type = count == 15 ? 0 : 1;
  return true;
}

void store_five_point(Entry& working, long long t, const long double* v) {
  working.time = t;
  for (int k = 0; k < 15; ++k) *position(working, k) = v[k];
  working.Aux1 = v[15];
  working.Aux2 = v[16];
  working.Aux3 = v[17];
  working.Channel1 = v[18];
  working.Channel2 = v[19];
  working.emg_channels = 2;
}

void store_three_point(Entry& working, long long t, const long double* v, bool four_channels) {
  working.time = t;
  for (int k = 0; k < 9; ++k) *position(working, k) = v[k];
  working.Aux1 = v[9];
  working.Aux2 = v[10];
  working.Aux3 = v[11];
  working.Channel1 = v[12];
  working.Channel2 = v[13];
  working.Channel3 = four_channels ? v[14] : 0;
  working.Channel4 = four_channels ? v[15] : 0;
  working.emg_channels = four_channels ? 4 : 2;
}

// Scans a sample line in the form of the current calibration type into `working`: five points
// take 20 numbers after the time stamp, three points 16 or 14 (only the two masseters); a line
// that does not fit writes nothing.
bool scan_sample(const char* line, Entry& working) {
  long long t;
  long double v[20];
  if (calibration.type == 0) {
    if (scan_sample_line(line, t, v, 20) != 21) return false;
    store_five_point(working, t, v);
    return true;
  }
  const int count = scan_sample_line(line, t, v, 16);
  if (count < 15) return false;
  store_three_point(working, t, v, count == 17);
  return true;
}

}  // namespace

ReadResult read_data(const char* path) {
  no_entries = 0;
  no_tracks = 0;
  // Opening a FIFO blocks until a writer comes, and a device such as /dev/zero never ends, so
  // only what stat calls a regular file is opened. A folder is opened too: its read fails with a
  // message of its own. A path stat cannot follow is left to fopen, which says why.
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    ReadResult refused;
    refused.status = ReadStatus::not_regular_file;
    refused.file_type = info.st_mode & S_IFMT;
    return refused;
  }
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return {ReadStatus::cannot_open, errno};
  // Blocks go straight into the reader's own buffer.
  std::setvbuf(file, nullptr, _IONBF, 0);

  static Entry working;  // fields carry over between lines of one file
  working = Entry{};
  static char line[kLinePiece + 1];
  static PieceReader reader;  // its block is large: not on the stack
  reader.start(file);
  ReadResult result;
  while (reader.next(line)) {
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
      ++result.calibration_lines;
      result.samples_before_calibration = no_entries;
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
    } else if (line[std::strspn(line, " \t\n\v\f\r")] != '\0') {
      ++result.skipped_lines;  // neither blank nor of any form: unrecognised or damaged
    }
  }
  if (result.status == ReadStatus::ok && reader.failed()) result = {ReadStatus::read_error, errno};
  std::fclose(file);
  if (result.status == ReadStatus::ok && no_tracks > 0)
    tracks[no_tracks - 1].last_entry = no_entries - 1;
  return result;
}
