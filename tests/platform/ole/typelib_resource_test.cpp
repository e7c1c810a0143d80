#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "objbase.h"
#include "ole/com_ptr.h"
#include "ole/module_registration.h"
#include "ole/type_library_file.h"
#include "oleauto.h"
#include "support.h"
#include "typelib_fixture.h"
#include "windows.h"

namespace fs = std::filesystem;
using ole::ComPtr;

namespace {

std::u16string Wide(const std::string& utf8) {
  std::u16string out(utf8.size(), u'\0');
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                              static_cast<int>(out.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// The default value of HKCR\\key through the wide API, which keeps every character.
std::u16string WideValue(const std::string& key) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Wide(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) {
    return u"<absent>";
  }
  char16_t buf[1024] = {};
  DWORD type = 0, size = sizeof buf - sizeof(char16_t);
  LSTATUS rc = RegQueryValueExW(k, u"", nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size);
  RegCloseKey(k);
  return rc == ERROR_SUCCESS ? std::u16string(buf) : u"<no value>";
}

// What a host sees of a loaded library: its name, version, and the names of its members.
std::u16string Describe(ITypeLib* lib) {
  TLIBATTR* attr = nullptr;
  if (FAILED(lib->GetLibAttr(&attr))) return u"<no attributes>";
  std::u16string out = attr->guid == kFixtureLibId ? u"fixture " : u"other ";
  out += static_cast<char16_t>(u'0' + attr->wMajorVerNum);
  out += u'.';
  out += static_cast<char16_t>(u'0' + attr->wMinorVerNum);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr, doc = nullptr, help = nullptr;
  lib->GetDocumentation(-1, &name, &doc, nullptr, &help);
  out += u" " + oletest::Text(name) + u"/" + oletest::Text(doc) + u"/" + oletest::Text(help);
  SysFreeString(name);
  SysFreeString(doc);
  SysFreeString(help);
  ComPtr<ITypeInfo> info;
  if (SUCCEEDED(lib->GetTypeInfoOfGuid(kFixtureIid, info.put()))) {
    OLECHAR say[] = u"Say\u00e9";
    OLECHAR* names[] = {say};
    MEMBERID id = 0;
    out += SUCCEEDED(info->GetIDsOfNames(names, 1, &id)) ? u" Say=" : u" no Say";
    out += static_cast<char16_t>(u'0' + id);
  }
  return out;
}

constexpr char16_t kExpected[] = u"fixture 1.2 FixtureLib/Fixture Type Library/fixture.chm Say=2";

TEST(TypeLibImage, RoundTripsAndRefusesEveryDamagedImage) {
  const std::string image = ole::SaveTypeLibDef(OleTypeLibDefinition());
  ole::TypeLibDef back;
  ASSERT_TRUE(ole::ReadTypeLibDef(image.data(), image.size(), back));
  EXPECT_EQ(ole::SaveTypeLibDef(back), image);
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(ole::CreateTypeLib(back, lib.put()), S_OK);
  EXPECT_EQ(Describe(lib.get()), kExpected);

  // Every truncation, and a trailing byte, is refused (and read within bounds).
  for (std::size_t n = 0; n < image.size(); ++n) {
    std::string cut = image.substr(0, n);
    EXPECT_FALSE(ole::ReadTypeLibDef(cut.data(), cut.size(), back)) << n;
  }
  std::string longer = image + '\0';
  EXPECT_FALSE(ole::ReadTypeLibDef(longer.data(), longer.size(), back));
  // Counts and lengths far beyond the image, and an invoke kind that does not exist.
  struct Damage {
    std::size_t at;
    char byte;
  } damages[] = {{0, 'X'}, {8 + 16 + 8, '\x7f'}, {8 + 16 + 8 + 3, '\x7f'}};
  for (const Damage& d : damages) {
    std::string bad = image;
    bad[d.at] = d.byte;
    EXPECT_FALSE(ole::ReadTypeLibDef(bad.data(), bad.size(), back)) << d.at;
  }
  const std::size_t kind_at = image.find(std::string("\x01\0\0\0\x02\0\0\0", 8));
  ASSERT_NE(kind_at, std::string::npos);  // Count's getter: dispid 1, INVOKE_PROPERTYGET
  std::string bad_kind = image;
  bad_kind[kind_at + 4] = 3;
  EXPECT_FALSE(ole::ReadTypeLibDef(bad_kind.data(), bad_kind.size(), back));
}

class TypeLibResource : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }
  // The fixture module under a name with an apostrophe and a non-ASCII letter.
  std::string CopyModule() {
    const std::string path = registry_.dir() + "/Zo\xc3\xab's fixture.so";
    fs::copy_file(TYPELIB_FIXTURE_PATH, path);
    return path;
  }
  oletest::ScratchRegistry registry_;
};

