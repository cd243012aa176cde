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
/// The files stay open until the object is destroyed: closing any
/// descriptor of an SQLite database file drops the locks SQLite holds on
/// it, so the object must outlive the connection.
class EarlyWriteback {
 public:
  /// Will watch `paths`; a file that does not exist yet is looked for
  /// again each round.
  explicit EarlyWriteback(std::vector<std::string> paths);
  /// Stops and closes the files.
  ~EarlyWriteback();

  EarlyWriteback(const EarlyWriteback&) = delete;
  EarlyWriteback& operator=(const EarlyWriteback&) = delete;

  /// Starts the rounds (when not already under way).
  void start();
  /// Stops the rounds at once.
  void stop();

 private:
  /// Starts the writeback of every file each round until stopped.
  void run();

  std::vector<std::string> paths_;
  std::vector<int> files_;  // descriptor of each path, or -1
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

#endif  // ZXLOAD_EARLY_WRITEBACK_H_
