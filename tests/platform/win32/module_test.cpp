#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "module_search.h"
#include "windows.h"

namespace fs = std::filesystem;

namespace {

std::string ProgramDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return fs::path(std::string(buf, static_cast<std::size_t>(n))).parent_path().string();
}

std::string FixturePath() {
  return fs::canonical(ProgramDir() + "/libordinal_fixture.so");
}

class Scratch : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/module-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Touch(const std::string& rel) const {
    fs::create_directories(fs::path(dir_ + "/" + rel).parent_path());
    std::ofstream(dir_ + "/" + rel) << "x";
    return dir_ + "/" + rel;
  }
  std::string dir_;
};

TEST(Modules, BareNameFindsLibraryBesideProgramWithoutRegardToCase) {
  HMODULE m = LoadLibraryA("Ordinal_Fixture.DLL");
  ASSERT_NE(m, nullptr) << GetLastError();
  char path[PATH_MAX];
  DWORD n = GetModuleFileNameA(m, path, sizeof path);
  EXPECT_EQ(std::string(path, n), FixturePath());
  EXPECT_EQ(path[0], '/');
  HMODULE again = LoadLibraryA("ordinal_fixture");  // ".dll" is implied
  EXPECT_EQ(again, m);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_TRUE(FreeLibrary(m));
}

TEST(Modules, OrdinalAndNameLookup) {
  HMODULE m = LoadLibraryA(FixturePath().c_str());
  ASSERT_NE(m, nullptr);
  FARPROC one = GetProcAddress(m, MAKEINTRESOURCEA(1));
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one(), 42);
  EXPECT_EQ(GetProcAddress(m, "Answer"), one);
  FARPROC seven = GetProcAddress(m, MAKEINTRESOURCEA(7));
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven(), 7);

  SetLastError(0);
  EXPECT_EQ(GetProcAddress(m, MAKEINTRESOURCEA(2)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(m, MAKEINTRESOURCEA(0)), nullptr);
  EXPECT_EQ(GetProcAddress(m, "Missing"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  // A plain export is found by name; a function of a library it depends on is not its own.
  FARPROC plain = GetProcAddress(m, "FixturePlain");
  ASSERT_NE(plain, nullptr);
  SetLastError(5);
  EXPECT_EQ(plain(), 1005);
  EXPECT_EQ(GetProcAddress(m, "GetLastError"), nullptr);
  EXPECT_TRUE(FreeLibrary(m));
}

TEST_F(Scratch, MissingOrBadFilesFailWithWindowsErrors) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA((dir_ + "/absent.dll").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibraryA("NO_SUCH_LIBRARY_ANYWHERE.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibraryA(Touch("text.dll").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Scratch, PathWithOtherCaseFindsTheFile) {
  fs::copy_file(FixturePath(), dir_ + "/Fixture.So");
  HMODULE m = LoadLibraryA((dir_ + "/FIXTURE.SO").c_str());
  ASSERT_NE(m, nullptr) << GetLastError();
  char path[PATH_MAX];
  DWORD n = GetModuleFileNameA(m, path, sizeof path);
  EXPECT_EQ(std::string(path, n), fs::canonical(dir_ + "/Fixture.So").string());
  EXPECT_TRUE(FreeLibrary(m));
}

TEST(Modules, HandlesAreCheckedAndReferencesCounted) {
  int not_a_module = 0;
  auto bogus = reinterpret_cast<HMODULE>(&not_a_module);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(bogus, "Answer"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  char path[64];
  EXPECT_EQ(GetModuleFileNameA(bogus, path, sizeof path), 0u);
  EXPECT_FALSE(FreeLibrary(bogus));

  HMODULE m = LoadLibraryA(FixturePath().c_str());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetModuleHandleA("ORDINAL_FIXTURE.DLL"), m);
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_FALSE(FreeLibrary(m));  // the one reference is given back
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Modules, FileNameTruncatesLikeWindows) {
  char full[PATH_MAX];
  DWORD n = GetModuleFileNameA(nullptr, full, sizeof full);
  ASSERT_GT(n, 5u);
  EXPECT_EQ(fs::path(full).filename(), "test_win32");
  char small[6];
  std::fill(std::begin(small), std::end(small), 'x');
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), std::string(full, 5));
}

TEST_F(Scratch, SearchTakesTheFirstFolderThenTheBestSpelling) {
  using win32::module::FindBareName;
  std::string first = dir_ + "/first";
  std::string second = dir_ + "/second";
  Touch("second/WSOCK32.DLL");
  fs::create_directories(first);
  EXPECT_EQ(FindBareName("wsock32.dll", {first, second}), second + "/WSOCK32.DLL");
  std::string lib = Touch("first/libwsock32.so");
  EXPECT_EQ(FindBareName("WSOCK32.DLL", {first, second}), lib);
  EXPECT_EQ(FindBareName("wsock32", {first, second}), lib);
  // In one folder the name itself beats the lib*.so spelling, and its exact case beats others.
  std::string dll = Touch("first/WSock32.dll");
  EXPECT_EQ(FindBareName("WSOCK32.DLL", {first}), dll);
  std::string exact = Touch("first/WSOCK32.DLL");
  EXPECT_EQ(FindBareName("WSOCK32.DLL", {first}), exact);
  EXPECT_EQ(FindBareName("wsock32.so", {first, second}), "");
  fs::create_directories(dir_ + "/third/other.dll");  // a folder is not a module
  EXPECT_EQ(FindBareName("other.dll", {dir_ + "/third"}), "");
}

TEST(ThreadError, LastErrorIsPerThread) {
  SetLastError(1234);
  DWORD seen = 99;
  std::thread([&seen] {
    seen = GetLastError();
    SetLastError(5);
  }).join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), 1234u);
}

}  // namespace

namespace {

TEST(Modules, HandleFromAnAddressInsideTheModule) {
  HMODULE m = LoadLibraryA(FixturePath().c_str());
  ASSERT_NE(m, nullptr);
  FARPROC answer = GetProcAddress(m, "Answer");
  struct Case {
    DWORD flags;
    LPCSTR where;
    HMODULE expected;
  } cases[] = {
      {GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
       reinterpret_cast<LPCSTR>(answer), m},
      {GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(answer), m},
      {GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
       reinterpret_cast<LPCSTR>(&FixturePath), GetModuleHandleA(nullptr)},
      {GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, "ordinal_fixture", m},
  };
  for (const Case& c : cases) {
    HMODULE found = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(c.flags, c.where, &found)) << c.flags;
    EXPECT_EQ(found, c.expected) << c.flags;
  }
  // The second case took a reference: the module stays loaded after one FreeLibrary.
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(GetModuleHandleA(FixturePath().c_str()), m);
  EXPECT_TRUE(FreeLibrary(m));

  int on_the_stack = 0;
  HMODULE none = reinterpret_cast<HMODULE>(&on_the_stack);
  EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                  reinterpret_cast<LPCSTR>(&on_the_stack), &none));
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
