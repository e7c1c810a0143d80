// Private profile (INI) files of kernel32.
#pragma once

#include "win32/types.h"

// Differs from Windows: a relative file name is taken relative to the current directory,
// not the Windows directory. A new file is created with mode 0600, because profile files
// hold credentials; an existing file keeps its mode. The file is replaced atomically.
WIN32_API BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                                 LPCSTR lpString, LPCSTR lpFileName);
