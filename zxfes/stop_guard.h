#ifndef ZXFES_STOP_GUARD_H_
#define ZXFES_STOP_GUARD_H_

#include <mutex>

/// Guards the launched front end's process handle between the service
/// thread that launches it and the control handler that ends it. A stop
/// may arrive before, during or after the launch: once the stop has begun,
/// a handle offered later is refused so that its owner ends the process
/// itself, and the handler never sees a handle that is being written.
class StopGuard {
 public:
  /// Marks the stop as begun and hands over the kept handle (or nullptr
  /// when no front end was kept); the guard keeps nothing afterwards.
  void* beginStop();

  /// Marks the stop as begun without taking the handle yet.
  void requestStop();

  /// True once `requestStop` or `beginStop` was called.
  bool stopping() const;

  /// True when service state `state` may still be reported: once a stop
  /// has begun, start pending (2) and running (4) would undo it.
  bool admits(unsigned long state) const;

  /// Keeps `process` unless a stop has begun; false means the caller
  /// still owns the handle and must end the process and close it.
  bool keep(void* process);

  /// Hands over the kept handle without beginning a stop (nullptr when
  /// none), for closing it at the end of the service object.
  void* release();

 private:
  mutable std::mutex mutex_;
  void* process_ = nullptr;
  bool stopping_ = false;
};

#endif  // ZXFES_STOP_GUARD_H_
