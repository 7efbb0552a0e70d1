#pragma once
// Owners of the library's Win32 handles, in one style: a std::unique_ptr
// whose deleter releases the handle the way Windows wants it released.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace sntp {

// An event or a file, closed with CloseHandle.
struct TKernelHandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using TKernelHandle = std::unique_ptr<void, TKernelHandleCloser>;

// Owns Handle unless it is null or INVALID_HANDLE_VALUE (what CreateFileA
// gives for none).
TKernelHandle OwnKernelHandle(HANDLE handle);

// A counted reference to a loaded module, released with FreeLibrary.
struct TModuleReleaser {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using TModuleReference = std::unique_ptr<std::remove_pointer_t<HMODULE>, TModuleReleaser>;

// The module holding this code: SNTP.dll, or a program linking its code.
HMODULE ThisModule();

// While the reference lives, the module holding this code stays loaded.
TModuleReference ReferenceThisModule();

}  // namespace sntp
