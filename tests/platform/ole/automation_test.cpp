// Strings, variants and safe arrays as a client of the Windows documentation uses them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "ole/com_ptr.h"
#include "oleauto.h"

namespace {

// Owns a VARIANT for the length of a test.
struct Var : VARIANT {
  Var() { VariantInit(this); }
  ~Var() { EXPECT_EQ(VariantClear(this), S_OK); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
};

std::u16string Text(BSTR s) {
  return std::u16string(s ? s : u"", SysStringLen(s));
}

void SetBstr(VARIANT* v, const std::u16string& text) {
  V_VT(v) = VT_BSTR;
  V_BSTR(v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

TEST(Bstr, LengthsCountEmbeddedNulsAndOddBytes) {
  const OLECHAR text[] = {u'a', 0, u'b', 0, u'c'};
  BSTR s = SysAllocStringLen(text, 5);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 5u);
  EXPECT_EQ(SysStringByteLen(s), 10u);
  EXPECT_EQ(std::memcmp(s, text, sizeof text), 0);
  EXPECT_EQ(s[5], 0) << "terminated after the counted text";
  // The byte count sits in the four bytes before the text, as callers on Windows read it.
  DWORD prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 10u);
  SysFreeString(s);

  BSTR odd = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  EXPECT_EQ(std::memcmp(odd, "abc\0", 4), 0);
  SysFreeString(odd);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
  SysFreeString(nullptr);
}

TEST(Bstr, ReallocFromItsOwnText) {
  BSTR s = SysAllocString(u"hello world");
  ASSERT_TRUE(SysReAllocStringLen(&s, s + 6, 5));
  EXPECT_EQ(Text(s), u"world");
  ASSERT_TRUE(SysReAllocString(&s, u"x"));
  EXPECT_EQ(Text(s), u"x");
  SysFreeString(s);
}

TEST(SafeArray, VectorBoundsLockAndDestroy) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 5, 3);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(SafeArrayGetDim(psa), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(psa), 1u);
  LONG lo = 0, hi = 0;
  EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lo), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &hi), S_OK);
  EXPECT_EQ(lo, 5);
  EXPECT_EQ(hi, 7);
  EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lo), DISP_E_BADINDEX);
  VARTYPE vt = VT_EMPTY;
  EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
  EXPECT_EQ(vt, VT_UI1);

  BYTE* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&data)), S_OK);
  data[0] = 1, data[1] = 2, data[2] = 3;
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED) << "a locked array stays";
  EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);

  LONG index = 6;
  BYTE b = 0;
  EXPECT_EQ(SafeArrayGetElement(psa, &index, &b), S_OK);
  EXPECT_EQ(b, 2);
  index = 8;
  EXPECT_EQ(SafeArrayGetElement(psa, &index, &b), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

// Found by fuzzing: an interface array's id overwrote its type, so a variant holding the
// array (typed from SafeArrayGetVartype) could never be cleared.
TEST(SafeArray, EveryElementTypeReadsBackAndClears) {
  for (VARTYPE type : {VT_UI1, VT_I2, VT_I4, VT_R8, VT_BOOL, VT_DECIMAL, VT_BSTR, VT_VARIANT,
                       VT_DISPATCH, VT_UNKNOWN}) {
    SCOPED_TRACE(type);
    SAFEARRAY* psa = SafeArrayCreateVector(type, 0, 2);
    ASSERT_NE(psa, nullptr);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    for (SAFEARRAY* a : {psa, copy}) {
      VARTYPE vt = VT_EMPTY;
      EXPECT_EQ(SafeArrayGetVartype(a, &vt), S_OK);
      EXPECT_EQ(vt, type);
      VARIANT v;
      v.vt = VT_ARRAY | vt;
      v.parray = a;
      EXPECT_EQ(VariantClear(&v), S_OK);
    }
  }
}

TEST(SafeArray, TwoDimensionsFirstIndexVariesFastest) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};  // a(0..1, 1..3)
  SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(psa, nullptr);
  LONG lo = 0, hi = 0;
  SafeArrayGetLBound(psa, 2, &lo);
  SafeArrayGetUBound(psa, 2, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 3);
  for (LONG j = 1; j <= 3; ++j) {
    for (LONG i = 0; i <= 1; ++i) {
      LONG idx[2] = {i, j};
      LONG value = i * 10 + j;
      ASSERT_EQ(SafeArrayPutElement(psa, idx, &value), S_OK);
    }
  }
  auto* cells = static_cast<LONG*>(psa->pvData);
  EXPECT_EQ(cells[0], 1);   // a(0,1)
  EXPECT_EQ(cells[1], 11);  // a(1,1)
  EXPECT_EQ(cells[2], 2);   // a(0,2)
  EXPECT_EQ(cells[5], 13);  // a(1,3)

  SAFEARRAYBOUND grown{4, 1};
  ASSERT_EQ(SafeArrayRedim(psa, &grown), S_OK);
  SafeArrayGetUBound(psa, 2, &hi);
  EXPECT_EQ(hi, 4);
  cells = static_cast<LONG*>(psa->pvData);
  EXPECT_EQ(cells[5], 13) << "existing cells keep their values";
  EXPECT_EQ(cells[7], 0);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, StringElementsAreCopiedInAndOut) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
  ASSERT_NE(psa, nullptr);
  EXPECT_TRUE(psa->fFeatures & FADF_BSTR);
  BSTR s = SysAllocString(u"one");
  LONG i = 1;
  ASSERT_EQ(SafeArrayPutElement(psa, &i, s), S_OK);
  SysFreeString(s);  // the array holds its own copy
  BSTR out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &out), S_OK);
  EXPECT_EQ(Text(out), u"one");
  SysFreeString(out);
  SafeArrayDestroy(psa);
}

