#include "zxfes/stop_guard.h"

void* StopGuard::beginStop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  void* process = process_;
  process_ = nullptr;
  return process;
}

void StopGuard::requestStop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
}

bool StopGuard::stopping() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_;
}

bool StopGuard::admits(unsigned long state) const {
  constexpr unsigned long kStartPending = 2;
  constexpr unsigned long kRunning = 4;
  std::lock_guard<std::mutex> lock(mutex_);
  return !(stopping_ && (state == kStartPending || state == kRunning));
}

bool StopGuard::keep(void* process) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_ || process_ != nullptr) return false;
  process_ = process;
  return true;
}

void* StopGuard::release() {
  std::lock_guard<std::mutex> lock(mutex_);
  void* process = process_;
  process_ = nullptr;
  return process;
}
