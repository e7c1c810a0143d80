#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "marlet/design_picture.h"
#include "windows.h"

namespace {

// The bitmap file read directly (24 bits, bottom-up), independently of LoadBitmapA.
struct FileBitmap {
  FileBitmap() {
    std::ifstream in(MARLET_BITMAP_FILE, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  uint32_t U32(std::size_t at) const {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
           static_cast<uint8_t>(bytes[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
  }
  int Width() const { return static_cast<int>(U32(18)); }
  int Height() const { return static_cast<int>(U32(22)); }
  COLORREF At(int x, int y) const {
    const std::size_t stride = (static_cast<std::size_t>(Width()) * 3 + 3) / 4 * 4;
    const std::size_t at = U32(10) + stride * static_cast<std::size_t>(Height() - 1 - y) +
                           3 * static_cast<std::size_t>(x);
    return RGB(static_cast<uint8_t>(bytes[at + 2]), static_cast<uint8_t>(bytes[at + 1]),
               static_cast<uint8_t>(bytes[at]));
  }
  std::string bytes;
};

struct Surface {
  Surface(int w, int h) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; ++i) static_cast<uint32_t*>(bits)[i] = 0x00123456;
  }
  ~Surface() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  int width, height;
  HBITMAP bitmap;
  HDC dc;
  HGDIOBJ old;
};

TEST(DesignPicture, TheToolboxBitmapIsSixteenByFifteenWithAKeyCorner) {
  FileBitmap file;
  ASSERT_GE(file.bytes.size(), 54u);
  EXPECT_EQ(file.Width(), 16);
  EXPECT_EQ(file.Height(), 15);
  // The corner colour is used for the background and differs from the drawing.
  int key = 0;
  for (int y = 0; y < 15; ++y) {
    for (int x = 0; x < 16; ++x) key += file.At(x, y) == file.At(0, 0);
  }
  EXPECT_GT(key, 16);
  EXPECT_LT(key, 16 * 15 - 16);
}

TEST(DesignPicture, PanelOutlineAndIconPixelByPixel) {
  FileBitmap file;
  const COLORREF face = GetSysColor(COLOR_3DFACE), light = GetSysColor(COLOR_3DHILIGHT),
                 shadow = GetSysColor(COLOR_3DSHADOW), black = RGB(0, 0, 0),
                 outside = RGB(0x12, 0x34, 0x56);
  struct Case {
    RECT bounds;
    HINSTANCE module;  // the test program holds bitmap 101; the runtime library does not
    bool icon;
  } cases[] = {
      {{0, 0, 28, 28}, GetModuleHandleA(nullptr), true},
      {{5, 3, 45, 33}, GetModuleHandleA(nullptr), true},
      {{0, 0, 28, 28}, GetModuleHandleA("win32"), false},
  };
  for (const Case& c : cases) {
    Surface s(50, 40);
    HGDIOBJ pen = SelectObject(s.dc, GetStockObject(WHITE_PEN));
    HGDIOBJ brush = SelectObject(s.dc, GetStockObject(GRAY_BRUSH));
    ASSERT_EQ(marlet::DrawDesignPicture(s.dc, c.bounds, c.module), S_OK);
    // The caller's pen and brush are back in place.
    EXPECT_EQ(SelectObject(s.dc, pen), GetStockObject(WHITE_PEN));
    EXPECT_EQ(SelectObject(s.dc, brush), GetStockObject(GRAY_BRUSH));

    const RECT& b = c.bounds;
    int wrong = 0;
    for (int y = 0; y < s.height; ++y) {
      for (int x = 0; x < s.width; ++x) {
        COLORREF want = outside;
        const bool in = x >= b.left && x < b.right && y >= b.top && y < b.bottom;
        const int ix = x - b.left - 6, iy = y - b.top - 7;
        if (!in) {
          want = outside;
        } else if (x == b.left || y == b.top || x == b.right - 1 || y == b.bottom - 1) {
          want = black;  // the outline covers the outer ring of the edge
        } else if (x == b.right - 2 || y == b.bottom - 2) {
          want = shadow;
        } else if (x == b.left + 1 || y == b.top + 1) {
          want = light;
        } else if (c.icon && ix >= 0 && ix < 16 && iy >= 0 && iy < 15) {
          want = file.At(ix, iy) == file.At(0, 0) ? face : file.At(ix, iy);
        } else {
          want = face;
        }
        if (GetPixel(s.dc, x, y) != want && ++wrong <= 5) {
          ADD_FAILURE() << "pixel " << x << "," << y << " of bounds " << b.left << "," << b.top
                        << ": " << std::hex << GetPixel(s.dc, x, y) << " not " << want;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
  EXPECT_EQ(marlet::DrawDesignPicture(nullptr, RECT{0, 0, 28, 28}, nullptr), E_INVALIDARG);
}

}  // namespace
