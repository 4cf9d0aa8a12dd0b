// One sample line scanned into the reader's working sample: the time stamp, the positions of
// three or five points and two or four EMG values. Numbers are kept as their digits until their
// values are needed; a point whose fields have the digits they had on the line before keeps its
// position, and what was measured from it stands.
//
// A line is read one of two ways, to the same effect: in place in the reader's block (the hot
// path: plain decimals only, the line whole in the block), or as a line piece by the general
// scanner (scan.h), which decides everything else.
#pragma once

#include <cstdint>

#include "protocol/protocol.h"
#include "recording/decimal.h"
#include "recording/lines.h"
#include "recording/scan.h"

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
bool scan_calibration(const char* line, Working& working, int& type);

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

// The auxiliary fields' texts seen before (see scan_block_line).
using AuxiliaryTexts = FieldText[3];

// Points as bits: bit p stands for point p.
constexpr unsigned kAllPoints = (1u << kPoints) - 1;

// Scans a sample line piece in the form of calibration type `type` into `working`. A line that
// does not fit writes nothing. `changed` tells the points whose positions must be measured anew:
// those whose digits differ from `last`'s, and every point where `last` was not valid (a
// three-point line leaves the last two points as the calibration or an earlier line set them).
bool scan_sample(const char* line, int type, Working& working, LastPositions& last,
                 unsigned& changed);

// Where the sample line at `start` lies whole in the block as a single piece and fits type
// `kType` with plain decimals only, scans it into `working` as scan_sample scans its piece and
// returns its newline; otherwise nullptr, and nothing is written but `auxiliary`.
template <int kType>
const char* scan_block_line(const char* start, const char* block_end, Working& working,
                            LastPositions& last, AuxiliaryTexts& auxiliary, unsigned& changed);

// Whether `count` (as scan_sample_numbers counts) makes a sample line of calibration type `type`:
// five points take 20 numbers after the time stamp, three points 16 or 14 (only the two
// masseters).
inline bool fits(int type, int count) { return type == 0 ? count == 21 : count >= 15; }
// The numbers a line of calibration type `type` is scanned for, and the points it carries.
inline int wanted_numbers(int type) { return type == 0 ? 20 : 16; }
inline int points_of(int type) { return type == 0 ? kPoints : 3; }

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

// The scan in the block, inline: it runs for every sample line.

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
// Always inlined into scan_block_line: called apart, it costs some 2% of the reading.
constexpr int kUndecided = -2;
template <int kPositions, int kWanted, int kRequired>
[[gnu::always_inline]] inline int scan_block_sample(const char*& s, BlockLine<kWanted>& line,
                                                    const LastPositions& last,
                                                    AuxiliaryTexts& auxiliary) {
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

// Takes the positions of points 0..points-1 of a line read in the block into `working`,
// converting only the points whose digits are not those of `last`, and makes `last` theirs.
// Returns the points whose positions must be measured anew (see scan_sample).
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

template <int kType>
const char* scan_block_line(const char* start, const char* block_end, Working& working,
                            LastPositions& last, AuxiliaryTexts& auxiliary, unsigned& changed) {
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
