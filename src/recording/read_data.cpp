#include "recording/read_data.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
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

  // The rest of the block from the next piece on, refilled where it is used up, or nullptr at
  // the end of the file or on a read error. A NUL follows the block's last character, so a scan
  // of the text stops there at the latest.
  const char* peek() {
    if (pos_ == size_ && !refill()) return nullptr;
    return block_ + pos_;
  }
  const char* block_end() const { return block_ + size_; }
  // Moves past a piece that peek() showed whole: it ends with the newline at `newline`.
  void take(const char* newline) { pos_ = static_cast<std::size_t>(newline - block_) + 1; }

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
    size_ = std::fread(block_, 1, kBlock, file_);
    block_[size_] = '\0';
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
  static constexpr std::size_t kBlock = std::size_t{1} << 16;
  // The stream itself buffers nothing (see read_data). After the block's NUL, room for a word
  // read from its last characters.
  char block_[kBlock + 16];
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

// The reader's working sample: fields carry over from line to line, as a line of one form leaves
// the fields it does not carry as the lines before left them (and a calibration line sets the
// positions it carries).
struct Working {
  long long time = 0;
  long double position[kPositionFields] = {};
  long double channel[kChannels] = {};
  int emg_channels = 0;  // channels the last sample line carried: 2 or 4
};

// Scans the calibration into `working` and `type`: 15 numbers select five points, 9 to 14 three;
// false when fewer than 9 numbers convert.
bool scan_calibration(const char* line, Working& working, int& type) {
  long double v[kPositionFields];
  const int count = scan_calibration_line(line, v, kPositionFields);
  if (count < 9) return false;
  const int taken = count == kPositionFields ? kPositionFields : 9;
  for (int k = 0; k < taken; ++k) working.position[k] = v[k];
  type = count == kPositionFields ? 0 : 1;
  return true;
}

// A field's text in the block as one 8-byte word: its characters and the blank after them, where
// they fit in it. Equal texts hold equal digits.
struct FieldText {
  std::uint64_t word;  // the text's bytes
  std::uint64_t mask;  // the bytes of the text and its blank; none where there is no text
  int length;          // characters before the blank
};
constexpr FieldText kNoText = {~std::uint64_t{0}, 0, 0};  // matches nothing

// The digits of the position fields of the last sample line stored: a point whose fields have
// the same digits on the next line (points at rest mostly do) has the same position there, and
// what was measured from it stands.
struct LastPositions {
  LastPositions() {
    for (FieldText& t : text) t = kNoText;
  }
  bool valid = false;  // the line before was a sample line that was stored
  bool plain[kPositionFields] = {};
  Decimal digits[kPositionFields] = {};
  // The text each plain field's digits were read from, where it was read in the block.
  FieldText text[kPositionFields];
};

// Points as bits: bit p stands for point p.
constexpr unsigned kAllPoints = (1u << kPoints) - 1;

// Takes the positions of points 0..points-1 from v[] into `working`, converting only the points
// whose digits are not those of `last`, and makes `last` theirs. Returns the points whose
// positions must be measured anew: those taken anew, and every point where `last` was not valid
// (a three-point line leaves the last two points as the calibration or an earlier line set them).
unsigned take_positions(const Number* v, int points, Working& working, LastPositions& last) {
  unsigned changed = last.valid ? 0 : kAllPoints;
  for (int p = 0; p < points; ++p) {
    const int k = 3 * p;
    bool same = last.valid;
    for (int j = k; j < k + 3; ++j)
      same = same && v[j].plain && last.plain[j] && same_decimal(v[j].digits, last.digits[j]);
    if (same) continue;
    changed |= 1u << p;
    for (int j = k; j < k + 3; ++j) {
      working.position[j] = number_value(v[j]);
      last.plain[j] = v[j].plain;
      last.digits[j] = v[j].digits;
      last.text[j] = kNoText;
    }
  }
  return changed;
}

