#pragma once

#include <cstddef>
#include <string>

// A growable byte buffer with a position, read and written like a file.
class TMemoryStream {
 public:
  // Copies up to count bytes from the position on; returns how many there were.
  std::size_t Read(void* buffer, std::size_t count);
  // Writes at the position, overwriting and growing as needed; a gap before the position reads as zeros.
  void Write(const void* buffer, std::size_t count);

  std::size_t Size() const { return bytes_.size(); }
  std::size_t Position() const { return position_; }
  void Seek(std::size_t position) { position_ = position; }

  const std::string& Bytes() const { return bytes_; }
  // Hands the content over and leaves the stream empty.
  std::string TakeBytes();

 private:
  std::string bytes_;
  std::size_t position_ = 0;
};
