#include "recording/lines.h"

bool PieceReader::next(char (&line)[kLinePiece + 1]) {
  if (pos_ == size_ && !refill()) return false;
  // Most lines lie whole in the block, are short and hold no carriage return but the one before
  // their newline.
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

bool PieceReader::refill() {
  pos_ = 0;
  size_ = std::fread(block_, 1, kBlock, file_);
  block_[size_] = '\0';
  return size_ > 0;
}

int PieceReader::get() {
  if (pos_ == size_ && !refill()) return EOF;
  return static_cast<unsigned char>(block_[pos_++]);
}

int PieceReader::next_char() {
  int c = get();
  if (c != '\r') return c;
  int next = get();
  if (next == '\n') return '\n';
  if (next != EOF) --pos_;  // get() just read it from the block, so it is still there
  return '\r';
}

bool PieceReader::next_slowly(char (&line)[kLinePiece + 1]) {
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
