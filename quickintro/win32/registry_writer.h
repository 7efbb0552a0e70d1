#pragma once
// Where the wizard stores the clock-mode choice. The window writes through
// this interface so that a test can watch the write or make it fail.
#include <windows.h>

#include <stdexcept>
#include <string>

namespace quickintro {

constexpr const char* kOptionsKey = "Software\\Zirazazur\\Options";
constexpr const char* kChangeTrayClockValue = "ChangeTrayClock";

class TRegistryWriter {
 public:
  virtual ~TRegistryWriter() = default;
  // Creates or opens key and sets a REG_SZ value; false when it failed.
  virtual bool SetString(const std::string& key, const std::string& valueName, const std::string& value) = 0;
};

// Writes under a root key of the real registry (HKEY_CURRENT_USER).
class TWin32RegistryWriter : public TRegistryWriter {
 public:
  explicit TWin32RegistryWriter(HKEY root = HKEY_CURRENT_USER) : root_(root) {}
  bool SetString(const std::string& key, const std::string& valueName, const std::string& value) override;

 private:
  HKEY root_;
};

// A failed registry write, with the message the user sees.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quickintro
