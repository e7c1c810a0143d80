// Code page conversions of kernel32. The system ANSI code page is 1252 unless the
// environment variable WIN32_ACP names another (read once per process).
#pragma once

#include "win32/types.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define WC_ERR_INVALID_CHARS 0x00000080

WIN32_API UINT WINAPI GetACP(void);
WIN32_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                         int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);
WIN32_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                                         int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                         LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);
