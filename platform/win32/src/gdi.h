// The objects behind the drawing handles.
#pragma once

#include <cstdint>
#include <vector>

#include "win32/wingdi.h"

namespace win32::gdi {

enum class Kind { kDc, kBitmap, kPen, kBrush };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  Kind kind;
  bool stock = false;
  int selected = 0;  // device contexts holding it
};

// Pixels as 0x00RRGGBB, the layout of a 32-bit DIB.
struct Bitmap : Object {
  Bitmap() : Object(Kind::kBitmap) {}
  int width = 0, height = 0;
  bool bottom_up = false;
  bool dib = false;
  std::vector<uint32_t> pixels;
  uint32_t* At(int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
    int row = bottom_up ? height - 1 - y : y;
    return &pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)];
  }
};

struct Pen : Object {
  Pen() : Object(Kind::kPen) {}
  bool null = false;
  COLORREF color = 0;
};

struct Brush : Object {
  Brush() : Object(Kind::kBrush) {}
  bool null = false;
  COLORREF color = 0;
};

struct Dc : Object {
  Dc() : Object(Kind::kDc) {}
  Bitmap* bitmap = nullptr;
  Pen* pen = nullptr;
  Brush* brush = nullptr;
  Bitmap initial;  // the one-pixel bitmap a new memory DC starts with
};

// Live objects only; sets ERROR_INVALID_HANDLE otherwise. Stock objects are always live.
Object* Find(HGDIOBJ handle, Kind kind);
Dc* FindDc(HDC hdc);
void Register(Object* object);
// Takes ownership; NULL (and ERROR_NOT_ENOUGH_MEMORY) when the size is out of reach.
HBITMAP AddBitmap(Bitmap* bitmap);
// A bitmap of `width` x `height` black pixels, not yet registered; nullptr with
// ERROR_NOT_ENOUGH_MEMORY when it cannot be had.
Bitmap* NewBitmap(int width, int height);

inline uint32_t ToPixel(COLORREF c) {
  return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
         GetBValue(c);
}
inline COLORREF ToColor(uint32_t p) {
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

// Largest side accepted for a bitmap: far beyond any picture here, small enough that the
// pixel count cannot overflow.
constexpr int kMaxSide = 16384;

}  // namespace win32::gdi