// Whether `count` (as scan_sample_numbers counts) makes a sample line of calibration type `type`:
// five points take 20 numbers after the time stamp, three points 16 or 14 (only the two
// masseters).
bool fits(int type, int count) { return type == 0 ? count == 21 : count >= 15; }
// The numbers a line of calibration type `type` is scanned for, and the points it carries.
int wanted_numbers(int type) { return type == 0 ? 20 : 16; }
int points_of(int type) { return type == 0 ? kPoints : 3; }

// Takes the time stamp and the EMG of a sample line that fits type `type` into `working`; three
// auxiliary numbers stand between the positions and the EMG and are neither kept nor converted.
inline long double value_of(const Number& n) { return number_value(n); }
inline long double value_of(const Decimal& d) { return decimal_value(d); }
template <typename F>
void take_time_and_emg(long long t, const F* v, int count, int type, Working& working) {
  working.time = t;
  if (type == 0) {
    working.channel[0] = value_of(v[18]);
    working.channel[1] = value_of(v[19]);
    working.emg_channels = 2;
    return;
  }
  const bool four_channels = count == 17;
  working.channel[0] = value_of(v[12]);
  working.channel[1] = value_of(v[13]);
  working.channel[2] = four_channels ? value_of(v[14]) : 0;
  working.channel[3] = four_channels ? value_of(v[15]) : 0;
  working.emg_channels = four_channels ? 4 : 2;
}

// Scans a sample line piece in the form of calibration type `type` into `working`. A line that
// does not fit writes nothing. `changed` tells the points to measure anew (see take_positions).
bool scan_sample(const char* line, int type, Working& working, LastPositions& last,
                 unsigned& changed) {
  long long t;
  Number v[kMostSampleNumbers];
  const int count = scan_sample_numbers(line, t, v, wanted_numbers(type));
  if (!fits(type, count)) return false;
  changed = take_positions(v, points_of(type), working, last);
  take_time_and_emg(t, v, count, type, working);
  return true;
}

// A line of the block, read in place as its piece would be read. Within a line the block holds
// no terminator: a line ends at its newline, or at the carriage return of its "\r\n"; any other
// carriage return, and the NUL after the block, leave the line to the piece reader.
inline bool line_end(const char* s) { return *s == '\n' || (*s == '\r' && s[1] == '\n'); }
inline bool ends_field(const char* s) { return *s == ' ' || *s == '\t' || line_end(s); }
inline bool is_digit(char c) { return static_cast<unsigned>(c - '0') < 10u; }

// A field's first eight characters as one word (the block has room for it after its end), byte k
// the k-th character.
inline std::uint64_t load_word(const char* s) {
  std::uint64_t word;
  std::memcpy(&word, s, sizeof word);
  return word;
}

// The time stamp at `s`, which starts with a digit, as next_integer reads it: at most 18 digits.
inline bool read_block_time(const char*& s, long long& time) {
  const char* first = s;
  unsigned long long t = 0;
  for (; is_digit(*s); ++s) t = t * 10 + static_cast<unsigned>(*s - '0');
  if (s - first > 18 || !ends_field(s)) return false;
  time = static_cast<long long>(t);
  return true;
}

// The next field of a line: skips the blanks before it; nullptr where the line ends first.
inline const char* next_field(const char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  return line_end(s) ? nullptr : s;
}

// A plain decimal at `s` (past the blanks), read up to the end of its field: returns the end, or
// nullptr where it is none.
inline const char* read_block_decimal(const char* s, Decimal& d) {
  return read_decimal_digits(s, d, ends_field) ? s : nullptr;
}

// The text of the field from `start` (whose word is `word`) to its end at `s`, where the text and
// the blank after it fit in the word (little-endian: the first character in the low byte).
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a word holds its first character low");
inline FieldText text_of(const char* start, std::uint64_t word, const char* s) {
  const int length = static_cast<int>(s - start);
  if (length >= 8 || (*s != ' ' && *s != '\t')) return kNoText;
  const std::uint64_t mask = ~std::uint64_t{0} >> (64 - 8 * (length + 1));
  return {word & mask, mask, length};
}

