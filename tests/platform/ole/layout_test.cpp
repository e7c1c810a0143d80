// The shapes a client compiled from the Windows documentation depends on: structure sizes
// and offsets of 64-bit Windows, and interface members in their vtable slots.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "ole2.h"
#include "registrar.h"
#include "shlwapi.h"
#include "winreg.h"

namespace {

// Itanium C++ ABI: a pointer to a virtual member holds 1 + its byte offset in the vtable.
template <typename M>
ptrdiff_t Slot(M member) {
  struct {
    ptrdiff_t ptr;
    ptrdiff_t adj;
  } raw;
  static_assert(sizeof(member) == sizeof(raw));
  std::memcpy(&raw, &member, sizeof raw);
  return (raw.ptr - 1) / static_cast<ptrdiff_t>(sizeof(void*));
}

TEST(Layout, AutomationStructures) {
  EXPECT_EQ(sizeof(GUID), 16u);
  EXPECT_EQ(sizeof(VARIANT), 24u);
  EXPECT_EQ(offsetof(VARIANT, lVal), 8u);
  EXPECT_EQ(offsetof(VARIANT, pRecInfo), 16u);
  EXPECT_EQ(sizeof(DECIMAL), 16u);
  EXPECT_EQ(sizeof(SAFEARRAY), 32u);
  EXPECT_EQ(offsetof(SAFEARRAY, pvData), 16u);
  EXPECT_EQ(offsetof(SAFEARRAY, rgsabound), 24u);
  EXPECT_EQ(sizeof(DISPPARAMS), 24u);
  EXPECT_EQ(sizeof(EXCEPINFO), 64u);
  EXPECT_EQ(offsetof(EXCEPINFO, scode), 56u);
  EXPECT_EQ(sizeof(STATSTG), 80u);
  EXPECT_EQ(sizeof(CONNECTDATA), 16u);
  EXPECT_EQ(sizeof(QACONTAINER), 112u);
  EXPECT_EQ(sizeof(QACONTROL), 24u);
  EXPECT_EQ(sizeof(CONTROLINFO), 24u);
  EXPECT_EQ(sizeof(LARGE_INTEGER), 8u);
  EXPECT_EQ(VARIANT_TRUE, -1);
}

TEST(Layout, InterfaceSlots) {
  EXPECT_EQ(Slot(&IUnknown::Release), 2);
  EXPECT_EQ(Slot(&IClassFactory::LockServer), 4);
  EXPECT_EQ(Slot(&IDispatch::Invoke), 6);
  EXPECT_EQ(Slot(&ITypeInfo::ReleaseVarDesc), 21);
  EXPECT_EQ(Slot(&ITypeLib::ReleaseTLibAttr), 12);
  EXPECT_EQ(Slot(&IErrorInfo::GetHelpContext), 7);
  EXPECT_EQ(Slot(&ICreateErrorInfo::SetHelpContext), 7);
  EXPECT_EQ(Slot(&IConnectionPoint::EnumConnections), 7);
  EXPECT_EQ(Slot(&IConnectionPointContainer::FindConnectionPoint), 4);
  EXPECT_EQ(Slot(&IStream::Clone), 13);
  EXPECT_EQ(Slot(&IStorage::Stat), 17);
  EXPECT_EQ(Slot(&IPersistStreamInit::InitNew), 8);
  EXPECT_EQ(Slot(&IPersistStorage::HandsOffStorage), 9);
  EXPECT_EQ(Slot(&IPersistPropertyBag::Save), 6);
  EXPECT_EQ(Slot(&IPropertyBag::Write), 4);
  EXPECT_EQ(Slot(&IOleObject::SetColorScheme), 23);
  EXPECT_EQ(Slot(&IOleClientSite::RequestNewObjectLayout), 8);
  EXPECT_EQ(Slot(&IOleInPlaceObjectWindowless::GetDropTarget), 10);
  EXPECT_EQ(Slot(&IOleInPlaceActiveObject::EnableModeless), 9);
  EXPECT_EQ(Slot(&IOleControl::FreezeEvents), 6);
  EXPECT_EQ(Slot(&IViewObject2::GetExtent), 9);
  EXPECT_EQ(Slot(&IViewObjectEx::GetNaturalExtent), 14);
  EXPECT_EQ(Slot(&IQuickActivate::GetContentExtent), 5);
  EXPECT_EQ(Slot(&IProvideClassInfo2::GetGUID), 4);
  EXPECT_EQ(Slot(&IRegistrar::ResourceUnregister), 12);
}

TEST(Layout, WellKnownNumbers) {
  EXPECT_EQ(E_NOINTERFACE, static_cast<HRESULT>(0x80004002));
  EXPECT_EQ(E_INVALIDARG, static_cast<HRESULT>(0x80070057));
  EXPECT_EQ(REGDB_E_CLASSNOTREG, static_cast<HRESULT>(0x80040154));
  EXPECT_EQ(DISP_E_EXCEPTION, static_cast<HRESULT>(0x80020009));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), static_cast<HRESULT>(0x80070002));
  EXPECT_EQ(IID_IDispatch.Data1, 0x00020400u);
  EXPECT_EQ(IID_IConnectionPointContainer.Data1, 0xB196B284u);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT), 0xFFFFFFFF80000000ull);
}

}  // namespace
