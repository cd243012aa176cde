#ifndef PARSER_FIELD_SPLITTER_H_
#define PARSER_FIELD_SPLITTER_H_

#include <cstddef>
#include <string_view>

/// One field of a log line: where its value starts and how long it is. A
/// negative length marks a malformed field (a lone double quote).
struct FieldSpan {
  std::size_t start = 0;
  long length = 0;
};

/// Cuts a log line into fields in place, one field per call of next().
///
/// A field is quoted (starts with '"', the value runs to the first '"'
/// followed by a separator or the line end, searched from the opening
/// quote), bracketed (starts with '[', runs through the first ']' followed
/// by a separator or the line end, brackets kept) or plain (runs to the
/// first blank, tab, carriage return or line feed). A blank or tab ends a
/// value; further blanks after it are skipped, a further tab starts an empty
/// field. A carriage return, line feed or the line end makes the field the
/// last one, so a separator directly before the line end yields one more,
/// empty field. Nothing is copied or allocated.
class FieldSplitter {
 public:
  /// Splits `line`; with `equalsEndsField` an '=' also ends a plain field
  /// and is skipped like one blank (used to count the fields of a header
  /// sample line).
  explicit FieldSplitter(std::string_view line, bool equalsEndsField = false)
      : line_(line), equalsEndsField_(equalsEndsField) {}

  /// Finds the next field; false when the line has no more fields.
  bool next(FieldSpan* field);

  /// The value of `field`, empty for a malformed one.
  std::string_view valueOf(const FieldSpan& field) const {
    std::size_t length = field.length > 0 ? static_cast<std::size_t>(field.length) : 0;
    return std::string_view(line_.data() + field.start, length);
  }

 private:
  std::string_view line_;
  std::size_t position_ = 0;
  bool equalsEndsField_;
  bool finished_ = false;
};

/// Number of fields in `line` by the rules of FieldSplitter.
int countFields(std::string_view line, bool equalsEndsField = false);

#endif  // PARSER_FIELD_SPLITTER_H_
