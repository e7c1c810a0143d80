#pragma once

#include <QColor>
#include <cstdint>

namespace forms {

// Colour values are numbers in blue-green-red order: red is 255, green 65280, blue 16711680.
inline QColor FromColorValue(std::int32_t value) {
  return {value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF};
}
inline std::int32_t ToColorValue(const QColor& c) {
  return c.red() | (c.green() << 8) | (c.blue() << 16);
}

}  // namespace forms
