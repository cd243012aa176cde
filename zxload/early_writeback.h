#ifndef ZXLOAD_EARLY_WRITEBACK_H_
#define ZXLOAD_EARLY_WRITEBACK_H_

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// Has the kernel start writing the written pages of some files to disk
/// every few milliseconds while a load writes them, so that the syncs of
/// its commit find little left to write. It only starts writes: when the
/// data is safe is still decided by the database's own syncs.
///
/// Never give it an SQLite database file itself: closing any descriptor of
/// that file drops the locks SQLite holds on it. Its write-ahead log is
/// not locked that way.
class EarlyWriteback {
 public:
  /// Starts watching `paths` (files that do not exist yet are looked for
  /// again each round).
  explicit EarlyWriteback(std::vector<std::string> paths);
  /// Stops at once.
  ~EarlyWriteback();

  EarlyWriteback(const EarlyWriteback&) = delete;
  EarlyWriteback& operator=(const EarlyWriteback&) = delete;

 private:
  /// Starts the writeback of every file each round until stopped.
  void run();

  std::vector<std::string> paths_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

#endif  // ZXLOAD_EARLY_WRITEBACK_H_
