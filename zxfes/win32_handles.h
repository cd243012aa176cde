#ifndef ZXFES_WIN32_HANDLES_H_
#define ZXFES_WIN32_HANDLES_H_

#include <windows.h>

/// Owns a service-manager or service handle and closes it on every path.
class ScHandle {
 public:
  /// Takes ownership of `handle` (may be null).
  explicit ScHandle(SC_HANDLE handle = nullptr) : handle_(handle) {}
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  ~ScHandle() { reset(); }
  /// The handle, still owned.
  SC_HANDLE get() const { return handle_; }
  /// True when a handle is held.
  explicit operator bool() const { return handle_ != nullptr; }
  /// Closes the handle now and takes ownership of `handle` (may be null).
  void reset(SC_HANDLE handle = nullptr) {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
    handle_ = handle;
  }

 private:
  SC_HANDLE handle_;
};

/// Owns an open registry key and closes it on every path.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { reset(); }
  /// Address to receive a newly opened key.
  HKEY* out() { reset(); return &key_; }
  /// The key, still owned.
  HKEY get() const { return key_; }
  /// Closes the key now.
  void reset() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

/// Owns a kernel object handle (process, thread, token) and closes it.
class KernelHandle {
 public:
  /// Takes ownership of `handle` (may be null).
  explicit KernelHandle(HANDLE handle = nullptr) : handle_(handle) {}
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  ~KernelHandle() { reset(); }
  /// Address to receive a newly opened handle.
  HANDLE* out() { reset(); return &handle_; }
  /// The handle, still owned.
  HANDLE get() const { return handle_; }
  /// True when a handle is held.
  explicit operator bool() const { return handle_ != nullptr; }
  /// Closes the handle now.
  void reset() {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

#endif  // ZXFES_WIN32_HANDLES_H_