// A sample line as read in the block: the time stamp, the digits of the fields and the texts of
// the position fields.
template <int kWanted>
struct BlockLine {
  long long time;
  Decimal digits[kWanted];
  FieldText text[kPositionFields];
};

// Scans the sample line at `s` (its first character, a digit) as scan_sample_numbers scans its
// piece for kWanted numbers, where the time stamp and every number up to the kWanted are plain
// decimals: returns the same count and moves `s` past the last field read. Returns kUndecided
// where the general scanner would have to decide a field, or where the line ends before
// kRequired numbers (it does not fit). The kPositions position fields come first, then three
// auxiliary fields, neither kept nor converted, then the EMG. A position field with the text of
// the last positions' has their digits, and is not read again; nor is an auxiliary field with the
// text in `auxiliary`, one of a plain decimal seen before, which the scan keeps.
constexpr int kUndecided = -2;
template <int kPositions, int kWanted, int kRequired>
inline int scan_block_sample(const char*& s, BlockLine<kWanted>& line, const LastPositions& last,
                             FieldText (&auxiliary)[3]) {
  static_assert(kRequired >= kPositions + 3, "a line that fits holds every position");
  if (!read_block_time(s, line.time)) return kUndecided;
  for (int k = 0; k < kPositions; ++k) {
    const char* field = next_field(s);
    if (field == nullptr) return kUndecided;
    const std::uint64_t word = load_word(field);
    const FieldText& text = last.text[k];
    if ((word & text.mask) == text.word) {
      line.digits[k] = last.digits[k];
      line.text[k] = text;
      s = field + text.length;
      continue;
    }
    s = read_block_decimal(field, line.digits[k]);
    if (s == nullptr) return kUndecided;
    line.text[k] = text_of(field, word, s);
  }
  for (int k = kPositions; k < kPositions + 3; ++k) {
    const char* field = next_field(s);
    if (field == nullptr) return kUndecided;
    const std::uint64_t word = load_word(field);
    FieldText& text = auxiliary[k - kPositions];
    if ((word & text.mask) == text.word) {
      s = field + text.length;
      continue;
    }
    s = read_block_decimal(field, line.digits[k]);
    if (s == nullptr) return kUndecided;
    text = text_of(field, word, s);
  }
  for (int k = kPositions + 3; k < kWanted; ++k) {
    const char* field = next_field(s);
    if (field == nullptr) return k < kRequired ? kUndecided : 1 + k;
    s = read_block_decimal(field, line.digits[k]);
    if (s == nullptr) return kUndecided;
  }
  return 1 + kWanted;
}

// take_positions for a line read in the block.
template <int kWanted>
unsigned take_block_positions(const BlockLine<kWanted>& line, int points, Working& working,
                              LastPositions& last) {
  unsigned changed = last.valid ? 0 : kAllPoints;
  for (int p = 0; p < points; ++p) {
    const int k = 3 * p;
    // One decision for the point, not one for each field.
    bool same = last.valid;
    for (int j = k; j < k + 3; ++j) {
      const Decimal &a = line.digits[j], &b = last.digits[j];
      same &= last.plain[j] & (a.mantissa == b.mantissa) & (a.fraction == b.fraction) &
              (a.negative == b.negative);
    }
    if (same) continue;
    changed |= 1u << p;
    for (int j = k; j < k + 3; ++j) {
      working.position[j] = decimal_value(line.digits[j]);
      last.plain[j] = true;
      last.digits[j] = line.digits[j];
      last.text[j] = line.text[j];
    }
  }
  return changed;
}

// The newline of the line at `start` whose fields end at `s`, where the line lies whole in the
// block as a single piece; otherwise nullptr.
const char* piece_end(const char* start, const char* s, const char* block_end) {
  // The rest of the line is not read; its newline ends the piece.
  const char* newline = s;
  if (*newline != '\n') {
    if (newline[0] == '\r' && newline[1] == '\n') {
      ++newline;
    } else {
      newline =
          static_cast<const char*>(std::memchr(s, '\n', static_cast<std::size_t>(block_end - s)));
      if (newline == nullptr) return nullptr;  // the line goes on in the next block
    }
  }
  // The piece: the line with its "\r\n" read as "\n", at most kLinePiece characters.
  const bool crlf = newline > start && newline[-1] == '\r';
  if (newline - start + 1 - (crlf ? 1 : 0) > kLinePiece) return nullptr;
  return newline;
}

