// The view's drawing: the design-time picture, with the toolbox bitmap from this library.
#include "control_object.h"
#include "marlet/design_picture.h"
#include "win32/module.h"

namespace marlet {
namespace {

// The library this code was linked into, which holds bitmap 101.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&OwnModule), &module);
  return module;
}

}  // namespace

STDMETHODIMP MarletControl::Draw(DWORD dwDrawAspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                 HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL,
                                 BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!hdcDraw || !lprcBounds) return E_INVALIDARG;
  const RECT bounds{lprcBounds->left, lprcBounds->top, lprcBounds->right, lprcBounds->bottom};
  return DrawDesignPicture(hdcDraw, bounds, OwnModule());
}

}  // namespace marlet
