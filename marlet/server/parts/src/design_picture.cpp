#include "marlet/design_picture.h"


namespace marlet {
namespace {

constexpr int kIconX = 6, kIconY = 7, kIconWidth = 16, kIconHeight = 15;

// The bitmap's corner colour becomes the colour already under the icon's top-left pixel, so
// the icon sits on the panel whatever the panel's colour.
void DrawIcon(HDC hdc, const RECT& bounds, HINSTANCE module) {
  HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(kToolboxBitmapId));
  if (bitmap == nullptr) return;
  HDC memory = CreateCompatibleDC(hdc);
  if (memory != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    const int x = bounds.left + kIconX, y = bounds.top + kIconY;
    const COLORREF under = GetPixel(hdc, x, y);
    const COLORREF key = GetPixel(memory, 0, 0);
    for (int j = 0; j < kIconHeight; ++j) {
      for (int i = 0; i < kIconWidth; ++i) {
        if (GetPixel(memory, i, j) == key) SetPixel(memory, i, j, under);
      }
    }
    BitBlt(hdc, x, y, kIconWidth, kIconHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
  DeleteObject(bitmap);
}

}  // namespace

HRESULT DrawDesignPicture(HDC hdc, const RECT& bounds, HINSTANCE module) {
  if (hdc == nullptr) return E_INVALIDARG;
  RECT panel = bounds;
  if (!DrawEdge(hdc, &panel, EDGE_RAISED, BF_RECT | BF_MIDDLE)) return E_INVALIDARG;
  // An outline only: the hollow brush keeps the panel's middle.
  HGDIOBJ old_pen = SelectObject(hdc, GetStockObject(BLACK_PEN));
  HGDIOBJ old_brush = SelectObject(hdc, GetStockObject(NULL_BRUSH));
  Rectangle(hdc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  SelectObject(hdc, old_brush);
  SelectObject(hdc, old_pen);
  DrawIcon(hdc, bounds, module);
  return S_OK;
}

}  // namespace marlet
