#include "quickintro/win32/registry_writer.h"

#include "quickintro/win32/win32_handles.h"

namespace quickintro {

bool TWin32RegistryWriter::SetString(const std::string& key, const std::string& valueName, const std::string& value) {
  HKEY opened = nullptr;
  // A key that cannot be opened makes the write below fail, which is what
  // gets reported.
  RegCreateKeyExA(root_, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened, nullptr);
  UniqueRegistryKey owner(opened);
  if (!owner) return false;
  // REG_SZ is stored with its terminating zero counted in the size.
  LONG status = RegSetValueExA(owner.Get(), valueName.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  return status == ERROR_SUCCESS;
}

}  // namespace quickintro
