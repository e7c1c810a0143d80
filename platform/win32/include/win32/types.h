// Base types with the sizes of 64-bit Windows (LLP64): LONG and DWORD stay 32 bits,
// pointer-sized integers and handles are 64 bits, WCHAR is UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __cplusplus
#define WIN32_EXTERN_C extern "C"
#else
#define WIN32_EXTERN_C
#endif
#define WINAPI
#define CALLBACK
#define WIN32_API WIN32_EXTERN_C __attribute__((visibility("default")))

// The casts inside the SDK's macros, spelled so that C++ callers built with -Wold-style-cast
// can use them.
#ifdef __cplusplus
#define WIN32_PTR_CAST(type, value) reinterpret_cast<type>(value)
#define WIN32_INT_CAST(type, value) static_cast<type>(value)
#else
#define WIN32_PTR_CAST(type, value) ((type)(value))
#define WIN32_INT_CAST(type, value) ((type)(value))
#endif

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef char CHAR;
typedef uint8_t UCHAR;
typedef char16_t WCHAR;
typedef void VOID;

typedef int64_t INT_PTR;
typedef uint64_t UINT_PTR;
typedef int64_t LONG_PTR;
typedef uint64_t ULONG_PTR;
typedef uint64_t DWORD_PTR;
typedef uint64_t SIZE_T;

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef LONG HRESULT;

typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef BOOL* LPBOOL;
typedef DWORD* LPDWORD;
typedef LONG* LPLONG;

typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HMENU__* HMENU;
typedef struct HICON__* HICON;
typedef struct HBRUSH__* HBRUSH;
typedef HICON HCURSOR;
typedef struct HDC__* HDC;
typedef LONG_PTR(WINAPI* FARPROC)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