// Where the sample line at `start` lies whole in the block as a single piece and fits type
// `type` with plain decimals only, scans it into `working` as scan_sample scans its piece and
// returns its newline; otherwise nullptr, and nothing is written but `auxiliary`.
template <int kType>
const char* scan_block_line(const char* start, const char* block_end, Working& working,
                            LastPositions& last, FieldText (&auxiliary)[3], unsigned& changed) {
  constexpr int kWanted = kType == 0 ? 20 : 16, kRequired = kType == 0 ? 20 : 14;
  BlockLine<kWanted> line;
  const char* s = start;
  const int count = scan_block_sample<3 * (kType == 0 ? kPoints : 3), kWanted, kRequired>(
      s, line, last, auxiliary);
  if (count == kUndecided) return nullptr;
  const char* newline = piece_end(start, s, block_end);
  if (newline == nullptr) return nullptr;
  changed = take_block_positions(line, points_of(kType), working, last);
  take_time_and_emg(line.time, line.digits, count, kType, working);
  return newline;
}

bool is_plus_zero(long double x) {
  static const long double kZero = 0;
  return std::memcmp(&x, &kZero, 10) == 0;
}

bool same_bits(const long double (&a)[kPositionFields], const long double (&b)[kPositionFields]) {
  for (int k = 0; k < kPositionFields; ++k)
    if (std::memcmp(&a[k], &b[k], 10) != 0) return false;
  return true;
}

// A sample's positions relative to the calibration and each point's squared distance, in the
// order the distance stage defines them: a distance is the root of (x*x + y*y) + z*z. The root
// rises with its argument, so an experiment's largest distance is the root of its largest
// square, taken once.
struct Relative {
  long double position[kPositionFields];
  long double square[kPoints];
};
void measure_point(const long double (&raw)[kPositionFields], int p, Relative& r) {
  const int k = 3 * p;
  const long double x = raw[k] - calibration.position[k];
  const long double y = raw[k + 1] - calibration.position[k + 1];
  const long double z = raw[k + 2] - calibration.position[k + 2];
  r.position[k] = x;
  r.position[k + 1] = y;
  r.position[k + 2] = z;
  r.square[p] = (x * x + y * y) + z * z;
}
Relative relative_to_calibration(const long double (&raw)[kPositionFields]) {
  Relative r;
  for (int p = 0; p < kPoints; ++p) measure_point(raw, p, r);
  return r;
}

// The check facts of one sample's raw positions, for experiment `t`. `changed` holds the points
// whose positions differ from those of the sample gathered last for `t` (all where there was
// none): a pair of points neither of which changed has the distance it had, which raises or lowers
// nothing again.
void gather_raw_positions(int t, int sample, const long double (&raw)[kPositionFields],
                          unsigned changed) {
  RawPositions& x = raw_positions[t];
  for (int field = 0; field < kPositionFields; ++field) {
    if (std::isfinite(raw[field])) continue;
    if (x.non_finite[field]++ == 0) x.first_non_finite[field] = sample;
  }
  for (int p = 0; p < kPointPairs; ++p) {
    if ((changed & ((1u << kPairs[p].a) | (1u << kPairs[p].b))) == 0) continue;
    const int a = 3 * kPairs[p].a, b = 3 * kPairs[p].b;
    const long double dx = raw[a] - raw[b], dy = raw[a + 1] - raw[b + 1],
                      dz = raw[a + 2] - raw[b + 2];
    const long double d = std::sqrt((dx * dx + dy * dy) + dz * dz);
    if (!std::isfinite(d)) continue;
    if (!x.pair_seen[p] || d < x.pair_min[p]) x.pair_min[p] = d;
    if (!x.pair_seen[p] || d > x.pair_max[p]) x.pair_max[p] = d;
    x.pair_seen[p] = true;
  }
}

