// Persisted properties through the control's persistence interfaces, and the picture a form
// designer gets from its view.
#include <fstream>
#include <iterator>

#include "control_support.h"
#include "objbase.h"
#include "shlwapi.h"
#include "windows.h"

namespace marlet_test {
namespace {

// The ten persisted properties, each with a value other than its default.
const struct {
  const char16_t* name;
  DISPID dispid;
  LONG value;
  const char* text;
} kSaved[] = {
    {u"InBufferSize", 5, 4096, nullptr},   {u"LocalPort", 7, 4321, nullptr},
    {u"MaxPacketSize", 8, 512, nullptr},   {u"OutBufferSize", 9, 1000, nullptr},
    {u"QOSFlags", 10, 8, nullptr},         {u"RemoteHost", 11, 0, "127.0.0.1"},
    {u"RemotePort", 12, 9876, nullptr},    {u"TimeToLive", 15, 7, nullptr},
    {u"UseConnection", 16, -1, nullptr},   {u"WinsockLoaded", 18, -1, nullptr},
};

class Persistence : public ControlTest {
 protected:
  // Every persisted property of `control` set to its value of kSaved.
  void SetAll(IMarlet* control) {
    for (const auto& p : kSaved) {
      VARIANT v;
      VariantInit(&v);
      if (p.text) {
        v.vt = VT_BSTR;
        v.bstrVal = Wide(p.text);
      } else {
        v.vt = VT_I4;
        v.lVal = p.value;
      }
      EXPECT_EQ(PutByName(control, p.name, v), S_OK);
      VariantClear(&v);
    }
  }
  // How many persisted properties of `control` read as kSaved has them.
  int CountLoaded(IMarlet* control) {
    int n = 0;
    for (const auto& p : kSaved) {
      VARIANT v;
      VariantInit(&v);
      if (SUCCEEDED(GetByName(control, p.name, &v))) {
        if (p.text) {
          n += v.vt == VT_BSTR && Narrow(v.bstrVal) == p.text;
        } else {
          VARIANT l;
          VariantInit(&l);
          n += SUCCEEDED(VariantChangeType(&l, &v, 0, VT_I4)) && l.lVal == p.value;
        }
      }
      VariantClear(&v);
    }
    return n;
  }
  ComPtr<IStream> Stream() {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    return stream;
  }
  static void Rewind(IStream* stream) {
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  }
};

TEST_F(Persistence, PropertiesSurviveEveryRoundTrip) {
  SetAll(control_.get());
  const struct {
    const char* what;
    std::function<HRESULT(IMarlet* from, IMarlet* to)> trip;
  } trips[] = {
      {"stream",
       [&](IMarlet* from, IMarlet* to) {
         ComPtr<IPersistStreamInit> save, load;
         from->QueryInterface(IID_IPersistStreamInit, save.put_void());
         to->QueryInterface(IID_IPersistStreamInit, load.put_void());
         ComPtr<IStream> stream = Stream();
         ULARGE_INTEGER size{};
         EXPECT_EQ(save->GetSizeMax(&size), S_OK);
         EXPECT_EQ(save->Save(stream.get(), TRUE), S_OK);
         ULARGE_INTEGER end{};
         stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end);
         EXPECT_EQ(end.QuadPart, size.QuadPart);
         Rewind(stream.get());
         return load->Load(stream.get());
       }},
      {"storage",
       [&](IMarlet* from, IMarlet* to) {
         ComPtr<IPersistStorage> save, load;
         from->QueryInterface(IID_IPersistStorage, save.put_void());
         to->QueryInterface(IID_IPersistStorage, load.put_void());
         ComPtr<IStorage> storage;
         EXPECT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE |
                                                 STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE,
                                    0, storage.put()),
                   S_OK);
         EXPECT_EQ(save->Save(storage.get(), FALSE), S_OK);
         return load->Load(storage.get());
       }},
      {"property bag",
       [&](IMarlet* from, IMarlet* to) {
         ComPtr<IPersistPropertyBag> save, load;
         from->QueryInterface(IID_IPersistPropertyBag, save.put_void());
         to->QueryInterface(IID_IPersistPropertyBag, load.put_void());
         ComPtr<IPropertyBag> bag;
         EXPECT_EQ(SHCreatePropertyBagOnMemory(STGM_READWRITE, IID_IPropertyBag, bag.put_void()),
                   S_OK);
         EXPECT_EQ(save->Save(bag.get(), TRUE, TRUE), S_OK);
         return load->Load(bag.get(), nullptr);
       }},
  };
  for (const auto& trip : trips) {
    ComPtr<IMarlet> copy = Create();
    EXPECT_EQ(CountLoaded(copy.get()), 1) << trip.what;  // only WinsockLoaded by default
    EXPECT_EQ(trip.trip(control_.get(), copy.get()), S_OK) << trip.what;
    EXPECT_EQ(CountLoaded(copy.get()), 10) << trip.what;
  }
}

