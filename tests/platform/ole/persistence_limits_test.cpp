// Streams and storages driven where a careless or hostile caller takes them: copies into
// what is being read, writes far past the end, storages moved into themselves.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ole/com_ptr.h"
#include "ole2.h"
#include "support.h"

namespace {

using ole::ComPtr;
using oletest::Offset;
using oletest::ReadAll;

constexpr DWORD kExclusive = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

ULARGE_INTEGER Count(ULONGLONG n) {
  ULARGE_INTEGER u;
  u.QuadPart = n;
  return u;
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 23);
  return s;
}

TEST(MemoryStream, CopyIntoAStreamSharingItsBytes) {
  const std::string text = Pattern(3000);
  for (bool into_self : {false, true}) {
    SCOPED_TRACE(into_self ? "into itself" : "into its clone");
    ComPtr<IStream> stream, clone;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(stream->Write(text.data(), static_cast<ULONG>(text.size()), nullptr), S_OK);
    ASSERT_EQ(stream->Clone(clone.put()), S_OK);  // positioned at the end
    stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr);

    // Appending through the clone moves the shared bytes while they are being copied.
    ULARGE_INTEGER read{}, written{};
    IStream* target = into_self ? stream.get() : clone.get();
    ASSERT_EQ(stream->CopyTo(target, Count(ULLONG_MAX), &read, &written), S_OK);
    EXPECT_EQ(ReadAll(stream.get()), into_self ? text : text + text);
    EXPECT_EQ(read.QuadPart, text.size());
    EXPECT_EQ(written.QuadPart, text.size());
  }
}

TEST(MemoryStream, FarSeeksAndSizesAreRefusedNotFatal) {
  const LONGLONG kFar = 1ll << 62;
  const struct {
    const char* what;
    LONGLONG offset;
    DWORD origin;
    HRESULT seek, write;
  } cases[] = {
      {"just past the size limit", (1ll << 30) + 1, STREAM_SEEK_SET, S_OK, STG_E_MEDIUMFULL},
      {"far past the end", kFar, STREAM_SEEK_SET, S_OK, STG_E_MEDIUMFULL},
      {"the last offset there is", LLONG_MAX, STREAM_SEEK_SET, S_OK, STG_E_MEDIUMFULL},
      {"past the last offset", LLONG_MAX, STREAM_SEEK_END, STG_E_INVALIDFUNCTION, S_OK},
      {"before the start", LLONG_MIN, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, S_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(stream->Write("kept", 4, nullptr), S_OK);
    ULARGE_INTEGER pos = Count(99);
    EXPECT_EQ(stream->Seek(Offset(c.offset), c.origin, &pos), c.seek);
    EXPECT_EQ(pos.QuadPart, c.seek == S_OK ? static_cast<ULONGLONG>(c.offset) : 99u);
    ULONG written = 77;
    EXPECT_EQ(stream->Write("xy", 2, &written), c.write);
    EXPECT_EQ(written, c.write == S_OK ? 2u : 0u);
    if (c.write != S_OK) {
      EXPECT_EQ(ReadAll(stream.get()), "kept");
    }
  }

  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  stream->Write("kept", 4, nullptr);
  for (ULONGLONG size : {(1ull << 30) + 1, 1ull << 62, ULLONG_MAX}) {
    EXPECT_EQ(stream->SetSize(Count(size)), STG_E_MEDIUMFULL) << size;
  }
  EXPECT_EQ(ReadAll(stream.get()), "kept");
}

// The elements beneath `storage` as "name=size" and "name{...}", in order.
std::string Describe(IStorage* storage) {
  ComPtr<IEnumSTATSTG> items;
  if (storage->EnumElements(0, nullptr, 0, items.put()) != S_OK) return "?";
  std::string out;
  STATSTG st{};
  while (items->Next(1, &st, nullptr) == S_OK) {
    std::u16string name = st.pwcsName;
    CoTaskMemFree(st.pwcsName);
    out += std::string(name.begin(), name.end());
    if (st.type == STGTY_STREAM) {
      out += "=" + std::to_string(st.cbSize.QuadPart) + ";";
      continue;
    }
    ComPtr<IStorage> sub;
    storage->OpenStorage(name.c_str(), nullptr, kExclusive, nullptr, 0, sub.put());
    out += "{" + (sub ? Describe(sub.get()) : std::string("?")) + "}";
  }
  return out;
}

TEST(Storage, CopyOrMoveIntoItselfIsRefused) {
  ComPtr<IStorage> root, inner, deep, side;
  ASSERT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | kExclusive, 0, root.put()), S_OK);
  ComPtr<IStream> s;
  root->CreateStream(u"Contents", kExclusive, 0, 0, s.put());
  s->Write("saved", 5, nullptr);
  root->CreateStorage(u"Inner", kExclusive, 0, 0, inner.put());
  inner->CreateStorage(u"Deep", kExclusive, 0, 0, deep.put());
  deep->CreateStream(u"Data", kExclusive, 0, 0, s.put());
  s->Write("x", 1, nullptr);
  root->CreateStorage(u"Side", kExclusive, 0, 0, side.put());
  const std::string before = Describe(root.get());
  ASSERT_EQ(before, "Contents=5;Inner{Deep{Data=1;}}Side{}");

  const struct {
    const char* what;
    IStorage* from;
    const char16_t* element;  // null: copy the whole storage
    IStorage* into;
    const char16_t* as;
    DWORD flags;
  } refused[] = {
      {"copy into itself", root.get(), nullptr, root.get(), nullptr, 0},
      {"copy into a child", root.get(), nullptr, inner.get(), nullptr, 0},
      {"copy into a grandchild", root.get(), nullptr, deep.get(), nullptr, 0},
      {"move into itself", root.get(), u"Inner", inner.get(), u"Again", STGMOVE_MOVE},
      {"move into its child", root.get(), u"Inner", deep.get(), u"Again", STGMOVE_MOVE},
      {"copy into its child", root.get(), u"Inner", deep.get(), u"Again", STGMOVE_COPY},
      {"stream moved onto itself", root.get(), u"Contents", root.get(), u"CONTENTS", STGMOVE_MOVE},
      {"storage moved onto itself", root.get(), u"Side", root.get(), u"Side", STGMOVE_MOVE},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    const HRESULT hr = c.element ? c.from->MoveElementTo(c.element, c.into, c.as, c.flags)
                                 : c.from->CopyTo(0, nullptr, nullptr, c.into);
    EXPECT_EQ(hr, STG_E_ACCESSDENIED);
    EXPECT_EQ(Describe(root.get()), before);
  }

  // Beside itself is fine: into a sibling, or under another name in the same storage.
  ASSERT_EQ(root->MoveElementTo(u"Inner", side.get(), u"Moved", STGMOVE_MOVE), S_OK);
  ASSERT_EQ(root->MoveElementTo(u"Contents", root.get(), u"Renamed", STGMOVE_MOVE), S_OK);
  ASSERT_EQ(inner->CopyTo(0, nullptr, nullptr, side.get()), S_OK);
  EXPECT_EQ(Describe(root.get()), "Renamed=5;Side{Deep{Data=1;}Moved{Deep{Data=1;}}}");
}

}  // namespace