// One pass over the file. The first reads everything; a second, needed only where a calibration
// line changed the reference after samples had been read, reads the same samples again to
// measure their positions from the final calibration.
class Pass {
 public:
  Pass(SampleDetail detail, bool again, const ExperimentRead& experiment_read)
      : detail_(detail), again_(again), experiment_read_(experiment_read) {}

  ReadResult run(std::FILE* file) {
    static char line[kLinePiece + 1];
    static PieceReader reader;  // its block is large: not on the stack
    reader.start(file);
    ReadResult result;
    while (const char* text = reader.peek()) {
      // The last positions stand for the working positions only from one stored sample line to
      // the next.
      last_positions_.valid = last_was_sample_;
      last_was_sample_ = false;
      unsigned changed = 0;
      // No keyword starts with a digit, as nearly every line does: those are sample lines, read
      // in the block where they lie whole in it and hold plain decimals only.
      if (is_digit(text[0])) {
        const char* newline = type_ == 0 ? scan_block_line<0>(text, reader.block_end(), working_,
                                                              last_positions_, auxiliary_, changed)
                                         : scan_block_line<1>(text, reader.block_end(), working_,
                                                              last_positions_, auxiliary_, changed);
        if (newline != nullptr) {
          reader.take(newline);
          if (!take_sample_line(changed, result)) break;
          continue;
        }
      }
      reader.next(line);  // a piece is there: peek() found a character
      const bool keyword = !is_digit(line[0]);
      if (keyword && is(line, "Person")) {
        if (!again_) store_header(person, line, 7);
      } else if (keyword && is(line, "Sex")) {
        if (!again_) store_header(sex, line, 4);
      } else if (keyword && is(line, "Born")) {
        if (!again_) store_header(born, line, 5);
      } else if (keyword && is(line, "Creation date")) {
        if (!again_) store_header(creation, line, 14);
      } else if (keyword && is(line, "Frequency")) {
        if (!again_) store_header(frequency, line, 13);
      } else if (keyword && is(line, "Calibr")) {
        if (!scan_calibration(line, working_, type_)) {
          result.status = ReadStatus::calibration_error;
          break;
        }
        if (!again_) {
          if (no_entries > 0 && !same_bits(calibration.position, working_.position)) stale_ = true;
          std::memcpy(calibration.position, working_.position, sizeof calibration.position);
          calibration.type = type_;
        }
        ++result.calibration_lines;
        result.samples_before_calibration = no_entries;
      } else if (scan_sample(line, type_, working_, last_positions_, changed)) {
        if (!take_sample_line(changed, result)) break;
      } else if (line[std::strspn(line, " \t\n\v\f\r")] != '\0') {
        ++result.skipped_lines;  // neither blank nor of any form: unrecognised or damaged
      }
    }
    if (result.status == ReadStatus::ok && reader.failed())
      result = {ReadStatus::read_error, errno};
    take_maxima();
    return result;
  }

  // Whether a calibration line changed the reference after samples had been measured from it.
  bool stale() const { return stale_; }

 private:
  // The sample line just scanned into the working sample: stored (first pass) or measured again
  // (second pass). False where reading ends: the store is full, or the second pass is through.
  bool take_sample_line(unsigned changed, ReadResult& result) {
    if (again_) return measure_again();
    if (no_entries > kMaxEntries - 1) {
      result.status = ReadStatus::too_many_entries;
      return false;
    }
    if (working_.time == 0) {
      if (no_tracks > kMaxTracks - 1) {
        result.status = ReadStatus::too_many_tracks;
        return false;
      }
      tracks[no_tracks].first_entry = no_entries;
      if (no_tracks > 0) {
        tracks[no_tracks - 1].last_entry = no_entries - 1;
        // Before this sample takes the place of the experiment's first.
        if (experiment_read_) experiment_read_(no_tracks - 1);
      }
      ++no_tracks;
    }
    store_sample(changed);
    ++no_entries;
    last_was_sample_ = true;
    return true;
  }

