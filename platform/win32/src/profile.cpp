#include "win32/profile.h"

#include <cerrno>
#include <optional>
#include <string>

#include "profile_text.h"
#include "win32/ansi_string.h"
#include "win32/atomic_file.h"
#include "win32/error.h"

namespace {

DWORD FromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
      return ERROR_HANDLE_DISK_FULL;
    default:
      return ERROR_WRITE_FAULT;
  }
}

std::optional<std::string_view> Optional(LPCSTR s) {
  return s == nullptr ? std::nullopt : std::optional<std::string_view>(s);
}

}  // namespace

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName) {
  // All three names missing asks Windows to flush its cache; nothing is cached here.
  if (lpAppName == nullptr && lpKeyName == nullptr && lpString == nullptr) return TRUE;
  if (lpAppName == nullptr || lpFileName == nullptr || *lpFileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The name is in the ANSI code page, like every argument of an A function; the file
  // system holds UTF-8 names.
  auto path = win32::AnsiToUtf8(lpFileName);
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string current;
  win32::FileResult read = win32::ReadWholeFile(*path, current);
  if (!read && read.error != ENOENT) {
    SetLastError(FromErrno(read.error));
    return FALSE;
  }
  const bool deleting = lpKeyName == nullptr || lpString == nullptr;
  if (!read && deleting) return TRUE;  // nothing to delete from a missing file

  std::string updated =
      win32::profile::Apply(current, lpAppName, Optional(lpKeyName), Optional(lpString));
  if (read && updated == current) return TRUE;
  win32::FileResult written = win32::ReplaceFile(*path, updated, 0600);
  if (!written) {
    SetLastError(FromErrno(written.error));
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