// Run in the sanitizer build, these copies and clears show any leak or double free.
TEST(Variant, ByteArrayAndVariantArrayCopiedAndCleared) {
  Var bytes;
  V_VT(&bytes) = VT_ARRAY | VT_UI1;
  V_ARRAY(&bytes) = SafeArrayCreateVector(VT_UI1, 0, 4);
  std::memcpy(V_ARRAY(&bytes)->pvData, "\x01\x00\xff\x7f", 4);

  Var copy;
  ASSERT_EQ(VariantCopy(&copy, &bytes), S_OK);
  EXPECT_EQ(V_VT(&copy), VT_ARRAY | VT_UI1);
  EXPECT_NE(V_ARRAY(&copy), V_ARRAY(&bytes)) << "a deep copy";
  EXPECT_EQ(std::memcmp(V_ARRAY(&copy)->pvData, "\x01\x00\xff\x7f", 4), 0);

  Var list;
  V_VT(&list) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&list) = SafeArrayCreateVector(VT_VARIANT, 0, 3);
  auto* items = static_cast<VARIANT*>(V_ARRAY(&list)->pvData);
  SetBstr(&items[0], u"text");
  V_VT(&items[1]) = VT_I4;
  V_I4(&items[1]) = 258;
  VariantCopy(&items[2], &bytes);  // an array inside an array

  Var list_copy;
  ASSERT_EQ(VariantCopy(&list_copy, &list), S_OK);
  auto* copied = static_cast<VARIANT*>(V_ARRAY(&list_copy)->pvData);
  EXPECT_EQ(Text(V_BSTR(&copied[0])), u"text");
  EXPECT_NE(V_BSTR(&copied[0]), V_BSTR(&items[0]));
  EXPECT_EQ(V_I4(&copied[1]), 258);
  EXPECT_EQ(V_VT(&copied[2]), VT_ARRAY | VT_UI1);

  // Copying over a variant that holds something releases the old value first.
  ASSERT_EQ(VariantCopy(&list_copy, &bytes), S_OK);
  EXPECT_EQ(V_VT(&list_copy), VT_ARRAY | VT_UI1);
}

TEST(Variant, ClearRefusesLockedArrayAndBadType) {
  Var v;
  V_VT(&v) = VT_ARRAY | VT_I2;
  V_ARRAY(&v) = SafeArrayCreateVector(VT_I2, 0, 1);
  SafeArrayLock(V_ARRAY(&v));
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(V_VT(&v), VT_ARRAY | VT_I2) << "nothing was released";
  SafeArrayUnlock(V_ARRAY(&v));

  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x7F;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

TEST(Variant, CopyIndReadsThroughReference) {
  BSTR target = SysAllocString(u"by reference");
  Var ref;
  V_VT(&ref) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&ref) = &target;
  Var value;
  ASSERT_EQ(VariantCopyInd(&value, &ref), S_OK);
  EXPECT_EQ(V_VT(&value), VT_BSTR);
  EXPECT_EQ(Text(V_BSTR(&value)), u"by reference");
  EXPECT_NE(V_BSTR(&value), target);
  SysFreeString(target);
}

