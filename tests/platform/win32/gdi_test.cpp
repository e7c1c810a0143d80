#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "windows.h"

namespace {

// Letters for the colours the tests draw with; '?' for anything else.
const std::map<COLORREF, char>& Legend() {
  static const std::map<COLORREF, char> legend = {
      {RGB(0, 0, 0), 'K'},       {RGB(255, 255, 255), 'W'}, {RGB(255, 0, 0), 'R'},
      {RGB(0, 255, 0), 'G'},     {RGB(0, 0, 255), 'B'},     {RGB(255, 255, 0), 'Y'},
      {RGB(0, 255, 255), 'C'},   {RGB(1, 2, 3), '.'},       {GetSysColor(COLOR_3DFACE), 'F'},
      {GetSysColor(COLOR_3DLIGHT), 'L'}, {GetSysColor(COLOR_3DSHADOW), 'S'},
      {GetSysColor(COLOR_3DDKSHADOW), 'D'},
  };
  return legend;
}

std::vector<std::string> Picture(HDC dc, int width, int height) {
  std::vector<std::string> rows;
  for (int y = 0; y < height; ++y) {
    std::string row;
    for (int x = 0; x < width; ++x) {
      auto it = Legend().find(GetPixel(dc, x, y));
      row += it == Legend().end() ? '?' : it->second;
    }
    rows.push_back(row);
  }
  return rows;
}

// A memory DC over a 32-bit DIB section cleared to RGB(1, 2, 3).
struct Canvas {
  Canvas(int w, int h, bool bottom_up = true) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, bottom_up ? h : -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                              nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; ++i) bits[i] = 0x00010203;
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  std::vector<std::string> Picture() const { return ::Picture(dc, width, height); }
  int width, height;
  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* bits = nullptr;
};

TEST(Gdi, DibSectionRowsFollowTheSignOfTheHeight) {
  for (bool bottom_up : {true, false}) {
    Canvas c(3, 2, bottom_up);
    ASSERT_NE(c.bitmap, nullptr);
    ASSERT_NE(c.old, nullptr);
    EXPECT_EQ(SetPixel(c.dc, 0, 0, RGB(0x12, 0x34, 0x56)), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(SetPixel(c.dc, 2, 1, RGB(255, 0, 0)), RGB(255, 0, 0));
    // Pixel words are 0x00RRGGBB; the first row in memory is the bottom one unless top-down.
    const int top_left = bottom_up ? 3 : 0, bottom_right = bottom_up ? 2 : 5;
    EXPECT_EQ(c.bits[top_left], 0x00123456u) << bottom_up;
    EXPECT_EQ(c.bits[bottom_right], 0x00FF0000u) << bottom_up;
    c.bits[bottom_up ? 0 : 3] = 0x0000FF00;  // the pixel at (0, 1)
    EXPECT_EQ(GetPixel(c.dc, 0, 1), RGB(0, 255, 0));
    for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}}) {
      EXPECT_EQ(GetPixel(c.dc, x, y), CLR_INVALID);
      EXPECT_EQ(SetPixel(c.dc, x, y, 0), CLR_INVALID);
    }
  }
}

TEST(Gdi, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  struct Case {
    int pen, brush;
    RECT r;
    std::vector<std::string> expected;
  } cases[] = {
      {BLACK_PEN, WHITE_BRUSH, {1, 1, 6, 5}, {".......", ".KKKKK.", ".KWWWK.", ".KWWWK.", ".KKKKK.", "......."}},
      {BLACK_PEN, NULL_BRUSH, {1, 1, 6, 5}, {".......", ".KKKKK.", ".K...K.", ".K...K.", ".KKKKK.", "......."}},
      // No pen: the fill stops one pixel short on the right and at the bottom.
      {NULL_PEN, BLACK_BRUSH, {1, 1, 6, 5}, {".......", ".KKKK..", ".KKKK..", ".KKKK..", ".......", "......."}},
      {WHITE_PEN, BLACK_BRUSH, {6, 5, 1, 1}, {".......", ".WWWWW.", ".WKKKW.", ".WKKKW.", ".WWWWW.", "......."}},
      // Clipped by the bitmap.
      {BLACK_PEN, NULL_BRUSH, {-2, 3, 3, 9}, {".......", ".......", ".......", "KKK....", "..K....", "..K...."}},
  };
  for (const Case& c : cases) {
    Canvas canvas(7, 6);
    HGDIOBJ old_pen = SelectObject(canvas.dc, GetStockObject(c.pen));
    HGDIOBJ old_brush = SelectObject(canvas.dc, GetStockObject(c.brush));
    EXPECT_EQ(old_pen, GetStockObject(BLACK_PEN));  // a new DC's pen and brush
    EXPECT_EQ(old_brush, GetStockObject(WHITE_BRUSH));
    EXPECT_TRUE(Rectangle(canvas.dc, c.r.left, c.r.top, c.r.right, c.r.bottom));
    EXPECT_EQ(canvas.Picture(), c.expected) << c.pen << " " << c.brush;
  }
}

