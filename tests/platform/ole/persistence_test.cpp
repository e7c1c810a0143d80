// The persistence helpers a control saves itself into: memory streams, storages with named
// streams, and property bags.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ole/com_ptr.h"
#include "ole2.h"
#include "shlwapi.h"
#include "support.h"

namespace {

using ole::ComPtr;
using oletest::Offset;
using oletest::Text;

// Seven bytes at a time, so that reads end inside the values.
std::string ReadAll(IStream* stream) { return oletest::ReadAll(stream, 7); }

constexpr DWORD kExclusive = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

TEST(MemoryStream, WrittenAndReadBack) {
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  const DWORD version = 0x300;
  ULONG written = 0;
  ASSERT_EQ(stream->Write(&version, 4, &written), S_OK);
  EXPECT_EQ(written, 4u);
  ASSERT_EQ(stream->Write("\x03\x00\x00\x08\x00\x00\x00", 7, &written), S_OK);
  ULARGE_INTEGER pos{};
  ASSERT_EQ(stream->Seek(Offset(0), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 11u);
  EXPECT_EQ(ReadAll(stream.get()), std::string("\x00\x03\x00\x00\x03\x00\x00\x08\x00\x00\x00", 11));

  // Reading past the end gives what there is; a seek before the start is refused.
  stream->Seek(Offset(-2), STREAM_SEEK_END, nullptr);
  char tail[8];
  ULONG got = 0;
  EXPECT_EQ(stream->Read(tail, sizeof tail, &got), S_OK);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(stream->Seek(Offset(-1), STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);

  // Writing past the end fills the gap with zeros.
  stream->Seek(Offset(13), STREAM_SEEK_SET, nullptr);
  stream->Write("Z", 1, nullptr);
  STATSTG st{};
  ASSERT_EQ(stream->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.type, static_cast<DWORD>(STGTY_STREAM));
  EXPECT_EQ(st.cbSize.QuadPart, 14u);
  EXPECT_EQ(ReadAll(stream.get()).substr(11), std::string("\0\0Z", 3));

  // A clone shares the bytes but keeps its own position.
  stream->Seek(Offset(4), STREAM_SEEK_SET, nullptr);
  ComPtr<IStream> clone;
  ASSERT_EQ(stream->Clone(clone.put()), S_OK);
  char one = 0;
  clone->Read(&one, 1, &got);
  EXPECT_EQ(one, 3);
  stream->Write("A", 1, nullptr);
  EXPECT_EQ(ReadAll(clone.get()).substr(4, 1), "A");

  ULARGE_INTEGER size{};
  size.QuadPart = 4;
  ASSERT_EQ(stream->SetSize(size), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), std::string("\x00\x03\x00\x00", 4));
  EXPECT_EQ(CreateStreamOnHGlobal(reinterpret_cast<HGLOBAL>(1), TRUE, clone.put()), E_INVALIDARG);
}

TEST(Storage, NamedStreamWrittenAndReopened) {
  ComPtr<IStorage> storage;
  ASSERT_EQ(
      StgCreateDocfile(nullptr, STGM_CREATE | kExclusive | STGM_DELETEONRELEASE, 0, storage.put()),
      S_OK);
  const CLSID clsid = {
      0x7E2A4C10, 0x3B9D, 0x4F21, {0xA6, 0xC3, 0x51, 0xD0, 0xE8, 0xB7, 0xF2, 0xA4}};
  storage->SetClass(clsid);
  {
    ComPtr<IStream> contents;
    ASSERT_EQ(storage->CreateStream(u"Contents", STGM_CREATE | kExclusive, 0, 0, contents.put()),
              S_OK);
    contents->Write("saved properties", 16, nullptr);
  }
  ComPtr<IStream> again;
  EXPECT_EQ(storage->CreateStream(u"Contents", kExclusive, 0, 0, again.put()),
            STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(storage->OpenStream(u"Contents", nullptr, STGM_READ, 0, again.put()), STG_E_INVALIDFLAG)
      << "elements are opened for exclusive use";
  ASSERT_EQ(
      storage->OpenStream(u"CONTENTS", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, again.put()),
      S_OK);
  EXPECT_EQ(ReadAll(again.get()), "saved properties");
  STATSTG st{};
  ASSERT_EQ(again->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(std::u16string(st.pwcsName), u"Contents");
  CoTaskMemFree(st.pwcsName);

  EXPECT_EQ(
      storage->OpenStream(u"Missing", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, again.put()),
      STG_E_FILENOTFOUND);
  EXPECT_EQ(
      storage->CreateStream(u"a name of thirty-two characters!", kExclusive, 0, 0, again.put()),
      STG_E_INVALIDNAME);

  ComPtr<IStorage> sub;
  ASSERT_EQ(storage->CreateStorage(u"Inner", kExclusive, 0, 0, sub.put()), S_OK);
  ComPtr<IStream> inner;
  sub->CreateStream(u"Data", kExclusive, 0, 0, inner.put());
  inner->Write("x", 1, nullptr);

  ComPtr<IEnumSTATSTG> elements;
  ASSERT_EQ(storage->EnumElements(0, nullptr, 0, elements.put()), S_OK);
  STATSTG items[3]{};
  ULONG fetched = 0;
  EXPECT_EQ(elements->Next(3, items, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(std::u16string(items[0].pwcsName), u"Contents");
  EXPECT_EQ(items[0].type, static_cast<DWORD>(STGTY_STREAM));
  EXPECT_EQ(items[0].cbSize.QuadPart, 16u);
  EXPECT_EQ(std::u16string(items[1].pwcsName), u"Inner");
  EXPECT_EQ(items[1].type, static_cast<DWORD>(STGTY_STORAGE));
  for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(items[i].pwcsName);

  // A deep copy into a second storage keeps the class and every element.
  ComPtr<IStorage> copy;
  ASSERT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | kExclusive, 0, copy.put()), S_OK);
  ASSERT_EQ(storage->CopyTo(0, nullptr, nullptr, copy.get()), S_OK);
  ASSERT_EQ(copy->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_TRUE(st.clsid == clsid);
  ComPtr<IStorage> copied_sub;
  ASSERT_EQ(copy->OpenStorage(u"Inner", nullptr, kExclusive, nullptr, 0, copied_sub.put()), S_OK);
  ComPtr<IStream> copied;
  ASSERT_EQ(copied_sub->OpenStream(u"Data", nullptr, kExclusive, 0, copied.put()), S_OK);
  EXPECT_EQ(ReadAll(copied.get()), "x");
  inner->Write("y", 1, nullptr);
  EXPECT_EQ(ReadAll(copied.get()), "x") << "the copy does not share bytes";

  ASSERT_EQ(storage->DestroyElement(u"Contents"), S_OK);
  EXPECT_EQ(storage->DestroyElement(u"Contents"), STG_E_FILENOTFOUND);
  ComPtr<IStorage> named;
  EXPECT_EQ(StgCreateDocfile(u"/tmp/file.stg", STGM_CREATE | kExclusive, 0, named.put()),
            STG_E_INVALIDNAME);
}

TEST(PropertyBag, NamedValuesWithTheTypeAskedFor) {
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(SHCreatePropertyBagOnMemory(STGM_READWRITE, IID_IPropertyBag, bag.put_void()), S_OK);
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = 2048;
  ASSERT_EQ(bag->Write(u"InBufferSize", &v), S_OK);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"10.0.0.1");
  ASSERT_EQ(bag->Write(u"RemoteHost", &v), S_OK);
  VariantClear(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"replaced");
  ASSERT_EQ(bag->Write(u"remotehost", &v), S_OK) << "the same name in another case";
  VariantClear(&v);

  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(bag->Read(u"REMOTEHOST", &out, nullptr), S_OK);
  EXPECT_EQ(out.vt, VT_BSTR);
  EXPECT_EQ(Text(out.bstrVal), u"replaced");
  VariantClear(&out);

  out.vt = VT_BSTR;  // the type asked for
  ASSERT_EQ(bag->Read(u"InBufferSize", &out, nullptr), S_OK);
  EXPECT_EQ(out.vt, VT_BSTR);
  EXPECT_EQ(Text(out.bstrVal), u"2048");
  VariantClear(&out);
  out.vt = VT_I2;
  ASSERT_EQ(bag->Read(u"InBufferSize", &out, nullptr), S_OK);
  EXPECT_EQ(out.iVal, 2048);
  out.vt = VT_I4;
  EXPECT_EQ(bag->Read(u"RemoteHost", &out, nullptr), DISP_E_TYPEMISMATCH);
  VariantInit(&out);
  EXPECT_EQ(bag->Read(u"LocalPort", &out, nullptr), E_INVALIDARG) << "missing";
}

}  // namespace
