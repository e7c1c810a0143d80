// Pixels, rectangles, edges and block copies into a device context's bitmap.
#include <algorithm>
#include <vector>

#include "gdi.h"
#include "win32/error.h"
#include "win32/wingdi.h"

using namespace win32::gdi;

namespace {

void Put(Bitmap* b, int x, int y, uint32_t pixel) {
  if (uint32_t* p = b->At(x, y)) *p = pixel;
}

// [left, right) x [top, bottom), clipped by At.
void Fill(Bitmap* b, int left, int top, int right, int bottom, COLORREF color) {
  const uint32_t pixel = ToPixel(color);
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, b->width);
  bottom = std::min(bottom, b->height);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) Put(b, x, y, pixel);
  }
}

struct EdgeColors {
  int top_left, bottom_right;
};

// Light from the top left: a raised border is light there and dark at the bottom right, a
// sunken one the other way round; the outer ring uses the darker shades.
EdgeColors OuterColors(UINT edge) {
  if (edge & BDR_RAISEDOUTER) return {COLOR_3DLIGHT, COLOR_3DDKSHADOW};
  return {COLOR_3DSHADOW, COLOR_3DHILIGHT};
}
EdgeColors InnerColors(UINT edge) {
  if (edge & BDR_RAISEDINNER) return {COLOR_3DHILIGHT, COLOR_3DSHADOW};
  return {COLOR_3DDKSHADOW, COLOR_3DLIGHT};
}

// One ring one pixel wide on the flagged sides; the right and bottom sides are drawn last, so
// the top-right and bottom-left corners take their colour. Moves the flagged sides inwards.
void Ring(Bitmap* b, RECT& r, EdgeColors colors, UINT flags) {
  const COLORREF tl = GetSysColor(colors.top_left), br = GetSysColor(colors.bottom_right);
  if (flags & BF_LEFT) Fill(b, r.left, r.top, r.left + 1, r.bottom, tl);
  if (flags & BF_TOP) Fill(b, r.left, r.top, r.right, r.top + 1, tl);
  if (flags & BF_RIGHT) Fill(b, r.right - 1, r.top, r.right, r.bottom, br);
  if (flags & BF_BOTTOM) Fill(b, r.left, r.bottom - 1, r.right, r.bottom, br);
  if (flags & BF_LEFT) ++r.left;
  if (flags & BF_TOP) ++r.top;
  if (flags & BF_RIGHT) --r.right;
  if (flags & BF_BOTTOM) --r.bottom;
}

}  // namespace

DWORD WINAPI GetSysColor(int nIndex) {
  switch (nIndex) {
    case COLOR_WINDOW:
    case COLOR_BTNHIGHLIGHT:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
      return RGB(0, 0, 0);
    case COLOR_BTNFACE:
      return RGB(240, 240, 240);
    case COLOR_BTNSHADOW:
      return RGB(160, 160, 160);
    case COLOR_3DDKSHADOW:
      return RGB(105, 105, 105);
    case COLOR_3DLIGHT:
      return RGB(227, 227, 227);
    default:
      return 0;
  }
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const uint32_t* p = dc->bitmap->At(x, y);
  return p != nullptr ? ToColor(*p) : CLR_INVALID;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) return CLR_INVALID;
  uint32_t* p = dc->bitmap->At(x, y);
  if (p == nullptr) return CLR_INVALID;
  *p = ToPixel(color);
  return ToColor(*p);
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) return FALSE;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  Bitmap* b = dc->bitmap;
  const bool pen = !dc->pen->null;
  // Without a pen the filled area is one pixel smaller on the right and bottom, as on Windows.
  if (!dc->brush->null) {
    const int inset = pen ? 1 : 0;
    Fill(b, left + inset, top + inset, right - 1, bottom - 1, dc->brush->color);
  }
  if (pen && right > left && bottom > top) {
    const COLORREF c = dc->pen->color;
    Fill(b, left, top, right, top + 1, c);
    Fill(b, left, bottom - 1, right, bottom, c);
    Fill(b, left, top, left + 1, bottom, c);
    Fill(b, right - 1, top, right, bottom, c);
  }
  return TRUE;
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  Dc* dc = FindDc(hDC);
  auto* brush = static_cast<Brush*>(Find(hbr, Kind::kBrush));
  if (dc == nullptr || brush == nullptr || lprc == nullptr) return 0;
  if (!brush->null) Fill(dc->bitmap, lprc->left, lprc->top, lprc->right, lprc->bottom, brush->color);
  return 1;
}

BOOL WINAPI DrawEdge(HDC hdc, LPRECT qrc, UINT edge, UINT grfFlags) {
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) return FALSE;
  if (qrc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RECT r = *qrc;
  if (edge & BDR_OUTER) Ring(dc->bitmap, r, OuterColors(edge), grfFlags);
  if (edge & BDR_INNER) Ring(dc->bitmap, r, InnerColors(edge), grfFlags);
  if (grfFlags & BF_MIDDLE) Fill(dc->bitmap, r.left, r.top, r.right, r.bottom, GetSysColor(COLOR_3DFACE));
  if (grfFlags & BF_ADJUST) *qrc = r;
  return TRUE;
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
  Dc* dst = FindDc(hdc);
  if (dst == nullptr) return FALSE;
  if (rop == BLACKNESS || rop == WHITENESS) {
    Fill(dst->bitmap, x, y, x + cx, y + cy, rop == BLACKNESS ? RGB(0, 0, 0) : RGB(255, 255, 255));
    return TRUE;
  }
  if (rop != SRCCOPY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Dc* src = FindDc(hdcSrc);
  if (src == nullptr || cx < 0 || cy < 0) return FALSE;
  // Only the part inside both bitmaps; read first, then write, as source and destination may
  // be the same bitmap.
  auto span = [](int n, long long to, int to_size, long long from, int from_size, int& first,
                 int& last) {
    const long long f = std::max({0LL, -to, -from});
    const long long l = std::min({static_cast<long long>(n), to_size - to, from_size - from});
    first = 0;
    last = 0;
    if (f < l) {  // then both lie within [0, n]
      first = static_cast<int>(f);
      last = static_cast<int>(l);
    }
  };
  int i0 = 0, i1 = 0, j0 = 0, j1 = 0;
  span(cx, x, dst->bitmap->width, x1, src->bitmap->width, i0, i1);
  span(cy, y, dst->bitmap->height, y1, src->bitmap->height, j0, j1);
  std::vector<std::pair<uint32_t*, uint32_t>> writes;
  for (int j = j0; j < j1; ++j) {
    for (int i = i0; i < i1; ++i) {
      writes.emplace_back(dst->bitmap->At(x + i, y + j), *src->bitmap->At(x1 + i, y1 + j));
    }
  }
  for (auto& [to, pixel] : writes) *to = pixel;
  return TRUE;
}
