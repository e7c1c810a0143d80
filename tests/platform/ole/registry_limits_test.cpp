// The registry against what a hostile file, script or caller can ask of it: keys nested
// deeper than Windows allows, values too large, a file too large, and no home to keep it in.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "ole/com_ptr.h"
#include "ole2.h"
#include "registrar.h"
#include "registrar_fixture.h"
#include "support.h"
#include "winreg.h"

namespace {

constexpr size_t kDepth = 512;  // levels below a root key

std::string Chain(size_t levels, const std::string& name = "k") {
  std::string path;
  for (size_t i = 0; i < levels; ++i) path += (i ? "\\" : "") + name;
  return path;
}

LONG Create(HKEY base, const std::string& path, HKEY* out = nullptr) {
  HKEY key = nullptr;
  LONG rc =
      RegCreateKeyExA(base, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (rc == ERROR_SUCCESS && out) {
    *out = key;
  } else if (rc == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
  return rc;
}

LONG SetText(HKEY key, const std::string& name, const std::string& text) {
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

TEST(RegistryLimits, DeepKeysAndLargeValuesAreRefused) {
  oletest::ScratchRegistry scratch;
  HKEY near_bottom = nullptr;
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, Chain(kDepth - 2), &near_bottom), ERROR_SUCCESS);
  const struct {
    const char* what;
    HKEY base;
    std::string path;
    LONG rc;
  } keys[] = {
      {"the deepest key there may be", HKEY_CLASSES_ROOT, Chain(kDepth), ERROR_SUCCESS},
      {"one level deeper", HKEY_CLASSES_ROOT, Chain(kDepth + 1), ERROR_INVALID_PARAMETER},
      {"far deeper", HKEY_CLASSES_ROOT, Chain(4 * kDepth), ERROR_INVALID_PARAMETER},
      {"two below a deep handle", near_bottom, "a\\b", ERROR_SUCCESS},
      {"three below a deep handle", near_bottom, "a\\b\\c", ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : keys) {
    SCOPED_TRACE(c.what);
    const std::string before = scratch.Text();
    EXPECT_EQ(Create(c.base, c.path), c.rc);
    if (c.rc != ERROR_SUCCESS) {
      EXPECT_EQ(scratch.Text(), before);
    }
  }
  HKEY deep_open = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, Chain(kDepth + 1).c_str(), 0, KEY_READ, &deep_open),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(near_bottom);

  HKEY key = nullptr;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, "Values", &key), ERROR_SUCCESS);
  const std::string mib(1 << 20, 'v');
  const struct {
    const char* what;
    std::string name, data;
    LONG rc;
  } values[] = {
      {"the longest name", std::string(16383, 'n'), "x", ERROR_SUCCESS},
      {"a name one longer", std::string(16384, 'n'), "x", ERROR_INVALID_PARAMETER},
      {"16,383 characters of two bytes each", std::string(16383, '\xC9'), "x", ERROR_SUCCESS},
      {"data of one MiB", "big", mib, ERROR_SUCCESS},
      {"data one byte more", "bigger", mib + "v", ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : values) {
    SCOPED_TRACE(c.what);
    const std::string before = scratch.Text();
    EXPECT_EQ(SetText(key, c.name, c.data), c.rc);
    if (c.rc != ERROR_SUCCESS) {
      EXPECT_EQ(scratch.Text(), before);
    }
  }
  std::u16string wide(16383, u'\u00E9');
  const WCHAR text[] = u"x";
  EXPECT_EQ(RegSetValueExW(key, wide.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           sizeof text),
            ERROR_SUCCESS);
  wide += u'\u00E9';
  EXPECT_EQ(RegSetValueExW(key, wide.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           sizeof text),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST(RegistryLimits, HostileFileIsRefusedAndNeverRewritten) {
  std::string deep_line = "[HKEY_CLASSES_ROOT\\" + Chain(kDepth + 1) + "]\n";
  std::string huge = "; comment\n";
  while (huge.size() <= (4u << 20)) huge += std::string(4095, ';') + "\n";
  const struct {
    const char* what;
    std::string text;
    LONG rc;  // what reading it answers
  } files[] = {
      {"keys nested as deep as they may be",
       "[HKEY_CLASSES_ROOT\\" + Chain(kDepth) + "]\n@=\"ok\"\n", ERROR_FILE_NOT_FOUND},
      {"keys nested one level deeper", deep_line, ERROR_BADDB},
      {"a value over one MiB",
       "[HKEY_CLASSES_ROOT\\V]\n\"v\"=\"" + std::string((1 << 20) + 1, 'v') + "\"\n", ERROR_BADDB},
      {"a value name over 16,383 characters",
       "[HKEY_CLASSES_ROOT\\V]\n\"" + std::string(16384, 'n') + "\"=\"v\"\n", ERROR_BADDB},
      {"over 4 MiB of comments", huge, ERROR_BADDB},
  };
  for (const auto& c : files) {
    SCOPED_TRACE(c.what);
    oletest::ScratchRegistry scratch;
    std::ofstream(scratch.file(), std::ios::binary) << c.text;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Missing", 0, KEY_READ, &key), c.rc);
    const LONG write = Create(HKEY_CLASSES_ROOT, "New");
    if (c.rc == ERROR_BADDB) {
      EXPECT_EQ(write, ERROR_BADDB);
      EXPECT_TRUE(scratch.Text() == c.text) << "the file was rewritten";
    } else {
      EXPECT_EQ(write, ERROR_SUCCESS);
    }
  }
}

TEST(RegistryLimits, WriteThatWouldOutgrowTheFileIsRefused) {
  oletest::ScratchRegistry scratch;
  // Three values of one MiB: the file is a little over 3 MiB, under the 4 MiB limit.
  std::string text = "[HKEY_CURRENT_USER\\Fill]\n";
  for (int i = 0; i < 3; ++i) {
    text += "\"v" + std::to_string(i) + "\"=\"" + std::string(1 << 20, 'f') + "\"\n";
  }
  std::ofstream(scratch.file(), std::ios::binary) << text;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Fill", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const std::string before = scratch.Text();
  EXPECT_EQ(SetText(key, "one more", std::string(1 << 20, 'f')), ERROR_REGISTRY_QUOTA_LIMIT);
  EXPECT_TRUE(scratch.Text() == before) << "nothing written";
  RegCloseKey(key);
  HKEY again = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Fill", 0, KEY_READ, &again), ERROR_SUCCESS)
      << "the file still reads";
  RegCloseKey(again);
}

class RegistrarLimits : public oletest::RegistrarFixture {};

std::u16string Nested(size_t levels) {
  std::u16string s = u"HKCR { ";
  for (size_t i = 0; i < levels; ++i) s += u"k { ";
  for (size_t i = 0; i < levels; ++i) s += u"} ";
  return s + u"}";
}

TEST_F(RegistrarLimits, DeepOrLargeScriptsAreRefusedWhole) {
  const HRESULT beyond = HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
  std::u16string long_text(1 << 20, u'x');
  std::u16string long_module(1 << 16, u'm');
  std::u16string many_modules;
  for (int i = 0; i < 80; ++i) many_modules += u"%MODULE%";
  const struct {
    const char* what;
    std::u16string script;
    HRESULT hr;
  } cases[] = {
      {"keys as deep as they may be", Nested(kDepth), S_OK},
      {"one level deeper", Nested(kDepth + 1), beyond},
      {"a hundred thousand levels", Nested(100000), beyond},
      {"a value of one MiB", u"HKCR { Big = s '" + long_text + u"' }", S_OK},
      {"a value one character more", u"HKCR { Big = s '" + long_text + u"x' }", beyond},
      {"a named value one character more", u"HKCR { Big { val Named = s '" + long_text + u"x' } }",
       beyond},
      {"replacements that grow past 4 MiB", u"HKCR { Big = s '" + many_modules + u"' }", beyond},
  };
  registrar_->AddReplacement(u"MODULE", long_module.c_str());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = scratch_.Text();
    EXPECT_EQ(registrar_->StringRegister(c.script.c_str()), c.hr);
    if (c.hr != S_OK) {
      EXPECT_EQ(scratch_.Text(), before);
    }
  }
  HKEY deepest = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Big", 0, KEY_READ, &deepest), ERROR_SUCCESS);
  RegCloseKey(deepest);
  const std::string chain = Chain(kDepth);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, chain.c_str(), 0, KEY_READ, &deepest), ERROR_SUCCESS);
  RegCloseKey(deepest);
}

