#include "credentials/memory_stream.h"

#include <algorithm>
#include <cstring>

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= bytes_.size()) return 0;
  count = std::min(count, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, count);
  position_ += count;
  return count;
}

void TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return;
  const char* data = static_cast<const char*>(buffer);
  if (position_ == bytes_.size()) {
    bytes_.append(data, count);
  } else {
    if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
    std::memcpy(bytes_.data() + position_, data, count);
  }
  position_ += count;
}

std::string TMemoryStream::TakeBytes() {
  std::string taken = std::move(bytes_);
  bytes_.clear();
  position_ = 0;
  return taken;
}
