// The drawing subset of gdi32 and user32: memory device contexts over 32-bit pixel buffers,
// stock and solid pens and brushes, pixels, rectangles, raised and sunken edges, block copies,
// and bitmaps loaded from a module's resources.
//
// There is no screen: every device context draws into a bitmap in memory, and coordinates are
// device pixels (no mapping modes, no clip regions beyond the bitmap's bounds). Pens are one
// pixel wide whatever width they are made with. A DIB section is 32 bits per pixel, BI_RGB,
// each pixel a DWORD 0x00RRGGBB, rows bottom-up for a positive height as on Windows. System
// colours are Windows 10's defaults. Handles are checked: a foreign or deleted handle fails
// with ERROR_INVALID_HANDLE instead of crashing.
#pragma once

#include "win32/types.h"
#include "win32/windef.h"

typedef void* HGDIOBJ;
typedef struct HPEN__* HPEN;

#define RGB(r, g, b)                                                    \
  WIN32_INT_CAST(COLORREF, WIN32_INT_CAST(BYTE, r) |                    \
                               (WIN32_INT_CAST(WORD, WIN32_INT_CAST(BYTE, g)) << 8) | \
                               (WIN32_INT_CAST(DWORD, WIN32_INT_CAST(BYTE, b)) << 16))
#define GetRValue(rgb) WIN32_INT_CAST(BYTE, rgb)
#define GetGValue(rgb) WIN32_INT_CAST(BYTE, WIN32_INT_CAST(WORD, rgb) >> 8)
#define GetBValue(rgb) WIN32_INT_CAST(BYTE, (rgb) >> 16)
#define CLR_INVALID 0xFFFFFFFF

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO;

typedef struct tagBITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

#define BI_RGB 0L
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8

#define PS_SOLID 0
#define PS_NULL 5

#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90

#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_3DHILIGHT COLOR_BTNHIGHLIGHT

#define BDR_RAISEDOUTER 0x0001
#define BDR_SUNKENOUTER 0x0002
#define BDR_RAISEDINNER 0x0004
#define BDR_SUNKENINNER 0x0008
#define BDR_OUTER (BDR_RAISEDOUTER | BDR_SUNKENOUTER)
#define BDR_INNER (BDR_RAISEDINNER | BDR_SUNKENINNER)
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define EDGE_BUMP (BDR_RAISEDOUTER | BDR_SUNKENINNER)
#define BF_LEFT 0x0001
#define BF_TOP 0x0002
#define BF_RIGHT 0x0004
#define BF_BOTTOM 0x0008
#define BF_TOPLEFT (BF_TOP | BF_LEFT)
#define BF_BOTTOMRIGHT (BF_BOTTOM | BF_RIGHT)
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)
#define BF_MIDDLE 0x0800
#define BF_ADJUST 0x2000

// gdi32
WIN32_API HDC WINAPI CreateCompatibleDC(HDC hdc);
WIN32_API BOOL WINAPI DeleteDC(HDC hdc);
// NULL (ERROR_INVALID_HANDLE) for a bad handle, or a bitmap already selected into another DC.
WIN32_API HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
// FALSE for an object still selected into a DC; stock objects are never deleted.
WIN32_API BOOL WINAPI DeleteObject(HGDIOBJ ho);
WIN32_API HGDIOBJ WINAPI GetStockObject(int i);
WIN32_API HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage,
                                          VOID** ppvBits, HANDLE hSection, DWORD offset);
WIN32_API HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy);
WIN32_API HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color);
WIN32_API HBRUSH WINAPI CreateSolidBrush(COLORREF color);
WIN32_API int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv);
WIN32_API int WINAPI GetDeviceCaps(HDC hdc, int index);
WIN32_API COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
WIN32_API COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);
// Outline with the selected pen on the edge pixels (right and bottom exclusive), inside filled
// with the selected brush.
WIN32_API BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);
WIN32_API BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1,
                             DWORD rop);

// user32
WIN32_API DWORD WINAPI GetSysColor(int nIndex);
WIN32_API int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
WIN32_API BOOL WINAPI DrawEdge(HDC hdc, LPRECT qrc, UINT edge, UINT grfFlags);
// A bitmap resource (RT_BITMAP) of 1, 4, 8, 24 or 32 bits per pixel, uncompressed.
WIN32_API HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName);
// The screen: a device context at 96 pixels per inch over a one-pixel bitmap (windows have no
// pixels here). ReleaseDC frees it.
WIN32_API HDC WINAPI GetDC(HWND hWnd);
WIN32_API int WINAPI ReleaseDC(HWND hWnd, HDC hDC);
