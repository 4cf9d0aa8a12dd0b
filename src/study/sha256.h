// SHA-256 (FIPS 180-4) of the files a study writes, as `sha256sum` prints it: the output folder's
// manifest records each file's sum, so a lab can check an archived study with the usual tools and
// merge can tell a part's table from one cut short or changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
 public:
  Sha256();
  void update(const void* data, std::size_t size);
  // The sum in 64 lower-case hexadecimal digits; the object is used up.
  std::string hex();

 private:
  void block(const unsigned char* p);
  std::uint32_t state_[8];
  unsigned char buffer_[64];
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes
};

std::string sha256_hex(const std::string& text);
