// The engine's last error text. Texts under 100 characters live in an inner area, so the
// common case needs no allocation; a longer one moves to a heap block that grows by half
// again, and moves back (freeing the block) when a short text is stored.
#pragma once

#include <cstddef>
#include <string_view>

#include "marlet/error_codes.h"

namespace marlet {

class ErrorText {
 public:
  static constexpr std::size_t kInnerSize = 100;

  ErrorText() = default;
  ~ErrorText();
  ErrorText(const ErrorText&) = delete;
  ErrorText& operator=(const ErrorText&) = delete;

  // kOk, or kOutOfMemory when a heap block was needed and could not be had; the old text
  // then stays.
  Code Set(std::string_view text);
  void Clear() { length_ = 0; }

  bool empty() const { return length_ == 0; }
  std::size_t size() const { return length_; }
  std::string_view view() const { return {data(), length_}; }
  // NUL-terminated, valid until the next Set.
  const char* c_str() const;

  bool on_heap() const { return heap_ != nullptr; }
  // Characters the current storage holds before its terminating NUL.
  std::size_t capacity() const { return on_heap() ? heap_size_ - 1 : kInnerSize - 1; }

 private:
  const char* data() const { return on_heap() ? heap_ : inner_; }

  char inner_[kInnerSize] = {};
  char* heap_ = nullptr;
  std::size_t heap_size_ = 0;
  std::size_t length_ = 0;
};

}  // namespace marlet
