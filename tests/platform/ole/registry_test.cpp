// The registry file through advapi32's calls and through registry scripts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "ole/com_ptr.h"
#include "ole2.h"
#include "registrar.h"
#include "registrar_fixture.h"
#include "support.h"
#include "winreg.h"

namespace {

using oletest::ClassesValue;

bool KeyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

LONG SetText(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1));
}

TEST(Registry, KeysAndValuesWrittenToTheFile) {
  oletest::ScratchRegistry scratch;
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{1}\\InprocServer32", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  EXPECT_EQ(SetText(key, nullptr, "/opt/lib/it's.so"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(key, "ThreadingModel", "Apartment"), ERROR_SUCCESS);
  DWORD n = 10;
  EXPECT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&n), 4),
            ERROR_SUCCESS);
  RegCloseKey(key);

  EXPECT_EQ(scratch.Text(),
            "; Object runtime registry. Written by the runtime; edit with care.\n\n"
            "[HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32]\n"
            "@=\"/opt/lib/it's.so\"\n"
            "\"ThreadingModel\"=\"Apartment\"\n"
            "\"Count\"=dword:0000000A\n\n");

  // Opened again by a name in another case, the key gives back what was stored.
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"clsid\\{1}\\INPROCSERVER32", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  WCHAR text[64];
  DWORD size = sizeof text, type = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"threadingmodel", nullptr, &type, reinterpret_cast<BYTE*>(text),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 20u) << "bytes including the terminator";
  EXPECT_EQ(std::u16string(text), u"Apartment");
  DWORD number = 0;
  size = sizeof number;
  ASSERT_EQ(
      RegQueryValueExW(key, u"Count", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(number, 10u);
  size = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"ThreadingModel", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 20u) << "the size needed";
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST(Registry, EnumerateDeleteAndStaleHandles) {
  oletest::ScratchRegistry scratch;
  HKEY root = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Root", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &root, nullptr),
            ERROR_SUCCESS);
  for (const char* name : {"beta", "Alpha", "gamma\\deep"}) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
  }
  std::vector<std::string> names;
  char name[8];
  for (DWORD i = 0;; ++i) {
    DWORD cch = sizeof name;
    LONG rc = RegEnumKeyExA(root, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, ERROR_SUCCESS);
    EXPECT_EQ(cch, std::strlen(name));
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  char tiny[3];
  DWORD cch = sizeof tiny;
  EXPECT_EQ(RegEnumKeyExA(root, 0, tiny, &cch, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);

  EXPECT_EQ(RegDeleteKeyA(root, "gamma"), ERROR_ACCESS_DENIED) << "it has a subkey";
  EXPECT_EQ(RegDeleteKeyA(root, "beta"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(root, "beta"), ERROR_FILE_NOT_FOUND);
  HKEY gamma = nullptr;
  ASSERT_EQ(RegOpenKeyExA(root, "GAMMA", 0, KEY_READ, &gamma), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(root, "gamma"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(gamma, "x", "y"), ERROR_KEY_DELETED) << "the key went away under the handle";
  RegCloseKey(gamma);
  EXPECT_FALSE(KeyExists("Root\\gamma\\deep"));
  EXPECT_TRUE(KeyExists("Root\\Alpha"));
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\Root", 0, KEY_READ, &gamma), ERROR_BAD_PATHNAME);
  RegCloseKey(root);
}

TEST(Registry, DefaultFileUnderTheDataHome) {
  oletest::ScratchRegistry scratch;
  const std::string home = scratch.dir() + "/data";
  unsetenv("OLE_REGISTRY");
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, "Here", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr);
  unsetenv("XDG_DATA_HOME");
  ASSERT_EQ(rc, ERROR_SUCCESS);
  RegCloseKey(key);
  std::ifstream file(home + "/corvane-debugger/registry.txt");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\Here]"), std::string::npos) << text;
}

TEST(Registry, CorruptFileIsNeverOverwritten) {
  oletest::ScratchRegistry scratch;
  const std::string garbage = "this is not\na registry [file\n";
  std::ofstream(scratch.file()) << garbage;
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_BADDB);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "New", 0, KEY_READ, &key), ERROR_BADDB);
  EXPECT_EQ(scratch.Text(), garbage);
}

