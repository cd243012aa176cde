#ifndef PARSER_VALUES_AHEAD_H_
#define PARSER_VALUES_AHEAD_H_

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "parser/field_source.h"
#include "parser/line_loop.h"

class LogReader;

/// Reads a log's lines and each line's values through a field source on a
/// thread of its own, ahead of the line loop, which converts them on the
/// caller's thread in the same order: the loop takes its lines from here
/// (LineSupply) and the row builder the values of the line it converts
/// (FieldSource). Lines and values travel in batches that own their bytes,
/// a fixed number of them in circulation, one lock per batch.
///
/// Only for sources that read each line alone (FieldSource::
/// readsLinesAlone()): the loop then never joins two lines, so the values
/// of the line it was handed last are those of the line it converts.
/// Nothing is written or logged from the reading thread; what it read past
/// the line where the loop stops is discarded.
class ValuesAhead : public LineSupply, public FieldSource {
 public:
  /// Batches in circulation: one being filled, one being converted, the
  /// rest waiting.
  static constexpr std::size_t kBatches = 4;
  /// Lines of one batch at most.
  static constexpr std::size_t kBatchLines = 1024;
  /// Bytes of one batch's lines and values, at least.
  static constexpr std::size_t kBatchBytes = 512 * 1024;

  /// Prepares to read `reader` through `source`, one value per header
  /// position of `positions`. Both must outlive this object and are used
  /// only by the reading thread until stop().
  ValuesAhead(LogReader& reader, FieldSource& source, std::size_t positions);
  /// Stops the reading thread.
  ~ValuesAhead() override;
  ValuesAhead(const ValuesAhead&) = delete;
  ValuesAhead& operator=(const ValuesAhead&) = delete;

  /// Starts the reading thread; false when none can be started.
  bool start();
  /// Stops the reading thread and waits for it; the reader and the source
  /// are then the caller's again. What was read ahead is dropped.
  void stop();

  /// The next line where the batch holds it.
  const char* nextLine(char* buffer, std::size_t* length) override;
  /// The values of the line nextLine() handed over last (`line`).
  SourceOutcome read(std::string_view line, std::string_view* values, int* found) override;
  std::string_view problem() const override;
  bool decodesValues() const override { return decodesValues_; }
  bool readsLinesAlone() const override { return true; }

 private:
  /// A line of a batch and what reading its values found.
  struct Line {
    const char* text = nullptr;
    std::size_t length = 0;
    SourceOutcome outcome = SourceOutcome::kComplete;
    int found = 0;
    std::string_view problem;
  };
  struct Batch {
    std::unique_ptr<char[]> bytes;
    std::size_t used = 0;
    std::vector<Line> lines;
    /// `positions_` values per line.
    std::vector<std::string_view> values;
    /// The log ended after these lines.
    bool last = false;
  };

  /// The reading thread: fills batches until the log ends or stop().
  void readLoop();
  /// Reads lines and their values into `batch` until it is full or the
  /// log ends.
  void fill(Batch* batch);
  /// `text` kept in `batch`'s bytes (unless it lies in the line at `line`
  /// of `length` bytes, which the batch holds already).
  std::string_view keep(Batch* batch, std::string_view text, const char* line,
                        std::size_t length);
  /// A free batch; null once asked to stop.
  Batch* takeFree();
  /// Gives `done` back (when not null) and waits for the next filled batch;
  /// null once the reading thread stopped without one.
  Batch* takeReady(Batch* done);

  LogReader& reader_;
  FieldSource& source_;
  const std::size_t positions_;
  const bool decodesValues_;
  /// Bytes a batch keeps free for one more line and its values.
  const std::size_t lineRoom_;
  const std::size_t batchBytes_;
  std::vector<std::unique_ptr<Batch>> batches_;

  // The caller's side.
  Batch* current_ = nullptr;
  std::size_t next_ = 0;
  const Line* line_ = nullptr;
  const std::string_view* values_ = nullptr;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Batch*> free_;
  std::deque<Batch*> ready_;
  bool stop_ = false;
  std::thread thread_;
};

#endif  // PARSER_VALUES_AHEAD_H_
