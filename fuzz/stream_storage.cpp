// Memory streams and storages driven by a sequence of operations read from the input: any
// order of create, open, write, read, seek, resize, clone, copy, move, rename and destroy,
// on names valid and not, across a handful of open streams and storages. What a stream
// was just given reads back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "ole2.h"

namespace {

constexpr DWORD kExclusive = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
const char16_t* const kNames[] = {
    u"A", u"a", u"B", u"Contents", u"x/y", u"", u"a name of thirty-two characters!"};
constexpr size_t kSlots = 6;

// Offsets stay small, or lie beyond what a stream may hold, so no run allocates a gigabyte.
LONGLONG Offset(fuzz::Input& in) {
  switch (in.Pick(4)) {
    case 0:
      return in.Number<int16_t>();
    case 1:
      return in.Number<uint16_t>();
    case 2:
      return (1ll << 31) + in.Number<uint32_t>() * 4096ll;
    default:
      return in.Number<LONGLONG>() | (1ll << 40);
  }
}

template <typename T>
void Put(std::vector<T*>& slots, size_t i, T* item) {
  if (slots[i]) slots[i]->Release();
  slots[i] = item;
}

template <typename T>
T* Any(fuzz::Input& in, std::vector<T*>& slots) {
  return slots[in.Pick(slots.size())];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  std::vector<IStorage*> storages(kSlots, nullptr);
  std::vector<IStream*> streams(kSlots, nullptr);
  if (StgCreateDocfile(nullptr, STGM_CREATE | kExclusive, 0, &storages[0]) != S_OK) std::abort();
  if (CreateStreamOnHGlobal(nullptr, TRUE, &streams[0]) != S_OK) std::abort();

  for (int step = 0; step < 256 && !in.empty(); ++step) {
    const char16_t* name = kNames[in.Pick(std::size(kNames))];
    const size_t slot = in.Pick(kSlots);
    IStorage* stg = Any(in, storages);
    IStream* stm = Any(in, streams);
    switch (in.Pick(16)) {
      case 0: {
        IStream* s = nullptr;
        if (stg) stg->CreateStream(name, kExclusive | (in.Bool() ? STGM_CREATE : 0), 0, 0, &s);
        if (s) Put(streams, slot, s);
        break;
      }
      case 1: {
        IStream* s = nullptr;
        if (stg) stg->OpenStream(name, nullptr, kExclusive, 0, &s);
        if (s) Put(streams, slot, s);
        break;
      }
      case 2: {
        IStorage* s = nullptr;
        if (stg) stg->CreateStorage(name, kExclusive | (in.Bool() ? STGM_CREATE : 0), 0, 0, &s);
        if (s) Put(storages, slot, s);
        break;
      }
      case 3: {
        IStorage* s = nullptr;
        if (stg) stg->OpenStorage(name, nullptr, kExclusive, nullptr, 0, &s);
        if (s) Put(storages, slot, s);
        break;
      }
      case 4: {
        if (!stm) break;
        const std::string_view bytes = in.Bytes(4096);
        ULARGE_INTEGER at{};
        stm->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &at);
        ULONG written = 0;
        if (stm->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written) != S_OK) break;
        if (written != bytes.size()) std::abort();
        LARGE_INTEGER back;
        back.QuadPart = static_cast<LONGLONG>(at.QuadPart);
        std::string got(bytes.size(), '\0');
        ULONG read = 0;
        stm->Seek(back, STREAM_SEEK_SET, nullptr);
        stm->Read(got.data(), static_cast<ULONG>(got.size()), &read);
        if (read != bytes.size() || got != bytes) std::abort();
        break;
      }
      case 5: {
        if (!stm) break;
        char buf[512];
        ULONG read = 0;
        stm->Read(buf, in.Pick(sizeof buf), &read);
        break;
      }
      case 6: {
        if (!stm) break;
        LARGE_INTEGER move;
        move.QuadPart = Offset(in);
        stm->Seek(move, in.Pick(4), nullptr);
        break;
      }
      case 7: {
        if (!stm) break;
        ULARGE_INTEGER n;
        n.QuadPart = static_cast<ULONGLONG>(Offset(in));
        stm->SetSize(n);
        break;
      }
      case 8: {
        IStream* clone = nullptr;
        if (stm && stm->Clone(&clone) == S_OK) Put(streams, slot, clone);
        break;
      }
      case 9: {
        IStream* to = Any(in, streams);
        ULARGE_INTEGER n, read{}, written{};
        n.QuadPart = in.Bool() ? ~0ull : in.Number<uint16_t>();
        if (stm && to) stm->CopyTo(to, n, &read, &written);
        break;
      }
      case 10: {
        IStorage* to = Any(in, storages);
        if (stg && to) stg->CopyTo(0, nullptr, nullptr, to);
        break;
      }
      case 11: {
        IStorage* to = Any(in, storages);
        const char16_t* as = kNames[in.Pick(std::size(kNames))];
        if (stg && to) stg->MoveElementTo(name, to, as, in.Pick(3));
        break;
      }
      case 12:
        if (stg) stg->DestroyElement(name);
        break;
      case 13:
        if (stg) stg->RenameElement(name, kNames[in.Pick(std::size(kNames))]);
        break;
      case 14: {
        IEnumSTATSTG* items = nullptr;
        if (!stg || stg->EnumElements(0, nullptr, 0, &items) != S_OK) break;
        STATSTG st[3];
        ULONG got = 0;
        while (items->Next(3, st, &got) == S_OK || got) {
          for (ULONG i = 0; i < got; ++i) CoTaskMemFree(st[i].pwcsName);
          if (got < 3) break;
          got = 0;
        }
        items->Release();
        break;
      }
      default:
        if (in.Bool()) {
          Put(streams, slot, static_cast<IStream*>(nullptr));
        } else {
          Put(storages, slot, static_cast<IStorage*>(nullptr));
        }
        break;
    }
  }
  for (IStream* s : streams) {
    if (s) s->Release();
  }
  for (IStorage* s : storages) {
    if (s) s->Release();
  }
  return 0;
}
