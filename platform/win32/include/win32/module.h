// Loading shared libraries at run time: the module functions of kernel32.
//
// A bare name (no "/") is looked for beside the program, then in the folder that holds this
// library (the installed library folder, lib/corvane-debugger), then in the folder configured at
// build time. Within a folder the name is matched without regard to case; a name without an
// extension gets ".dll" as on Windows, and "NAME.DLL" also finds "libNAME.so", the name the
// build gives our own libraries (so "WSOCK32.DLL" finds libwsock32.so). Unlike Windows there is
// no further search (no system folders, no PATH). A path is used as given; if it names no file,
// its last part is matched without regard to case within its folder.
#pragma once

#include "win32/types.h"

#define IS_INTRESOURCE(r) ((WIN32_PTR_CAST(ULONG_PTR, r) >> 16) == 0)
#define MAKEINTRESOURCEA(i) \
  WIN32_PTR_CAST(LPSTR, WIN32_INT_CAST(ULONG_PTR, WIN32_INT_CAST(WORD, i)))
#define MAKEINTRESOURCE MAKEINTRESOURCEA

WIN32_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
WIN32_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// By name or by ordinal (MAKEINTRESOURCE). Only the module's own entry points are found, never
// those of the libraries it depends on. Ordinals come from the module's export table (below).
WIN32_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// NULL names the program. A truncated name ends with NUL, returns nSize and sets
// ERROR_INSUFFICIENT_BUFFER (the behaviour of Windows Vista and later).
WIN32_API DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// NULL gives the program's handle. Does not load and does not count a reference.
WIN32_API HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004
// With FROM_ADDRESS, lpModuleName is any address inside the module: how a library finds its
// own handle. Without UNCHANGED_REFCOUNT the handle counts a reference for FreeLibrary.
// PIN is accepted and has no effect.
WIN32_API BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);

// Extension: how a shared library exports entry points by ordinal. It defines, with C linkage
// and default visibility, an array named Win32ExportTable ending with an entry whose Ordinal
// is 0. GetProcAddress by name looks in it first, then at the library's dynamic symbols.
typedef struct WIN32_EXPORT {
  WORD Ordinal;
  LPCSTR Name;
  FARPROC Function;
} WIN32_EXPORT;
#define WIN32_EXPORT_TABLE_SYMBOL "Win32ExportTable"

#ifdef __cplusplus
namespace win32 {
// FARPROC to and from an entry point's real type, as every caller of GetProcAddress converts.
// Going through void (*)() tells the compiler (-Wcast-function-type) that the cast is meant.
template <typename F>
inline F ProcAs(FARPROC proc) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}
template <typename F>
inline FARPROC AsFarProc(F* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}
}  // namespace win32
#endif
