// The data file as the reader walks it: large blocks cut into the line pieces a text stream read
// with a buffer of kLinePiece + 1 characters gives, and the few character tests that read a line
// in place in the block.
//
// A "\r\n" pair reads as "\n", a lone "\r" stays, and a piece ends after its newline or after
// kLinePiece characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "recording/read_data.h"

class PieceReader {
 public:
  void start(std::FILE* file) {
    file_ = file;
    pos_ = size_ = 0;
  }

  // The rest of the block from the next piece on, refilled where it is used up, or nullptr at
  // the end of the file or on a read error. A NUL follows the block's last character, so a scan
  // of the text stops there at the latest; after the NUL, the block has room for load_word.
  const char* peek() {
    if (pos_ == size_ && !refill()) return nullptr;
    return block_ + pos_;
  }
  const char* block_end() const { return block_ + size_; }
  // Moves past a piece that peek() showed whole: it ends with the newline at `newline`.
  void take(const char* newline) { pos_ = static_cast<std::size_t>(newline - block_) + 1; }

  // The next piece into `line`, terminated; false at the end of the file or on a read error.
  bool next(char (&line)[kLinePiece + 1]);

  bool failed() const { return std::ferror(file_) != 0; }

  static constexpr std::size_t kBlock = std::size_t{1} << 16;
  // What the block holds after its last character: the NUL, then at least the seven bytes that
  // load_word reads past it.
  static constexpr std::size_t kPadding = 16;

 private:
  bool refill();
  int get();
  int next_char();
  bool next_slowly(char (&line)[kLinePiece + 1]);

  std::FILE* file_ = nullptr;
  // The stream itself buffers nothing (see read_data).
  char block_[kBlock + kPadding];
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
};

// A line of the block, read in place as its piece would be read. Within a line the block holds
// no terminator: a line ends at its newline, or at the carriage return of its "\r\n"; any other
// carriage return, and the NUL after the block, leave the line to the piece reader.
inline bool line_end(const char* s) { return *s == '\n' || (*s == '\r' && s[1] == '\n'); }
inline bool ends_field(const char* s) { return *s == ' ' || *s == '\t' || line_end(s); }
inline bool is_digit(char c) { return static_cast<unsigned>(c - '0') < 10u; }

// A field's first eight characters as one word, byte k the k-th character.
//
// The word may reach past the line, and past the block's last character. That is safe, and
// changes nothing read:
// - A field starts at the latest at the block's NUL: every scan of the block stops there, as the
//   NUL is neither a digit, a sign, a point, a blank nor a line end. So the word ends at the
//   latest seven bytes after the NUL, which PieceReader::kPadding leaves room for.
// - No outcome turns on the bytes after the NUL (whatever an earlier, longer block left there).
//   A word is only compared under the mask of a field's text (FieldText, sample_line.h): the
//   text's characters and the blank after it, from byte 0 on, none of them a NUL. Where the NUL
//   lies under the mask the comparison fails at it; where it does not, no byte after it does.
// - A field's digits are read from the line, a character at a time, never from the word.
inline std::uint64_t load_word(const char* s) {
  static_assert(PieceReader::kPadding >= 1 + (sizeof(std::uint64_t) - 1),
                "room after the block's NUL for a word read from it");
  std::uint64_t word;
  std::memcpy(&word, s, sizeof word);
  return word;
}

// The newline of the line at `start` whose fields end at `s`, where the line lies whole in the
// block as a single piece; otherwise nullptr.
inline const char* piece_end(const char* start, const char* s, const char* block_end) {
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
