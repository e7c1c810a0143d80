// The one export table: every entry point of Windows Sockets 1.1 at its ordinal.
#include "api.h"
#include "win32/module.h"

WIN32_API const WIN32_EXPORT Win32ExportTable[] = {
#define WSOCK32_EXPORT(ordinal, name, type) \
  {ordinal, #name, win32::AsFarProc(static_cast<type>(&wsock32::api::name))},
    WSOCK32_ENTRY_POINTS(WSOCK32_EXPORT)
#undef WSOCK32_EXPORT
        {0, nullptr, nullptr},
};
