#ifndef PARSER_LAYOUT_MATCHER_H_
#define PARSER_LAYOUT_MATCHER_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "parser/field_source.h"
#include "parser/format_definition.h"
#include "parser/time_pattern.h"
#include "parser/value_conversions.h"

/// Most candidate values tried for one line before it is given up as
/// ambiguous (formats with text directives not separated by literals).
constexpr int kMaxMatchAttempts = 20000;

/// Reads log lines by a server's format definition: the literals between
/// directives must stand in the line as written, each directive's value
/// runs as its shape allows (see ValueShape) up to the literal that
/// follows. Where a value could end at several places (a text value whose
/// closing literal also occurs inside it), the next place is tried when the
/// rest of the line does not fit. Values are kept as written (escapes
/// included); durations and times are converted for their columns.
class LayoutMatcher : public FieldSource {
 public:
  /// `positionOf` gives, per directive of `definition`, the header
  /// position its value fills, or -1 (read and not loaded).
  LayoutMatcher(const FormatDefinition& definition, const std::vector<int>& positionOf);

  SourceOutcome read(std::string_view line, std::string_view* values,
                     int* found) override;
  std::string_view problem() const override { return problem_; }

 private:
  /// One directive and the literal after it.
  struct Step {
    std::string directive;
    ValueShape shape = ValueShape::kText;
    ValueConversion conversion = ValueConversion::kNone;
    TimePattern time;
    std::string timeFormat;
    /// Literal text that follows the value (the next directive's literal,
    /// or the text after the last directive).
    std::string after;
    int position = -1;
  };
  /// Where the search for one step's value stands.
  struct Frame {
    std::size_t start = 0;
    std::size_t end = 0;
    /// Where the next candidate is looked for; npos once none is left.
    std::size_t next = 0;
    bool started = false;
    /// The candidate was found by searching for the literal after it.
    bool literalFound = false;
  };
  /// What went wrong in the plain reading of the line.
  enum class Failure { kNone, kLiteral, kShape, kNoEnd, kTrailing, kAmbiguous };

  /// Moves step `i`, which had a candidate, to its next one; false when
  /// none is left.
  bool nextCandidate(int i, std::string_view text);
  /// The first candidate end of step `i`; false (failure recorded) when the
  /// value cannot start here.
  bool firstCandidate(int i, std::string_view text);
  /// Notes the failure at `at` unless one was noted before (the first is
  /// the plain reading's).
  void fail(std::size_t at, Failure kind, int step);
  /// True when `literal` stands at `at`; records the failure otherwise.
  bool literalAt(std::string_view text, std::size_t at, std::string_view literal, int step);
  /// Matches the whole line, storing the values kept as written into
  /// `values`; false with the first failure recorded.
  bool match(std::string_view text, std::string_view* values);
  /// Writes problem_ from the recorded failure.
  void describeFailure(std::string_view text);
  /// Sets the values that are converted after a match.
  void storeValues(std::string_view text, std::string_view* values);

  std::string first_;
  std::vector<Step> steps_;
  /// The steps whose values are converted after a match: loaded ones with
  /// a conversion and time parts.
  std::vector<int> storedSteps_;
  EscapeStyle escapes_;
  std::vector<Frame> frames_;
  int attempts_ = 0;
  Failure failure_ = Failure::kNone;
  std::size_t failureAt_ = 0;
  int failureStep_ = -1;
  std::string problem_;
  ValueScratch scratch_;
  ValueConverter converter_;
};

#endif  // PARSER_LAYOUT_MATCHER_H_
