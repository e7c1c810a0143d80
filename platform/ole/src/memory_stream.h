// A stream over a shared, growable byte buffer: memory streams, clones and the streams of
// a memory storage all use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "objidl.h"

namespace ole {

using Bytes = std::shared_ptr<std::vector<BYTE>>;

// `name` is what Stat reports (empty for an unnamed stream).
HRESULT CreateMemoryStream(Bytes data, std::u16string name, IStream** out);

}  // namespace ole
