// LoadBitmapA: a device-independent bitmap from the module's resources, made a 32-bit bitmap.
#include <cstring>
#include <new>

#include "gdi.h"
#include "win32/error.h"
#include "win32/resource.h"
#include "win32/wingdi.h"

using namespace win32::gdi;

namespace {

uint32_t Read32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Read16(const BYTE* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Checked against the resource's size at every step: a resource is input like any file.
Bitmap* Decode(const BYTE* data, DWORD size) {
  if (size < sizeof(BITMAPINFOHEADER)) return nullptr;
  const uint32_t header = Read32(data);
  const auto width = static_cast<int32_t>(Read32(data + 4));
  const auto height = static_cast<int32_t>(Read32(data + 8));
  const uint16_t planes = Read16(data + 12), bpp = Read16(data + 14);
  const uint32_t compression = Read32(data + 16);
  uint32_t colors = Read32(data + 32);
  const int32_t rows = height < 0 ? -height : height;
  if (header < sizeof(BITMAPINFOHEADER) || header > size || planes != 1 ||
      compression != BI_RGB || width <= 0 || width > kMaxSide || height == INT32_MIN ||
      rows == 0 || rows > kMaxSide) {
    return nullptr;
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
  if (bpp <= 8 && (colors == 0 || colors > (1u << bpp))) colors = 1u << bpp;
  if (bpp > 8) colors = 0;
  const uint64_t palette_at = header;
  const uint64_t bits_at = palette_at + 4ull * colors;
  const uint64_t stride = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
  if (bits_at + stride * static_cast<uint64_t>(rows) > size) return nullptr;

  Bitmap* b = NewBitmap(width, rows);
  if (b == nullptr) return nullptr;
  const BYTE* palette = data + palette_at;
  for (int y = 0; y < rows; ++y) {
    // Rows are stored bottom-up unless the height is negative.
    const int stored = height > 0 ? rows - 1 - y : y;
    const BYTE* row = data + bits_at + stride * static_cast<uint64_t>(stored);
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = 0;
      if (bpp == 32) {
        pixel = Read32(row + 4 * x) & 0xFFFFFF;
      } else if (bpp == 24) {
        const BYTE* p = row + 3 * x;
        pixel = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
      } else {
        const int bit = x * bpp;
        const unsigned shift = 8 - bpp - (bit % 8);
        unsigned index = (row[bit / 8] >> shift) & ((1u << bpp) - 1);
        if (index >= colors) index = 0;
        pixel = Read32(palette + 4 * index) & 0xFFFFFF;
      }
      *b->At(x, y) = pixel;
    }
  }
  return b;
}

}  // namespace

HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
  HRSRC found = FindResourceA(hInstance, lpBitmapName, RT_BITMAP);
  if (found == nullptr) return nullptr;
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(hInstance, found)));
  Bitmap* b = data != nullptr ? Decode(data, SizeofResource(hInstance, found)) : nullptr;
  if (b == nullptr) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return AddBitmap(b);
}
