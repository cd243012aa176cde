#ifndef COMMON_SCOPED_TIME_ZONE_H_
#define COMMON_SCOPED_TIME_ZONE_H_

#include <cstdlib>
#include <string>

#include "common/platform.h"

/// Switches the process to a time zone for the life of the object (for
/// tests), then restores the zone that was set before.
class ScopedTimeZone {
 public:
  /// Switches to `zone`.
  explicit ScopedTimeZone(const char* zone) {
    const char* old = std::getenv("TZ");
    hadZone_ = old != nullptr;
    if (hadZone_) old_ = old;
    platform::setTimeZone(zone);
  }
  ~ScopedTimeZone() { platform::setTimeZone(hadZone_ ? old_.c_str() : ""); }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool hadZone_ = false;
  std::string old_;
};

#endif  // COMMON_SCOPED_TIME_ZONE_H_
