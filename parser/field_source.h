#ifndef PARSER_FIELD_SOURCE_H_
#define PARSER_FIELD_SOURCE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "parser/column_table.h"

/// Blanks after a line handed to FieldSource::readPadded().
constexpr std::size_t kLinePadding = 64;

/// How reading a line through a field source ended.
enum class SourceOutcome {
  /// Every position has its value.
  kComplete,
  /// The line ended before the layout did: it may be the first part of a
  /// record broken over two lines.
  kShort,
  /// The line does not fit the layout; problem() says where and why.
  kMalformed,
};

/// Reads the values of a line by a layout other than blank-separated fields
/// (a server's format definition, JSON lines): one value per header
/// position. Values are views into the line or into the source's own
/// storage, valid until the next read.
class FieldSource {
 public:
  virtual ~FieldSource() = default;

  /// Reads `line` (its line break, if any, at the end) into `values`, which
  /// holds one entry per header position; `*found` receives the number of
  /// values read before a short line ended.
  virtual SourceOutcome read(std::string_view line, std::string_view* values,
                             int* found) = 0;

  /// As read(), for a line followed by kLinePadding blanks, which the
  /// source may read without copying the line first.
  virtual SourceOutcome readPadded(std::string_view line, std::string_view* values,
                                   int* found) {
    return read(line, values, found);
  }

  /// Why the last line read was short or malformed ("at byte 57: ...").
  virtual std::string_view problem() const = 0;

  /// True when values may hold bytes the line did not (decoded escapes):
  /// commas and quotes are then looked for in every value.
  virtual bool decodesValues() const { return false; }

  /// True when a line is read on its own: never kShort, so never joined
  /// with the next; its values can then be read ahead of the line loop.
  virtual bool readsLinesAlone() const { return false; }

  /// Most bytes the values (outside the line) and the problem of one line
  /// occupy: what a reader ahead keeps room for.
  virtual std::size_t valueBytes() const { return 0; }
};

/// What a value asks for: the log field name of its column and its rank
/// among values for the same database column (lower wins).
struct FieldRequest {
  std::string field;
  int rank = 0;
};

/// The columns the requests of a layout are loaded into.
struct FieldBinding {
  /// Column index per header position, in the order of the requests that
  /// won them.
  std::vector<int> columns;
  /// Header position per request, -1 for a request not loaded.
  std::vector<int> positionOf;
  /// Why each request not loaded is not: "no column", "not loaded by the
  /// column data types file", "loaded from %h" (empty for loaded ones).
  std::vector<std::string> reasons;
};

/// Binds requests to columns: a request without a field, or whose field
/// has no column or a column with use flag 0, is not loaded. Requests for
/// one database column share it: with `alternatives` every such request
/// gets the position (the source picks a value per line); without, only
/// the lowest rank (the first of equal ranks) does. `names` label the
/// requests in the reasons.
FieldBinding bindFields(const std::vector<FieldRequest>& requests,
                        const std::vector<std::string>& names,
                        const ColumnTable& table, bool alternatives);

#endif  // PARSER_FIELD_SOURCE_H_
