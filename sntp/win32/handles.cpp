#include "sntp/win32/handles.h"

namespace sntp {

namespace {

HMODULE ModuleOfThisCode(DWORD extraFlags) {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | extraFlags, reinterpret_cast<LPCSTR>(&ModuleOfThisCode),
                     &module);
  return module;
}

}  // namespace

TKernelHandle OwnKernelHandle(HANDLE handle) {
  return TKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

HMODULE ThisModule() { return ModuleOfThisCode(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT); }

TModuleReference ReferenceThisModule() { return TModuleReference(ModuleOfThisCode(0)); }

}  // namespace sntp