  // Measures the points of `changed` (bit p for point p) anew; the others stand as measured.
  void measure(unsigned changed) {
    for (int p = 0; p < kPoints; ++p)
      if (changed & (1u << p)) measure_point(working_.position, p, relative_);
    if (changed & (1u << kIncisal)) incisal_dist_ = std::sqrt(relative_.square[kIncisal]);
  }

  void store_sample(unsigned changed) {
    Samples& s = samples;
    if (no_entries % kPrefaultSamples == 0) prefault_columns();
    s.time.push_back(working_.time);
    const std::size_t slot = channel_slot();
    for (int c = 0; c < kChannels; ++c) {
      // A channel's column stays empty until a value other than +0 comes.
      std::vector<long double>& column = s.channel[c];
      const long double v = working_.channel[c];
      if (column.empty() && is_plus_zero(v)) continue;
      if (slot < column.size()) {
        column[slot] = v;  // in place of an earlier experiment's
      } else {
        column.resize(slot);  // the +0 values before it
        column.push_back(v);
      }
    }
    s.incisal_dir.push_back(0);
    s.cycle_status.push_back(0);
    if (type_ != 0) sample_forms.three_point = true;
    if (working_.emg_channels != kChannels) sample_forms.two_channels = true;
    // A point at the same position measures the same (after a calibration line every point is
    // measured anew).
    measure(changed);
    const Relative& r = relative_;
    s.incisal_dist.push_back(incisal_dist_);
    if (s.positions_kept) {
      s.incisal_x.push_back(r.position[3 * kIncisal]);
      s.incisal_y.push_back(r.position[3 * kIncisal + 1]);
      s.incisal_z.push_back(r.position[3 * kIncisal + 2]);
    }
    if (no_tracks > 0) {
      // Raising by the same squares again within one experiment changes nothing.
      if (changed != 0 || raised_track_ != no_tracks - 1) raise_maxima(no_tracks - 1, r);
      raised_track_ = no_tracks - 1;
      if (detail_ == SampleDetail::study) {
        gather_raw_positions(no_tracks - 1, no_entries, working_.position,
                             gathered_track_ == no_tracks - 1 ? changed : kAllPoints);
        gathered_track_ = no_tracks - 1;
      }
    }
  }

  // Where the sample being stored goes in the channel columns (see experiment_channel).
  static std::size_t channel_slot() {
    const int t = no_tracks - 1;
    if (samples.channels_kept || t < kKeptExperiments)
      return static_cast<std::size_t>(no_entries);
    return static_cast<std::size_t>(tracks[kKeptExperiments].first_entry + no_entries -
                                    tracks[t].first_entry);
  }

  // The columns' pages for the next kPrefaultSamples samples.
  static void prefault_columns() {
    const std::size_t from = static_cast<std::size_t>(no_entries), to = from + kPrefaultSamples;
    Samples& s = samples;
    prefault(s.time, from, to);
    const std::size_t slot = channel_slot();
    for (const std::vector<long double>& channel : s.channel)
      if (!channel.empty()) prefault(channel, slot, slot + kPrefaultSamples);
    for (const std::vector<long double>* column :
         {&s.incisal_dist, &s.incisal_x, &s.incisal_y, &s.incisal_z})
      prefault(*column, from, to);  // capacity 0 where positions are not kept
    prefault(s.incisal_dir, from, to);
    prefault(s.cycle_status, from, to);
  }
  static constexpr int kPrefaultSamples = 1 << 14;

  // The next sample of the first pass, measured from the final calibration; false after the
  // last of them.
  bool measure_again() {
    if (sample_ >= no_entries) return false;
    const int i = sample_++;
    if (working_.time == 0) ++experiment_;
    const Relative r = relative_to_calibration(working_.position);
    samples.incisal_dist[i] = std::sqrt(r.square[kIncisal]);
    if (samples.positions_kept) {
      samples.incisal_x[i] = r.position[3 * kIncisal];
      samples.incisal_y[i] = r.position[3 * kIncisal + 1];
      samples.incisal_z[i] = r.position[3 * kIncisal + 2];
    }
    if (experiment_ >= 0) raise_maxima(experiment_, r);
    return true;
  }