TEST(Gdi, EdgesAreLitFromTheTopLeft) {
  struct Case {
    UINT edge, flags;
    RECT adjusted;
    std::vector<std::string> expected;
  } cases[] = {
      {EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST, {2, 2, 4, 4},
       {"LLLLLD", "LWWWSD", "LWFFSD", "LWFFSD", "LSSSSD", "DDDDDD"}},
      {EDGE_SUNKEN, BF_RECT, {0, 0, 6, 6},
       {"SSSSSW", "SDDDLW", "SD..LW", "SD..LW", "SLLLLW", "WWWWWW"}},
      {BDR_RAISEDINNER, BF_TOPLEFT | BF_ADJUST, {1, 1, 6, 6},
       {"WWWWWW", "W.....", "W.....", "W.....", "W.....", "W....."}},
  };
  for (const Case& c : cases) {
    Canvas canvas(6, 6);
    RECT r{0, 0, 6, 6};
    EXPECT_TRUE(DrawEdge(canvas.dc, &r, c.edge, c.flags));
    EXPECT_EQ(canvas.Picture(), c.expected) << c.edge << " " << c.flags;
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}),
              std::vector<LONG>({c.adjusted.left, c.adjusted.top, c.adjusted.right,
                                 c.adjusted.bottom}));
  }
}

TEST(Gdi, BitBltCopiesTheOverlapOfBothBitmaps) {
  Canvas src(3, 2), dst(4, 3);
  const char* colours = "RGBYCW";
  for (int i = 0; i < 6; ++i) {
    for (auto& [colour, letter] : Legend()) {
      if (letter == colours[i]) SetPixel(src.dc, i % 3, i / 3, colour);
    }
  }
  struct Case {
    int x, y, cx, cy, sx, sy;
    std::vector<std::string> expected;
  } cases[] = {
      {1, 1, 3, 2, 0, 0, {"....", ".RGB", ".YCW"}},
      {-1, 2, 3, 2, 0, 0, {"....", "....", "GB.."}},
      {0, 0, 100000, 100000, 1, 1, {"CW..", "....", "...."}},
      {0, 0, 2, 2, -1, 0, {".R..", ".Y..", "...."}},
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, {"....", "....", "...."}},
  };
  for (const Case& c : cases) {
    RECT all{0, 0, 4, 3};
    HBRUSH background = CreateSolidBrush(RGB(1, 2, 3));
    FillRect(dst.dc, &all, background);
    DeleteObject(background);
    EXPECT_TRUE(BitBlt(dst.dc, c.x, c.y, c.cx, c.cy, src.dc, c.sx, c.sy, SRCCOPY));
    EXPECT_EQ(dst.Picture(), c.expected) << c.x << "," << c.y;
  }
  // Within one bitmap, overlapping: the source is read before it is overwritten.
  EXPECT_TRUE(BitBlt(src.dc, 1, 0, 2, 2, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(src.Picture(), (std::vector<std::string>{"RRG", "YYC"}));
}

TEST(Gdi, BitmapResourcesDecodeEveryPixelFormat) {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  path[n] = '\0';
  const std::string dir = std::filesystem::path(path).parent_path().string();
  HMODULE module = LoadLibraryA((dir + "/libresource_fixture.so").c_str());
  ASSERT_NE(module, nullptr);
  // The pictures resources/make_bitmaps.py wrote.
  struct Case {
    int id;
    std::vector<std::string> expected;
  } cases[] = {
      {1, {"KWKWKWKWW", "WWKKWWKKK"}},
      {4, {"RGBYC", "KWRGB", "CYBGR"}},
      {8, {"RGB", "BGR"}},
      {24, {"RGB", "YCW"}},
      {32, {"RG", "BY"}},
  };
  for (const Case& c : cases) {
    HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(c.id));
    ASSERT_NE(bitmap, nullptr) << c.id;
    BITMAP info{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, static_cast<LONG>(c.expected[0].size()));
    EXPECT_EQ(info.bmHeight, static_cast<LONG>(c.expected.size()));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    EXPECT_EQ(Picture(dc, info.bmWidth, info.bmHeight), c.expected) << c.id;
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bitmap));
  }
  SetLastError(0);
  EXPECT_EQ(LoadBitmapA(module, MAKEINTRESOURCEA(64)), nullptr);  // rows missing
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
  EXPECT_EQ(LoadBitmapA(module, MAKEINTRESOURCEA(65)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  FreeLibrary(module);
}

TEST(Gdi, HandlesAreCheckedAndSelectedObjectsKept) {
  Canvas a(2, 2), b(2, 2);
  // A bitmap lives in one device context at a time and is not deleted while there.
  EXPECT_EQ(SelectObject(b.dc, a.bitmap), nullptr);
  EXPECT_FALSE(DeleteObject(a.bitmap));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(a.dc, pen);
  EXPECT_FALSE(DeleteObject(pen));
  EXPECT_EQ(SelectObject(a.dc, old), pen);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));  // stock objects survive
  EXPECT_TRUE(Rectangle(a.dc, 0, 0, 2, 2));
  EXPECT_EQ(GetPixel(a.dc, 0, 0), RGB(0, 0, 0));

  int not_a_handle = 0;
  SetLastError(0);
  EXPECT_EQ(SelectObject(a.dc, &not_a_handle), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetPixel(reinterpret_cast<HDC>(&not_a_handle), 0, 0), CLR_INVALID);
  EXPECT_FALSE(DeleteObject(pen));  // already deleted
  EXPECT_EQ(SelectObject(a.dc, a.dc), nullptr);
  EXPECT_EQ(GetStockObject(42), nullptr);

  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

}  // namespace