TEST(Registry, TwoWritingProcessesLoseNoKey) {
  oletest::ScratchRegistry scratch;
  constexpr int kKeys = 40;
  auto write = [](const char* prefix) {
    for (int i = 0; i < kKeys; ++i) {
      HKEY key = nullptr;
      std::string path = std::string("Writers\\") + prefix + std::to_string(i);
      if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr) != ERROR_SUCCESS ||
          SetText(key, nullptr, prefix) != ERROR_SUCCESS) {
        return false;
      }
      RegCloseKey(key);
    }
    return true;
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(write("child") ? 0 : 1);
  const bool parent_ok = write("parent");
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(parent_ok);
  for (int i = 0; i < kKeys; ++i) {
    std::string value;
    EXPECT_TRUE(ClassesValue("Writers\\child" + std::to_string(i), nullptr, &value)) << i;
    EXPECT_EQ(value, "child");
    EXPECT_TRUE(ClassesValue("Writers\\parent" + std::to_string(i), nullptr, &value)) << i;
    EXPECT_EQ(value, "parent");
  }
}

class Registrar : public oletest::RegistrarFixture {};

TEST_F(Registrar, RegisterAndUnregisterKeepWhatTheScriptDidNotAdd) {
  // Keys someone else owns: a sibling class and a value inside the key the script forces.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{other}", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{mine}\\Stale", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Shared\\Foreign", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  const char16_t* script =
      uR"(
    HKCR {
      My.Class = s 'My ''quoted'' class' { CLSID = s '{mine}' }
      NoRemove CLSID {
        ForceRemove {mine} = s 'Mine' {
          InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Apartment' }
          'Implemented Categories' { {7DD95801-9882-11CF-9FA9-00AA006C42C4} }
          Size = d '0x20'
          Percent = s '100%%'
        }
      }
      Shared { val Note = s 'from script' Mine }
      Delete Obsolete
    })";
  registrar_->AddReplacement(u"Module", u"/lib/it''s.so");
  ASSERT_EQ(registrar_->StringRegister(script), S_OK);
  std::string value;
  EXPECT_TRUE(ClassesValue("My.Class", nullptr, &value));
  EXPECT_EQ(value, "My 'quoted' class");
  EXPECT_TRUE(ClassesValue("CLSID\\{mine}\\InprocServer32", nullptr, &value));
  EXPECT_EQ(value, "/lib/it's.so");
  EXPECT_TRUE(ClassesValue("CLSID\\{mine}\\InprocServer32", "ThreadingModel", &value));
  EXPECT_EQ(value, "Apartment");
  EXPECT_TRUE(ClassesValue("CLSID\\{mine}\\Percent", nullptr, &value));
  EXPECT_EQ(value, "100%");
  EXPECT_TRUE(
      KeyExists("CLSID\\{mine}\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
  EXPECT_FALSE(KeyExists("CLSID\\{mine}\\Stale")) << "ForceRemove started the key afresh";
  EXPECT_TRUE(ClassesValue("Shared", "Note", &value));

  ASSERT_EQ(registrar_->StringUnregister(script), S_OK);
  EXPECT_FALSE(KeyExists("My.Class"));
  EXPECT_FALSE(KeyExists("CLSID\\{mine}"));
  EXPECT_TRUE(KeyExists("CLSID")) << "NoRemove";
  EXPECT_TRUE(KeyExists("CLSID\\{other}"));
  EXPECT_TRUE(KeyExists("Shared\\Foreign")) << "a key with a subkey of its own stays";
  EXPECT_FALSE(KeyExists("Shared\\Mine"));
  EXPECT_FALSE(ClassesValue("Shared", "Note"));
}

TEST_F(Registrar, BadScriptChangesNothing) {
  const std::string before = scratch_.Text();
  // The first key is fine; the error comes later, so a partial run would show.
  EXPECT_EQ(registrar_->StringRegister(u"HKCR { Fine = s 'x' Broken = s 'unterminated }"),
            DISP_E_EXCEPTION);
  EXPECT_EQ(registrar_->StringRegister(u"HKCR { Fine = s '%UNKNOWN%' }"), DISP_E_EXCEPTION);
  EXPECT_EQ(registrar_->StringRegister(u"HKCR { Fine = b '00' }"), DISP_E_EXCEPTION);
  EXPECT_EQ(registrar_->StringRegister(u"HKXX { Fine }"), DISP_E_EXCEPTION);
  EXPECT_EQ(registrar_->StringRegister(u"HKCR { Fine { "), DISP_E_EXCEPTION);
  EXPECT_EQ(registrar_->StringRegister(u"HKCR { Fine { Trailing\\ } }"), DISP_E_EXCEPTION);
  EXPECT_EQ(registrar_->StringRegister(u"HKCR { Fine { 'Two\\Parts' } }"), DISP_E_EXCEPTION);
  EXPECT_FALSE(KeyExists("Fine"));
  EXPECT_EQ(scratch_.Text(), before);
}

}  // namespace
