#pragma once
// RAII owners for the Win32 handles and GDI objects the wizard creates.
#include <windows.h>

#include <utility>

namespace quickintro {

// Owns a handle and releases it with Release when it goes.
template <typename Handle, auto Release>
class TUniqueHandle {
 public:
  TUniqueHandle() = default;
  explicit TUniqueHandle(Handle handle) : handle_(handle) {}
  TUniqueHandle(TUniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  ~TUniqueHandle() { Reset(nullptr); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(Handle handle) {
    if (handle_) Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void CloseRegistryKey(HKEY key) { RegCloseKey(key); }
inline void DestroyWindowHandle(HWND window) { DestroyWindow(window); }

using UniqueFont = TUniqueHandle<HFONT, DeleteGdiObject>;
using UniqueBrush = TUniqueHandle<HBRUSH, DeleteGdiObject>;
using UniqueBitmap = TUniqueHandle<HBITMAP, DeleteGdiObject>;
using UniqueMemoryDc = TUniqueHandle<HDC, DeleteMemoryDc>;
using UniqueIcon = TUniqueHandle<HICON, DestroyIconHandle>;
using UniqueRegistryKey = TUniqueHandle<HKEY, CloseRegistryKey>;
using UniqueWindow = TUniqueHandle<HWND, DestroyWindowHandle>;

// Selects an object into a device context for one scope and restores the
// previous one after.
class TSelectedObject {
 public:
  TSelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~TSelectedObject() { SelectObject(dc_, previous_); }
  TSelectedObject(const TSelectedObject&) = delete;
  TSelectedObject& operator=(const TSelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Saves a device context's state (clipping, modes, colours) for one scope.
class TSavedDcState {
 public:
  explicit TSavedDcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~TSavedDcState() { RestoreDC(dc_, saved_); }
  TSavedDcState(const TSavedDcState&) = delete;
  TSavedDcState& operator=(const TSavedDcState&) = delete;

 private:
  HDC dc_;
  int saved_;
};

}  // namespace quickintro
