#ifndef ZXLOAD_LOAD_SUMMARY_H_
#define ZXLOAD_LOAD_SUMMARY_H_

#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "summary/summary_table.h"
#include "zxload/batch_thread.h"
#include "zxload/load_plan.h"
#include "zxload/row_values.h"

/// How a database holds the values it is given, so that a summary counts
/// exactly what zxreport reads back from the table.
struct StoredForm {
  bool postgres = false;  ///< time stamps as PostgreSQL writes them, NULL for none;
                          ///< text as PostgreSQL stores what zxload sends
  bool rawBytes = false;  ///< PostgreSQL database of encoding SQL_ASCII
};

/// Declared types of a table's columns: name and type in lower case.
using ColumnTypes = std::vector<std::pair<std::string, std::string>>;

/// The summary of one load of a raw or billing file: its rows counted as
/// the report counts them, one cell per day (and one for rows without an
/// hour), written beside the rows in the load's transaction. Counting
/// costs a few hash lookups a row and no allocation but for new values.
/// With `ownThread` the rows are counted on a thread of their own, in
/// batches of the values counted, in the order they were added.
class LoadSummary {
 public:
  LoadSummary(const LoadPlan& plan, StoredForm form, bool ownThread = BatchThread::spareCore());
  ~LoadSummary();
  /// Whether the load gets a summary: a raw or billing data set whose
  /// columns the report reads have the types zxload gives them, in the
  /// plan and (after `checkTable`) in the table.
  bool enabled() const { return builder_ != nullptr; }
  /// Turns the summary off when a column the report reads is declared in
  /// the table otherwise than zxload declares it (its values would read
  /// back otherwise than they are counted here).
  void checkTable(const ColumnTypes& types);
  /// Counts one row (or copies its values for the counting thread).
  void add(const std::vector<RowValue>& values);
  /// Says that every row is added: with a counting thread, the rest of the
  /// counting, the cells and the freeing of the counts go on beside the
  /// caller until `cells` (call it at most once, before `cells`).
  void endRows();
  /// The cells of the rows counted (one at least, so that a load without
  /// rows is known to be summarised), once every row added is counted;
  /// the counts are freed as their cells are made (call it once).
  std::vector<SummaryCell> cells();

  class Builder;

 private:
  const LoadPlan& plan_;
  StoredForm form_;
  std::unique_ptr<Builder> builder_;
  std::vector<RowValue> unpacked_;     // a row of a batch, on the counting thread
  std::vector<RowValue> ahead_;        // a row a few rows further on
  std::unique_ptr<BatchThread> feed_;  // stopped before the builder goes
  // After endRows: the cells, made on a thread that then frees the counts.
  std::promise<std::vector<SummaryCell>> cellsPromised_;
  std::future<std::vector<SummaryCell>> cellsMade_;
  std::future<void> made_;  // that thread; last, so that it ends first
};

#endif  // ZXLOAD_LOAD_SUMMARY_H_
