// What an in-process server's DllRegisterServer and DllUnregisterServer do with the
// resources compiled into it.
#pragma once

#include <string>

#include "ole/type_library.h"
#include "win32/module.h"

namespace ole {

// The module's full path as the registrar's %MODULE% replacement: UTF-8 file name bytes
// made UTF-16, each apostrophe doubled because the registrar substitutes inside quoted text.
OLE_CXX_API std::u16string ModuleReplacement(HMODULE module);
// Runs the module's REGISTRY resource `id` through the registrar (CLSID_Registrar), in
// register or unregister mode, with %MODULE% set as above.
OLE_CXX_API HRESULT UpdateRegistryFromResource(HMODULE module, UINT id, bool do_register);
// Registers the module's TYPELIB resource 1 under its full path, or removes that registration.
OLE_CXX_API HRESULT RegisterTypeLibFromModule(HMODULE module);
OLE_CXX_API HRESULT UnRegisterTypeLibFromModule(HMODULE module);

}  // namespace ole
