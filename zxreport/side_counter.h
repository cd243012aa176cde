#ifndef ZXREPORT_SIDE_COUNTER_H_
#define ZXREPORT_SIDE_COUNTER_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

/// Counts pieces of data on a thread of its own, in the order they are
/// handed over, while the caller goes on with its share of the same data.
/// At most `kWaiting` pieces wait, so that memory stays bounded.
class SideCounter {
 public:
  using Count = std::function<void(std::string_view)>;
  explicit SideCounter(Count count);
  /// Counts what was handed over, then ends the thread.
  ~SideCounter();
  SideCounter(const SideCounter&) = delete;
  SideCounter& operator=(const SideCounter&) = delete;

  /// Queues `data`, waiting while `kWaiting` pieces already wait.
  void handOver(std::string data);

 private:
  static constexpr std::size_t kWaiting = 2;
  void run();

  Count count_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> waiting_;
  bool closing_ = false;
  std::thread thread_;
};

#endif  // ZXREPORT_SIDE_COUNTER_H_