// Sets or removes environment variables for the life of the object.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~EnvVar() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(RegistryLimits, WithoutAHomeThereIsNoRegistry) {
  const char* const planted = "/tmp/corvane-debugger/registry.txt";
  struct stat before {};
  const bool existed = stat(planted, &before) == 0;
  for (const char* home : {static_cast<const char*>(nullptr), "", "relative/home"}) {
    SCOPED_TRACE(home ? home : "(unset)");
    EnvVar registry("OLE_REGISTRY", nullptr), data("XDG_DATA_HOME", nullptr), h("HOME", home);
    EXPECT_EQ(Create(HKEY_CLASSES_ROOT, "Planted"), ERROR_PATH_NOT_FOUND);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_PATH_NOT_FOUND);

    oletest::Run run = oletest::RunProgram({REGSVR_PATH, SERVER_PATH});
    EXPECT_EQ(run.exit_code, 5);
    EXPECT_NE(run.err.find("The object runtime has no registry file: HOME is not an absolute "
                           "directory. Set HOME, XDG_DATA_HOME or OLE_REGISTRY.\n"),
              std::string::npos)
        << run.err;
  }
  struct stat after {};
  const bool exists = stat(planted, &after) == 0;
  EXPECT_EQ(exists, existed);
  if (exists && existed) {
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  }
}

}  // namespace
