#include "marlet/error_text.h"

#include <cstdlib>
#include <cstring>

namespace marlet {

ErrorText::~ErrorText() {
  std::free(heap_);
}

Code ErrorText::Set(std::string_view text) {
  const std::size_t n = text.size();
  char* old_block = nullptr;
  char* target = nullptr;
  if (n < kInnerSize) {
    old_block = heap_;
    heap_ = nullptr;
    heap_size_ = 0;
    target = inner_;
  } else if (heap_ && n < heap_size_) {
    target = heap_;
  } else {
    const std::size_t size = n + n / 2 + 1;
    char* block = static_cast<char*>(std::malloc(size));
    if (!block) return kOutOfMemory;
    old_block = heap_;
    heap_ = block;
    heap_size_ = size;
    target = heap_;
  }
  // The text may be a view of the old storage, so it is freed only after the copy.
  std::memmove(target, text.data(), n);
  target[n] = '\0';
  length_ = n;
  std::free(old_block);
  return kOk;
}

const char* ErrorText::c_str() const {
  return length_ == 0 ? "" : data();
}

}  // namespace marlet