TEST_F(Persistence, ALoadStopsAtANewerVersionOrARefusedProperty) {
  SetAll(control_.get());
  ComPtr<IPersistStreamInit> save;
  ASSERT_EQ(control_.As(IID_IPersistStreamInit, save), S_OK);
  ComPtr<IStream> stream = Stream();
  ASSERT_EQ(save->Save(stream.get(), TRUE), S_OK);

  // Version 0x301: nothing is taken.
  const DWORD newer = 0x301;
  Rewind(stream.get());
  ASSERT_EQ(stream->Write(&newer, sizeof newer, nullptr), S_OK);
  ComPtr<IMarlet> fresh = Create();
  ComPtr<IPersistStreamInit> load;
  ASSERT_EQ(fresh.As(IID_IPersistStreamInit, load), S_OK);
  Rewind(stream.get());
  EXPECT_TRUE(FAILED(load->Load(stream.get())));
  EXPECT_EQ(CountLoaded(fresh.get()), 1);

  // While Active, LocalPort is refused: InBufferSize before it keeps its loaded value.
  const DWORD current = 0x300;
  Rewind(stream.get());
  ASSERT_EQ(stream->Write(&current, sizeof current, nullptr), S_OK);
  Rewind(stream.get());
  ASSERT_EQ(fresh->put_Active(VARIANT_TRUE), S_OK);
  EXPECT_EQ(load->Load(stream.get()), static_cast<HRESULT>(0x800A4E8B));
  LONG size = 0, ttl = 0;
  fresh->get_InBufferSize(&size);
  fresh->get_TimeToLive(&ttl);
  EXPECT_EQ(size, 4096);
  EXPECT_EQ(ttl, 0);
  fresh->put_Active(VARIANT_FALSE);
}

TEST_F(Persistence, ADesignerSeesTheToolboxPicture) {
  std::ifstream in(MARLET_BITMAP_FILE, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GE(file.size(), 54u + 16 * 15 * 3);
  auto bmp = [&](int x, int y) {  // 24 bits, bottom-up, rows padded to 4 bytes
    const size_t at = static_cast<uint8_t>(file[10]) + 48 * static_cast<size_t>(14 - y) +
                      3 * static_cast<size_t>(x);
    return RGB(static_cast<uint8_t>(file[at + 2]), static_cast<uint8_t>(file[at + 1]),
               static_cast<uint8_t>(file[at]));
  };

  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 60, -50, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP surface = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, surface);

  ComPtr<IViewObjectEx> view;
  ASSERT_EQ(control_.As(IID_IViewObjectEx, view), S_OK);
  const RECTL bounds{5, 3, 45, 33};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                       nullptr, 0),
            S_OK);
  const COLORREF face = GetSysColor(COLOR_3DFACE);
  EXPECT_EQ(GetPixel(dc, 5, 3), RGB(0, 0, 0));   // the outline
  EXPECT_EQ(GetPixel(dc, 44, 32), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 40, 28), face);          // the panel
  int wrong = 0;
  for (int y = 0; y < 15; ++y) {
    for (int x = 0; x < 16; ++x) {
      const COLORREF want = bmp(x, y) == bmp(0, 0) ? face : bmp(x, y);
      wrong += GetPixel(dc, 5 + 6 + x, 3 + 7 + y) != want;
    }
  }
  EXPECT_EQ(wrong, 0);  // the bitmap of the library's own resources, at (6, 7)
  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                       nullptr, 0),
            DV_E_DVASPECT);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(surface);
}

}  // namespace
}  // namespace marlet_test