TEST_F(TypeLibResource, LoadedFromModulesAndFiles) {
  const std::string module = CopyModule();
  const std::string tlb = registry_.dir() + "/fixture.tlb";
  std::ofstream(tlb, std::ios::binary) << ole::SaveTypeLibDef(OleTypeLibDefinition());
  const std::string junk = registry_.dir() + "/junk.tlb";
  std::ofstream(junk, std::ios::binary) << "OLETLB01 but nothing more";
  struct Case {
    std::string path;
    HRESULT hr;
  } cases[] = {
      {module, S_OK},
      {module + "\\1", S_OK},
      {module + "\\2", TYPE_E_CANTLOADLIBRARY},  // no TYPELIB resource 2
      {module + "\\x", TYPE_E_CANTLOADLIBRARY},
      {tlb, S_OK},
      {junk, TYPE_E_CANTLOADLIBRARY},
      {registry_.dir() + "/missing.tlb", TYPE_E_CANTLOADLIBRARY},
      {OLE_LIBRARY_PATH, TYPE_E_CANTLOADLIBRARY},  // a module without resources
  };
  for (const Case& c : cases) {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadTypeLib(Wide(c.path).c_str(), lib.put()), c.hr) << c.path;
    if (c.hr == S_OK && lib) {
      EXPECT_EQ(Describe(lib.get()), kExpected) << c.path;
    }
    if (c.hr != S_OK) {
      EXPECT_FALSE(lib);
    }
  }
  EXPECT_FALSE(oletest::ClassesValue("TypeLib\\{5F3A0001-1C2D-4E5F-8091-A2B3C4D5E6F7}", ""));
}

TEST_F(TypeLibResource, RegisteredFromTheModuleAndFoundByVersionAndLocale) {
  const std::string module = CopyModule();
  HMODULE m = LoadLibraryA(module.c_str());
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(ole::RegisterTypeLibFromModule(m), S_OK);
  const std::u16string path =
      WideValue("TypeLib\\{5F3A0001-1C2D-4E5F-8091-A2B3C4D5E6F7}\\1.2\\0\\win64");
  EXPECT_EQ(path, Wide(fs::canonical(module).string()));

  struct Case {
    WORD major, minor;
    LCID lcid;
    HRESULT hr;
  } cases[] = {
      {1, 0, 0, S_OK},     {1, 2, 0, S_OK},  {1, 2, 1033, S_OK},  // locale falls back to 0
      {1, 3, 0, TYPE_E_LIBNOTREGISTERED}, {2, 0, 0, TYPE_E_LIBNOTREGISTERED},
  };
  for (const Case& c : cases) {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(kFixtureLibId, c.major, c.minor, c.lcid, lib.put()), c.hr)
        << c.major << "." << c.minor << " " << c.lcid;
    if (c.hr == S_OK && lib) {
      EXPECT_EQ(Describe(lib.get()), kExpected);
    }
    BSTR where = nullptr;
    EXPECT_EQ(QueryPathOfRegTypeLib(kFixtureLibId, c.major, c.minor, c.lcid, &where), c.hr);
    if (c.hr == S_OK) {
      EXPECT_EQ(oletest::Text(where), path);
    }
    SysFreeString(where);
  }

  ASSERT_EQ(ole::UnRegisterTypeLibFromModule(m), S_OK);
  ComPtr<ITypeLib> gone;
  EXPECT_EQ(LoadRegTypeLib(kFixtureLibId, 1, 0, 0, gone.put()), TYPE_E_LIBNOTREGISTERED);
  EXPECT_FALSE(oletest::ClassesValue("TypeLib\\{5F3A0001-1C2D-4E5F-8091-A2B3C4D5E6F7}", ""));
  EXPECT_FALSE(oletest::ClassesValue("Interface\\{5F3A0002-1C2D-4E5F-8091-A2B3C4D5E6F7}", ""));
  FreeLibrary(m);
}

TEST_F(TypeLibResource, RegistryScriptGetsTheModulePathVerbatim) {
  const std::string module = CopyModule();
  HMODULE m = LoadLibraryA(module.c_str());
  ASSERT_NE(m, nullptr);
  const std::u16string real = Wide(fs::canonical(module).string());
  const std::u16string doubled = ole::ModuleReplacement(m);
  EXPECT_EQ(doubled, Wide(registry_.dir()) + u"/Zo\u00eb''s fixture.so");

  ASSERT_EQ(ole::UpdateRegistryFromResource(m, 102, true), S_OK);
  const std::string key = "CLSID\\{5F3A0004-1C2D-4E5F-8091-A2B3C4D5E6F7}";
  EXPECT_EQ(WideValue(key + "\\InprocServer32"), real);
  EXPECT_EQ(WideValue(key + "\\ToolboxBitmap32"), real + u", 101");

  EXPECT_EQ(ole::UpdateRegistryFromResource(m, 103, true),
            HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
  ASSERT_EQ(ole::UpdateRegistryFromResource(m, 102, false), S_OK);
  EXPECT_FALSE(oletest::ClassesValue(key, ""));
  FreeLibrary(m);
}

}  // namespace
