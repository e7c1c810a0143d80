// Shared pieces of the window tests: a scratch application directory, bounded waits.
#pragma once

#include <functional>
#include <string>

namespace testsupport {

// The scratch application directory the tests run on (with Program_Files and Templates).
const std::string& AppDir();
// A fresh empty directory under the scratch root.
std::string MakeTempDir(const std::string& name);

// Lets events run until `done` holds or `timeout_ms` passes; returns `done()`.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 15000);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// How often the program asked to end its run (the test binary goes on instead).
int& EndCalls();

// Directory of the test executable, where the built programs are.
std::string BinDir();

}  // namespace testsupport
