#include "zxload/early_writeback.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>

namespace {

/// Time between two rounds: a load writes a few megabytes in it.
constexpr std::chrono::milliseconds kRound{20};

}  // namespace

EarlyWriteback::EarlyWriteback(std::vector<std::string> paths)
    : paths_(std::move(paths)), files_(paths_.size(), -1) {}

EarlyWriteback::~EarlyWriteback() {
  stop();
  for (int file : files_) {
    if (file >= 0) close(file);
  }
}

void EarlyWriteback::start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { run(); });
}

void EarlyWriteback::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void EarlyWriteback::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, kRound, [this] { return stop_; })) {
    lock.unlock();
    for (std::size_t k = 0; k < paths_.size(); ++k) {
      if (files_[k] < 0) files_[k] = open(paths_[k].c_str(), O_RDONLY | O_CLOEXEC);
      // Starts writing what is dirty and does not wait for it.
      if (files_[k] >= 0) sync_file_range(files_[k], 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    lock.lock();
  }
}
