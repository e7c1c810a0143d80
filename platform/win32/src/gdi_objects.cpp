// Device contexts, bitmaps, pens and brushes: creation, selection and deletion.
#include <mutex>
#include <new>
#include <unordered_set>

#include "gdi.h"
#include "win32/error.h"
#include "win32/wingdi.h"

namespace win32::gdi {
namespace {

struct Registry {
  std::mutex mu;
  std::unordered_set<Object*> live;
};
Registry& Objects() {
  static auto* registry = new Registry;
  return *registry;
}

template <typename T>
T* MakeStock(bool null, COLORREF color) {
  auto* o = new T;
  o->stock = true;
  o->null = null;
  o->color = color;
  return o;
}

Object* Stock(int i) {
  static Object* const table[] = {
      MakeStock<Brush>(false, RGB(255, 255, 255)), MakeStock<Brush>(false, RGB(192, 192, 192)),
      MakeStock<Brush>(false, RGB(128, 128, 128)), MakeStock<Brush>(false, RGB(64, 64, 64)),
      MakeStock<Brush>(false, RGB(0, 0, 0)),       MakeStock<Brush>(true, 0),
      MakeStock<Pen>(false, RGB(255, 255, 255)),   MakeStock<Pen>(false, RGB(0, 0, 0)),
      MakeStock<Pen>(true, 0),
  };
  if (i < 0 || i >= static_cast<int>(std::size(table))) return nullptr;
  return table[i];
}

bool IsStock(Object* o) {
  for (int i = WHITE_BRUSH; i <= NULL_PEN; ++i) {
    if (Stock(i) == o) return true;
  }
  return false;
}

// Stock objects are shared by every thread and never deleted: they are not counted.
void Hold(Object* o) {
  if (!o->stock) ++o->selected;
}
void Drop(Object* o) {
  if (!o->stock) --o->selected;
}

void Unregister(Object* o) {
  std::lock_guard lock(Objects().mu);
  Objects().live.erase(o);
}

}  // namespace

void Register(Object* object) {
  std::lock_guard lock(Objects().mu);
  Objects().live.insert(object);
}

Object* Find(HGDIOBJ handle, Kind kind) {
  auto* o = static_cast<Object*>(handle);
  bool ok = false;
  if (o != nullptr) {
    if (IsStock(o)) {
      ok = true;
    } else {
      std::lock_guard lock(Objects().mu);
      ok = Objects().live.count(o) != 0;
    }
  }
  if (!ok || o->kind != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return o;
}

Dc* FindDc(HDC hdc) {
  return static_cast<Dc*>(Find(hdc, Kind::kDc));
}

HBITMAP AddBitmap(Bitmap* bitmap) {
  Register(bitmap);
  return reinterpret_cast<HBITMAP>(bitmap);
}

Bitmap* NewBitmap(int width, int height) {
  auto* b = new (std::nothrow) Bitmap;
  if (b == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->width = width;
  b->height = height;
  b->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  return b;
}

}  // namespace win32::gdi

using namespace win32::gdi;

HGDIOBJ WINAPI GetStockObject(int i) {
  return Stock(i);
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  if (hdc != nullptr && FindDc(hdc) == nullptr) return nullptr;
  auto* dc = new (std::nothrow) Dc;
  if (dc == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  dc->initial.stock = true;  // owned by the DC, never counted
  dc->initial.width = dc->initial.height = 1;
  dc->initial.pixels.assign(1, 0);
  dc->bitmap = &dc->initial;
  dc->pen = static_cast<Pen*>(Stock(BLACK_PEN));
  dc->brush = static_cast<Brush*>(Stock(WHITE_BRUSH));
  Register(dc);
  return reinterpret_cast<HDC>(dc);
}

BOOL WINAPI DeleteDC(HDC hdc) {
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) return FALSE;
  Drop(dc->bitmap);
  Drop(dc->pen);
  Drop(dc->brush);
  Unregister(dc);
  delete dc;
  return TRUE;
}

HDC WINAPI GetDC(HWND) {
  return CreateCompatibleDC(nullptr);
}

int WINAPI ReleaseDC(HWND, HDC hDC) {
  return DeleteDC(hDC) ? 1 : 0;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  Dc* dc = FindDc(hdc);
  auto* o = static_cast<Object*>(h);
  if (dc == nullptr || o == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // The kind is read only after the handle is known to be live.
  for (Kind kind : {Kind::kBitmap, Kind::kPen, Kind::kBrush}) {
    if (Find(h, kind) == nullptr) continue;
    Object* previous = nullptr;
    if (kind == Kind::kBitmap) {
      auto* bitmap = static_cast<Bitmap*>(o);
      if (bitmap->selected > 0 && bitmap != dc->bitmap) {
        SetLastError(ERROR_INVALID_PARAMETER);  // a bitmap lives in one DC at a time
        return nullptr;
      }
      previous = dc->bitmap;
      dc->bitmap = bitmap;
    } else if (kind == Kind::kPen) {
      previous = dc->pen;
      dc->pen = static_cast<Pen*>(o);
    } else {
      previous = dc->brush;
      dc->brush = static_cast<Brush*>(o);
    }
    Drop(previous);
    Hold(o);
    return previous;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  auto* o = static_cast<Object*>(ho);
  if (o != nullptr && IsStock(o)) return TRUE;
  for (Kind kind : {Kind::kBitmap, Kind::kPen, Kind::kBrush}) {
    if (Find(ho, kind) == nullptr) continue;
    if (o->selected > 0) return FALSE;
    Unregister(o);
    if (kind == Kind::kBitmap) delete static_cast<Bitmap*>(o);
    if (kind == Kind::kPen) delete static_cast<Pen*>(o);
    if (kind == Kind::kBrush) delete static_cast<Brush*>(o);
    return TRUE;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, VOID** ppvBits,
                                HANDLE hSection, DWORD) {
  if (ppvBits != nullptr) *ppvBits = nullptr;
  if (pbmi == nullptr || usage != DIB_RGB_COLORS || hSection != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& h = pbmi->bmiHeader;
  const LONG height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biBitCount != 32 ||
      h.biCompression != BI_RGB || h.biWidth <= 0 || h.biWidth > kMaxSide || height <= 0 ||
      height > kMaxSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Bitmap* b = NewBitmap(h.biWidth, height);
  if (b == nullptr) return nullptr;
  b->bottom_up = h.biHeight > 0;
  b->dib = true;
  if (ppvBits != nullptr) *ppvBits = b->pixels.data();
  return AddBitmap(b);
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
  if (FindDc(hdc) == nullptr) return nullptr;
  if (cx <= 0 || cy <= 0 || cx > kMaxSide || cy > kMaxSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Bitmap* b = NewBitmap(cx, cy);
  return b == nullptr ? nullptr : AddBitmap(b);
}

HPEN WINAPI CreatePen(int iStyle, int, COLORREF color) {
  if (iStyle != PS_SOLID && iStyle != PS_NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* p = new (std::nothrow) Pen;
  if (p == nullptr) return nullptr;
  p->null = iStyle == PS_NULL;
  p->color = color;
  Register(p);
  return reinterpret_cast<HPEN>(p);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  auto* b = new (std::nothrow) Brush;
  if (b == nullptr) return nullptr;
  b->color = color;
  Register(b);
  return reinterpret_cast<HBRUSH>(b);
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
  auto* b = static_cast<Bitmap*>(Find(h, Kind::kBitmap));
  if (b == nullptr) return 0;
  if (pv == nullptr) return sizeof(BITMAP);
  if (c < static_cast<int>(sizeof(BITMAP))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  BITMAP bm{};
  bm.bmWidth = b->width;
  bm.bmHeight = b->height;
  bm.bmWidthBytes = b->width * 4;
  bm.bmPlanes = 1;
  bm.bmBitsPixel = 32;
  bm.bmBits = b->dib ? b->pixels.data() : nullptr;
  *static_cast<BITMAP*>(pv) = bm;
  return sizeof(BITMAP);
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) return 0;
  switch (index) {
    case HORZRES:
      return dc->bitmap->width;
    case VERTRES:
      return dc->bitmap->height;
    case BITSPIXEL:
      return 32;
    case PLANES:
      return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    default:
      return 0;
  }
}