  void raise_maxima(int t, const Relative& r) {
    for (int p = 0; p < kPoints; ++p)
      if (r.square[p] > largest_square_[t][p]) largest_square_[t][p] = r.square[p];
  }

  // Each experiment's largest distances, from the largest squares so far.
  void take_maxima() const {
    for (int t = 0; t < kMaxTracks; ++t)
      for (int p = 0; p < kPoints; ++p) distance_max[t][p] = std::sqrt(largest_square_[t][p]);
  }

  SampleDetail detail_;
  bool again_;
  const ExperimentRead& experiment_read_;
  Working working_;
  int type_ = 0;  // the calibration type in force
  bool stale_ = false;
  int sample_ = 0;       // second pass: the next sample
  int experiment_ = -1;  // second pass: the experiment of the last sample
  long double largest_square_[kMaxTracks][kPoints] = {};
  LastPositions last_positions_;
  FieldText auxiliary_[3] = {kNoText, kNoText, kNoText};  // auxiliary fields' texts seen before
  bool last_was_sample_ = false;  // the line before was a stored sample line
  Relative relative_;             // measured from the stored sample's positions
  long double incisal_dist_ = 0;
  int raised_track_ = -1;
  int gathered_track_ = -1;  // the experiment the raw positions were last gathered for
};

// The capacity a file's samples can need at most: every sample line holds at least 15 numbers
// and their separators. Reserving it takes address space, not memory, until samples are stored.
std::size_t most_samples(const struct stat& info) {
  constexpr std::size_t kShortestSampleLine = 30;
  const std::size_t bound = static_cast<std::size_t>(info.st_size) / kShortestSampleLine + 1;
  return bound < static_cast<std::size_t>(kMaxEntries) ? bound : kMaxEntries;
}

void reserve_samples(std::size_t n) {
  Samples& s = samples;
  reserve_column(s.time, n);
  for (int c = 0; c < kChannels; ++c) reserve_column(s.channel[c], n);
  reserve_column(s.incisal_dist, n);
  reserve_column(s.incisal_dir, n);
  reserve_column(s.cycle_status, n);
  if (s.positions_kept) {
    reserve_column(s.incisal_x, n);
    reserve_column(s.incisal_y, n);
    reserve_column(s.incisal_z, n);
  }
}

}  // namespace

ReadResult read_data(const char* path, SampleDetail detail, const ExperimentRead& experiment_read) {
  no_entries = 0;
  no_tracks = 0;
  samples.positions_kept = detail == SampleDetail::study;
  samples.channels_kept = !experiment_read;
  // Opening a FIFO blocks until a writer comes, and a device such as /dev/zero never ends, so
  // only what stat calls a regular file is opened. A folder is opened too: its read fails with a
  // message of its own. A path stat cannot follow is left to fopen, which says why.
  struct stat info;
  const bool known = stat(path, &info) == 0;
  if (known && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    ReadResult refused;
    refused.status = ReadStatus::not_regular_file;
    refused.file_type = info.st_mode & S_IFMT;
    return refused;
  }
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return {ReadStatus::cannot_open, errno};
  // Blocks go straight into the reader's own buffer.
  std::setvbuf(file, nullptr, _IONBF, 0);
  if (known && S_ISREG(info.st_mode)) reserve_samples(most_samples(info));

  Pass first(detail, false, experiment_read);
  ReadResult result = first.run(file);
  if (result.status == ReadStatus::ok && no_tracks > 0) {
    tracks[no_tracks - 1].last_entry = no_entries - 1;
    if (experiment_read) experiment_read(no_tracks - 1);
  }
  if (result.status == ReadStatus::ok && first.stale()) {
    Pass again(detail, true, experiment_read);
    if (std::fseek(file, 0, SEEK_SET) != 0) {
      result = {ReadStatus::read_error, errno};
    } else {
      const ReadResult reread = again.run(file);
      if (reread.status != ReadStatus::ok) result = reread;
    }
  }
  std::fclose(file);
  return result;
}
