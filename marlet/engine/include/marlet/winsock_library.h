// The process-wide load of the socket library. Engines take and give back loads; the
// library is resolved into the socket function table on the first load and the
// placeholders return when the last load is given back. No lock: engines of one process
// normally share one thread.
#pragma once

#include <cstdint>

namespace marlet {

class WinsockLibrary {
 public:
  static constexpr const char* kDefaultPath = "WSOCK32.DLL";
  static constexpr int kMaxPath = 200;

  // At process attach: forgets everything unless a started 1.1 library is recorded.
  static void Initialize();

  // Takes one load. False when the module cannot be loaded or started; the reason is
  // then the description.
  static bool Load();
  // Gives back one load; nothing when none is held.
  static void Release();

  // At most kMaxPath characters; an empty path means the default.
  static void SetPath(const char* path);
  // While loaded, the full file name of the loaded module.
  static const char* Path();

  static const char* Description();
  static const char* Status();
  static int MaxSockets();
  static int MaxDatagramSize();
  static unsigned LoadCount();

  // The notice window class is registered once per process.
  static bool WindowClassRegistered();
  static void SetWindowClassRegistered(bool registered);

 private:
  static void GiveBack(bool started);
};

}  // namespace marlet
