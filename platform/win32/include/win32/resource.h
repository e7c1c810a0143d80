// Resources compiled into a module and found by type and name: the resource functions of
// kernel32.
//
// A module carries its resources in one table (below) that the build generates with the CMake
// function win32_add_resources (platform/win32/cmake/Win32Resources.cmake). Types and names are
// numbers (MAKEINTRESOURCE) or strings, compared without regard to case; "#102" is the number
// 102, as on Windows. A bitmap resource holds a BMP file without its 14-byte file header.
// Resources are read-only data of the module: LoadResource and LockResource return the same
// pointer, valid while the module is loaded, and there is nothing to free.
#pragma once

#include "win32/module.h"
#include "win32/types.h"

typedef struct HRSRC__* HRSRC;
typedef void* HGLOBAL;

#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_RCDATA MAKEINTRESOURCEA(10)

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

// hModule NULL is the program (whose table must then be exported, ENABLE_EXPORTS in CMake).
WIN32_API HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
WIN32_API HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
WIN32_API DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
WIN32_API LPVOID WINAPI LockResource(HGLOBAL hResData);
WIN32_API BOOL WINAPI FreeResource(HGLOBAL hResData);

// Extension: the table of a module's resources, an array with C linkage and default
// visibility named Win32ResourceTable, ending with an entry whose Data is NULL. A type or name
// given by number has a NULL text and its number in the Id field.
typedef struct WIN32_RESOURCE {
  LPCSTR TypeName;
  WORD TypeId;
  LPCSTR Name;
  WORD NameId;
  const BYTE* Data;
  DWORD Size;
} WIN32_RESOURCE;
#define WIN32_RESOURCE_TABLE_SYMBOL "Win32ResourceTable"