struct Conversion {
  VARTYPE from;
  const char16_t* text;  // the source, given as text when `from` is VT_BSTR
  double number;         // the source otherwise
  VARTYPE to;
  HRESULT hr;
  double expected;  // numeric result
};

TEST(VariantChangeType, NumbersAndTextTheControlUses) {
  const Conversion cases[] = {
      {VT_BSTR, u" 1234 ", 0, VT_I4, S_OK, 1234},
      {VT_BSTR, u"-12,345.5", 0, VT_R8, S_OK, -12345.5},
      {VT_BSTR, u"&HFF", 0, VT_I4, S_OK, 255},
      {VT_BSTR, u"&HFFFF", 0, VT_I2, S_OK, -1},
      {VT_BSTR, u"1e3", 0, VT_I2, S_OK, 1000},
      {VT_BSTR, u"70000", 0, VT_I2, DISP_E_OVERFLOW, 0},
      {VT_BSTR, u"12abc", 0, VT_I4, DISP_E_TYPEMISMATCH, 0},
      {VT_BSTR, u"", 0, VT_I4, DISP_E_TYPEMISMATCH, 0},
      {VT_BSTR, u"true", 0, VT_BOOL, S_OK, -1},
      {VT_BSTR, u"False", 0, VT_BOOL, S_OK, 0},
      {VT_BSTR, u"2", 0, VT_BOOL, S_OK, -1},
      {VT_R8, nullptr, 2.5, VT_I4, S_OK, 2},  // half to even
      {VT_R8, nullptr, 3.5, VT_I4, S_OK, 4},
      {VT_R8, nullptr, -2.5, VT_I2, S_OK, -2},
      {VT_R8, nullptr, 255.4, VT_UI1, S_OK, 255},
      {VT_R8, nullptr, 255.5, VT_UI1, DISP_E_OVERFLOW, 0},
      {VT_I4, nullptr, -1, VT_UI1, DISP_E_OVERFLOW, 0},
      {VT_I4, nullptr, 65535, VT_I2, DISP_E_OVERFLOW, 0},
      {VT_I4, nullptr, 7, VT_BOOL, S_OK, -1},
      {VT_I4, nullptr, 0, VT_BOOL, S_OK, 0},
      {VT_BOOL, nullptr, -1, VT_I4, S_OK, -1},
      {VT_EMPTY, nullptr, 0, VT_I4, S_OK, 0},
      {VT_NULL, nullptr, 0, VT_I4, DISP_E_TYPEMISMATCH, 0},
  };
  for (const Conversion& c : cases) {
    Var src, dst;
    V_VT(&src) = c.from;
    if (c.from == VT_BSTR) {
      SetBstr(&src, c.text);
    } else if (c.from == VT_R8) {
      V_R8(&src) = c.number;
    } else if (c.from == VT_I4) {
      V_I4(&src) = static_cast<LONG>(c.number);
    } else if (c.from == VT_BOOL) {
      V_BOOL(&src) = static_cast<VARIANT_BOOL>(c.number);
    }
    SCOPED_TRACE(testing::Message()
                 << "from " << c.from << " to " << c.to << " value " << c.number);
    HRESULT hr = VariantChangeType(&dst, &src, 0, c.to);
    ASSERT_EQ(hr, c.hr);
    if (FAILED(hr)) {
      EXPECT_EQ(V_VT(&dst), VT_EMPTY) << "a failed conversion leaves the destination";
      continue;
    }
    ASSERT_EQ(V_VT(&dst), c.to);
    double got = c.to == VT_I4     ? V_I4(&dst)
                 : c.to == VT_I2   ? V_I2(&dst)
                 : c.to == VT_UI1  ? V_UI1(&dst)
                 : c.to == VT_BOOL ? V_BOOL(&dst)
                                   : V_R8(&dst);
    EXPECT_EQ(got, c.expected);
  }
}

