#pragma once

#include <QRect>

namespace forms {

// Window layouts are given in twips; the screen has 15 twips to the pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) {
  return twips / kTwipsPerPixel;
}
inline QRect TwipsRect(int left, int top, int width, int height) {
  return {Px(left), Px(top), Px(width), Px(height)};
}

}  // namespace forms
