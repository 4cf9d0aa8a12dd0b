// The reader's walk over the file: each line piece classified as a header, a calibration or a
// sample line (lines.h cuts the file into pieces, sample_line.h scans a sample line), each sample
// measured (measure.h) and stored (columns.h), the experiments opened at time 0, and a second
// pass where a calibration line changed the reference after samples were measured from it.
#include "recording/read_data.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "recording/columns.h"
#include "recording/lines.h"
#include "recording/measure.h"
#include "recording/sample_line.h"
#include "recording/store.h"

namespace {

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

// The header lines: a keyword, then the value from a fixed column on (one separator character
// after the keyword, four after "Frequency").
struct Header {
  const char* keyword;
  std::size_t column;
  char* text;
};
const Header kHeaders[] = {{"Person", 7, person},
                           {"Sex", 4, sex},
                           {"Born", 5, born},
                           {"Creation date", 14, creation},
                           {"Frequency", 13, frequency}};

bool same_bits(const long double (&a)[kPositionFields], const long double (&b)[kPositionFields]) {
  for (int k = 0; k < kPositionFields; ++k)
    if (std::memcmp(&a[k], &b[k], 10) != 0) return false;
  return true;
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
      line_ = newlines_ + 1;
      // No keyword starts with a digit, as nearly every line does: those are sample lines, read
      // in the block where they lie whole in it and hold plain decimals only.
      if (is_digit(text[0])) {
        const char* newline = type_ == 0 ? scan_block_line<0>(text, reader.block_end(), working_,
                                                              last_positions_, auxiliary_, changed)
                                         : scan_block_line<1>(text, reader.block_end(), working_,
                                                              last_positions_, auxiliary_, changed);
        if (newline != nullptr) {
          reader.take(newline);
          ++newlines_;
          if (!take_sample_line(changed, result)) break;
          continue;
        }
      }
      reader.next(line);  // a piece is there: peek() found a character
      if (line[0] != '\0' && line[std::strlen(line) - 1] == '\n') ++newlines_;
      if (!take_piece(line, result)) break;
    }
    if (result.status == ReadStatus::ok && reader.failed())
      result = {ReadStatus::read_error, errno};
    measures_.take_maxima();
    if (detail_ == SampleDetail::study && !again_) take_pair_distances();
    if (!again_) std::memcpy(result.forms, forms_, sizeof forms_);
    return result;
  }

  // Whether a calibration line changed the reference after samples had been measured from it.
  bool stale() const { return stale_; }

 private:
  // A line piece the block did not take as a sample line. False where reading ends.
  bool take_piece(const char* line, ReadResult& result) {
    const bool keyword = !is_digit(line[0]);
    for (const Header& header : kHeaders) {
      if (keyword && is(line, header.keyword)) {
        if (!again_) store_header(header.text, line, header.column);
        return true;
      }
    }
    unsigned changed = 0;
    if (keyword && is(line, "Calibr")) return take_calibration(line, result);
    if (scan_sample(line, type_, working_, last_positions_, changed))
      return take_sample_line(changed, result);
    if (line[std::strspn(line, " \t\n\v\f\r")] != '\0')
      ++result.skipped_lines;  // neither blank nor of any form: unrecognised or damaged
    return true;
  }

  bool take_calibration(const char* line, ReadResult& result) {
    if (!scan_calibration(line, working_, type_)) {
      result.status = ReadStatus::calibration_error;
      return false;
    }
    if (!again_) {
      if (no_entries > 0 && !same_bits(calibration.position, working_.position)) stale_ = true;
      std::memcpy(calibration.position, working_.position, sizeof calibration.position);
      calibration.type = type_;
    }
    ++result.calibration_lines;
    result.samples_before_calibration = no_entries;
    return true;
  }

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

  void store_sample(unsigned changed) {
    append_time_and_channels(working_.time, working_.channel);
    if (type_ != 0) sample_forms.three_point = true;
    if (working_.emg_channels != kChannels) sample_forms.two_channels = true;
    ReadResult::FormTally& form = forms_[type_ != 0][working_.emg_channels == kChannels];
    if (form.samples++ == 0) form.first_line = line_;
    // A point at the same position measures the same (after a calibration line every point is
    // measured anew).
    measures_.measure(working_.position, changed);
    append_incisal(measures_.incisal_dist(), measures_.relative().position + 3 * kIncisal);
    if (no_tracks > 0) {
      measures_.raise(no_tracks - 1, changed);
      if (detail_ == SampleDetail::study)
        measures_.gather(no_tracks - 1, no_entries, working_.position, changed, type_ != 0);
    }
  }

  // The next sample of the first pass, measured from the final calibration; false after the
  // last of them.
  bool measure_again() {
    if (sample_ >= no_entries) return false;
    const int i = sample_++;
    if (working_.time == 0) ++experiment_;
    measures_.measure(working_.position, kAllPoints);
    set_incisal(i, measures_.incisal_dist(), measures_.relative().position + 3 * kIncisal);
    if (experiment_ >= 0) measures_.raise(experiment_, kAllPoints);
    return true;
  }

  SampleDetail detail_;
  bool again_;
  const ExperimentRead& experiment_read_;
  Working working_;
  int type_ = 0;  // the calibration type in force
  bool stale_ = false;
  int sample_ = 0;       // second pass: the next sample
  int experiment_ = -1;  // second pass: the experiment of the last sample
  LastPositions last_positions_;
  AuxiliaryTexts auxiliary_ = {kNoText, kNoText, kNoText};  // auxiliary fields' texts seen before
  bool last_was_sample_ = false;  // the line before was a stored sample line
  long long newlines_ = 0;        // lines ended so far
  long long line_ = 0;            // the file line of the piece being read (from 1)
  ReadResult::FormTally forms_[2][2];
  SampleMeasures measures_;
};

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
  // Closed however the reading ends, also by a column that cannot grow (std::bad_alloc).
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
  // Blocks go straight into the reader's own buffer.
  std::setvbuf(file, nullptr, _IONBF, 0);
  if (known && S_ISREG(info.st_mode)) reserve_columns(static_cast<std::size_t>(info.st_size));

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
  return result;
}