TEST(VariantChangeType, ToText) {
  struct {
    VARIANT v;
    USHORT flags;
    const char16_t* expected;
  } cases[6];
  for (auto& c : cases) VariantInit(&c.v);
  V_VT(&cases[0].v) = VT_I2, V_I2(&cases[0].v) = -32768, cases[0].expected = u"-32768";
  V_VT(&cases[1].v) = VT_R8, V_R8(&cases[1].v) = 0.1, cases[1].expected = u"0.1";
  V_VT(&cases[2].v) = VT_R8, V_R8(&cases[2].v) = 1e20, cases[2].expected = u"1E+20";
  V_VT(&cases[3].v) = VT_BOOL, V_BOOL(&cases[3].v) = VARIANT_TRUE, cases[3].expected = u"-1";
  V_VT(&cases[4].v) = VT_BOOL, V_BOOL(&cases[4].v) = VARIANT_TRUE,
  cases[4].flags = VARIANT_ALPHABOOL, cases[4].expected = u"True";
  V_VT(&cases[5].v) = VT_UI1, V_UI1(&cases[5].v) = 200, cases[5].expected = u"200";
  for (auto& c : cases) {
    Var dst;
    ASSERT_EQ(VariantChangeType(&dst, &c.v, c.flags, VT_BSTR), S_OK);
    EXPECT_EQ(Text(V_BSTR(&dst)), c.expected);
  }
}

TEST(VariantChangeType, InPlaceAndByteArrays) {
  Var v;
  SetBstr(&v, u"42");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I2), S_OK);
  EXPECT_EQ(V_VT(&v), VT_I2);
  EXPECT_EQ(V_I2(&v), 42);

  const std::u16string with_nul(u"A\0B", 3);
  Var text, bytes, back;
  SetBstr(&text, with_nul);
  ASSERT_EQ(VariantChangeType(&bytes, &text, 0, VT_ARRAY | VT_UI1), S_OK);
  EXPECT_EQ(V_ARRAY(&bytes)->rgsabound[0].cElements, 6u);
  ASSERT_EQ(VariantChangeType(&back, &bytes, 0, VT_BSTR), S_OK);
  EXPECT_EQ(Text(V_BSTR(&back)), with_nul);

  Var number, refused;
  V_VT(&number) = VT_I4;
  EXPECT_EQ(VariantChangeType(&refused, &number, 0, VT_ARRAY | VT_UI1), DISP_E_TYPEMISMATCH);
}

TEST(ErrorInfo, OneObjectPerThreadTakenByFirstRead) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetSource(const_cast<LPOLESTR>(u"Test.Source"));
  create->SetDescription(const_cast<LPOLESTR>(u"It failed."));
  create->SetHelpFile(const_cast<LPOLESTR>(u"help.chm"));
  create->SetHelpContext(21302);
  ole::ComPtr<IErrorInfo> info;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, info.put_void()), S_OK);
  create->Release();
  ASSERT_EQ(SetErrorInfo(0, info.get()), S_OK);
  info.reset();

  // Another thread has its own (empty) slot.
  HRESULT other = E_FAIL;
  std::thread([&] {
    IErrorInfo* none = reinterpret_cast<IErrorInfo*>(0xdeadbeef);
    other = GetErrorInfo(0, &none);
    EXPECT_EQ(none, nullptr);
  }).join();
  EXPECT_EQ(other, S_FALSE);

  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  BSTR source = nullptr, description = nullptr, file = nullptr;
  DWORD context = 0;
  info->GetSource(&source);
  info->GetDescription(&description);
  info->GetHelpFile(&file);
  info->GetHelpContext(&context);
  EXPECT_EQ(Text(source), u"Test.Source");
  EXPECT_EQ(Text(description), u"It failed.");
  EXPECT_EQ(Text(file), u"help.chm");
  EXPECT_EQ(context, 21302u);
  SysFreeString(source);
  SysFreeString(description);
  SysFreeString(file);

  IErrorInfo* again = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE) << "the first read took it";
  EXPECT_EQ(again, nullptr);
}

}  // namespace
