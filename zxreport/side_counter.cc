#include "zxreport/side_counter.h"

#include <utility>

SideCounter::SideCounter(Count count) : count_(std::move(count)), thread_([this] { run(); }) {}

SideCounter::~SideCounter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void SideCounter::handOver(std::string data) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return waiting_.size() < kWaiting; });
  waiting_.push_back(std::move(data));
  changed_.notify_all();
}

void SideCounter::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !waiting_.empty() || closing_; });
    if (waiting_.empty()) return;
    std::string data = std::move(waiting_.front());
    waiting_.pop_front();
    changed_.notify_all();
    lock.unlock();
    count_(data);
    data = std::string();  // freed before the lock is taken again
    lock.lock();
  }
}
