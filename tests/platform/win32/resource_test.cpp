#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "windows.h"

namespace {

std::string ProgramDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return std::filesystem::path(std::string(buf, static_cast<std::size_t>(n)))
      .parent_path()
      .string();
}

std::string SourceFile(const char* name) {
  std::ifstream in(std::string(WIN32_TEST_RESOURCES) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA((ProgramDir() + "/libresource_fixture.so").c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void TearDown() override { FreeLibrary(module_); }
  std::string Bytes(LPCSTR name, LPCSTR type) const {
    HRSRC r = FindResourceA(module_, name, type);
    if (r == nullptr) return "<" + std::to_string(GetLastError()) + ">";
    const void* p = LockResource(LoadResource(module_, r));
    return std::string(static_cast<const char*>(p), SizeofResource(module_, r));
  }
  HMODULE module_ = nullptr;
};

TEST_F(Resources, FoundByNumberOrNameWithTheFileBytes) {
  const std::string rgs = SourceFile("script.rgs");
  const std::string greeting = SourceFile("greeting.txt");
  // The resource compiler drops a bitmap file's 14-byte header and keeps the rest.
  const std::string bitmap = SourceFile("rgb.bmp").substr(14);
  struct Case {
    LPCSTR name, type;
    std::string expected;
  } cases[] = {
      {MAKEINTRESOURCEA(102), "REGISTRY", rgs},
      {"#102", "registry", rgs},
      {MAKEINTRESOURCEA(102), "#3", "<1813>"},  // a numbered type the module lacks
      {"greeting", RT_RCDATA, greeting},
      {"GREETING", "#10", greeting},
      {MAKEINTRESOURCEA(24), RT_BITMAP, bitmap},
      {MAKEINTRESOURCEA(103), "REGISTRY", "<1814>"},
      {"#0102", "REGISTRY", rgs},
      {"#1o2", "REGISTRY", "<1814>"},  // not a number: a name nobody has
      {MAKEINTRESOURCEA(1), "TYPELIB", "<1813>"},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(Bytes(c.name, c.type), c.expected)
        << (IS_INTRESOURCE(c.name) ? std::to_string(reinterpret_cast<ULONG_PTR>(c.name))
                                   : std::string(c.name));
  }
  ASSERT_FALSE(rgs.empty());
  ASSERT_FALSE(greeting.empty());
}

TEST_F(Resources, ModulesWithoutResourcesAndBadHandles) {
  struct Case {
    HMODULE module;
    DWORD error;
  } cases[] = {
      {nullptr, ERROR_RESOURCE_DATA_NOT_FOUND},  // the test program has no table
      {reinterpret_cast<HMODULE>(&cases), ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(FindResourceA(c.module, MAKEINTRESOURCEA(102), "REGISTRY"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error));
  }
  SetLastError(0);
  EXPECT_EQ(FindResourceA(module_, nullptr, "REGISTRY"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(LoadResource(module_, nullptr), nullptr);
  EXPECT_EQ(SizeofResource(module_, nullptr), 0u);
}

}  // namespace
