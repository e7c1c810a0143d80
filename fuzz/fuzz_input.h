// Reads a fuzz input as a sequence of choices: bytes, numbers, texts. An exhausted input
// reads as zeros, so every input is a complete run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace fuzz {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool Bool() { return Byte() & 1; }
  // One of `n` choices (n > 0).
  size_t Pick(size_t n) { return Byte() % n; }
  template <typename T>
  T Number() {
    T value{};
    const size_t n = std::min(sizeof value, size_ - std::min(pos_, size_));
    std::memcpy(&value, data_ + std::min(pos_, size_), n);
    pos_ += sizeof value;
    return value;
  }
  // Up to `max` bytes, the length read first.
  std::string_view Bytes(size_t max) {
    const size_t want = std::min<size_t>(Number<uint16_t>(), max);
    const size_t start = std::min(pos_, size_);
    const size_t n = std::min(want, size_ - start);
    pos_ = start + n;
    return {reinterpret_cast<const char*>(data_ + start), n};
  }
  std::u16string Text(size_t max_chars) {
    std::string_view b = Bytes(max_chars * 2);
    std::u16string s(b.size() / 2, u'\0');
    std::memcpy(s.data(), b.data(), s.size() * 2);
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace fuzz
