#include "parser/layout_matcher.h"

#include <cstring>

#include "parser/field_splitter.h"

// The candidate search runs once per directive of every line: inlined into
// the matching loop.
#if defined(__GNUC__)
#define LAYOUT_MATCHER_INLINE inline __attribute__((always_inline))
#else
#define LAYOUT_MATCHER_INLINE inline
#endif

namespace {

constexpr std::size_t kNone = std::string_view::npos;
/// Longest line a source is handed: a carried part and one more read.
constexpr std::size_t kLongestLine = 2 * 8192;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

/// True when `literal` stands at `at` (short literals compared in place).
inline bool standsAt(std::string_view text, std::size_t at, std::string_view literal) {
  const std::size_t length = literal.size();
  if (at + length > text.size()) return false;
  const char* here = text.data() + at;
  if (length <= 4) {
    for (std::size_t k = 0; k < length; ++k) {
      if (here[k] != literal[k]) return false;
    }
    return true;
  }
  return std::memcmp(here, literal.data(), length) == 0;
}

/// Where `literal` next stands at or after `from`, skipping places where
/// its first character is escaped (when `escapes`); npos when nowhere.
std::size_t findLiteral(std::string_view text, std::size_t from, std::string_view literal,
                        bool escapes, std::size_t valueStart) {
  const char* base = text.data();
  const std::size_t size = text.size();
  const std::size_t length = literal.size();
  while (from + length <= size) {
    const void* hit = std::memchr(base + from, literal[0], size - from - length + 1);
    if (hit == nullptr) return kNone;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    if (standsAt(text, at + 1, literal.substr(1)) &&
        (!escapes || !isBackslashEscaped(text, valueStart, at))) {
      return at;
    }
    from = at + 1;
  }
  return kNone;
}

/// `text` for a message: control characters as \t, \r, \n or \xHH.
std::string printable(std::string_view text) {
  std::string shown;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (u < 0x20 || u == 0x7f) {
      static constexpr char kHex[] = "0123456789abcdef";
      shown += "\\x";
      shown += kHex[u >> 4];
      shown += kHex[u & 15];
    } else {
      shown += c;
    }
  }
  return shown;
}

/// The line without its line break.
std::string_view content(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

}  // namespace

LayoutMatcher::LayoutMatcher(const FormatDefinition& definition,
                             const std::vector<int>& positionOf)
    : escapes_(definition.escapes),
      scratch_(2 * kLongestLine + 64 * (definition.items.size() + 1)) {
  const std::size_t count = definition.items.size();
  if (count > 0) first_ = definition.items[0].literal;
  steps_.resize(count);
  frames_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const FormatItem& item = definition.items[i];
    Step& step = steps_[i];
    step.directive = item.directive;
    step.shape = item.mapping.shape;
    step.conversion = item.mapping.conversion;
    step.timeFormat = item.mapping.timeFormat;
    if (step.shape == ValueShape::kTime) {
      std::string error;
      step.time.compile(step.timeFormat, &error);  // checked when compiled
    }
    step.after = i + 1 < count ? definition.items[i + 1].literal : definition.trailing;
    step.position = i < positionOf.size() ? positionOf[i] : -1;
    // Values kept as written are stored while matching; the others once
    // the line fits.
    if ((step.position >= 0 && step.conversion != ValueConversion::kNone) ||
        step.conversion == ValueConversion::kTimePattern) {
      storedSteps_.push_back(static_cast<int>(i));
    }
  }
}

void LayoutMatcher::fail(std::size_t at, Failure kind, int step) {
  // The first failure is the one of the plain reading, every value ending
  // at its first possible place: later ones come from readings tried after
  // it and say less about the line.
  if (failure_ == Failure::kNone) {
    failure_ = kind;
    failureAt_ = at;
    failureStep_ = step;
  }
}

bool LayoutMatcher::literalAt(std::string_view text, std::size_t at,
                              std::string_view literal, int step) {
  if (standsAt(text, at, literal)) return true;
  std::size_t k = 0;
  while (at + k < text.size() && text[at + k] == literal[k]) ++k;
  fail(at + k, Failure::kLiteral, step);
  return false;
}

LAYOUT_MATCHER_INLINE bool LayoutMatcher::firstCandidate(int i, std::string_view text) {
  const Step& step = steps_[i];
  Frame& frame = frames_[i];
  frame.literalFound = false;
  const std::size_t start = frame.start;
  const std::size_t size = text.size();
  const bool last = i + 1 == static_cast<int>(steps_.size());
  frame.next = kNone;
  auto noValue = [&](std::size_t at) {
    fail(at, at >= size ? Failure::kNoEnd : Failure::kShape, i);
    return false;
  };
  auto dash = [&]() {
    if (start < size && text[start] == '-') {
      frame.end = start + 1;
      return true;
    }
    return false;
  };
  switch (step.shape) {
    case ValueShape::kText: {
      if (step.after.empty()) {
        frame.end = last ? size : start;
        if (!last && start < size) frame.next = start + 1;
        return true;
      }
      std::size_t at = findLiteral(text, start, step.after,
                                   escapes_ == EscapeStyle::kBackslash, start);
      if (at == kNone) return noValue(size);
      frame.end = at;
      frame.next = at + 1;
      frame.literalFound = true;
      return true;
    }
    case ValueShape::kToken: {
      // A token ends at a blank or tab (or a line break), as a plain field
      // of a blank-separated line does.
      const std::size_t run = field_splitter_detail::findPlainEnd(text.data(), start, size);
      if (run == start) return noValue(start);
      if (step.after.empty()) {
        frame.end = last ? run : start + 1;
        if (!last && start + 1 < run) frame.next = start + 2;
        return true;
      }
      if (isBlankOrTab(step.after[0])) {
        // The literal starts with what ends the token: it ends there.
        frame.end = run;
        return true;
      }
      std::size_t at = findLiteral(text.substr(0, run + step.after.size()), start + 1,
                                   step.after, false, start);
      if (at == kNone || at > run) {
        literalAt(text, run, step.after, i);
        return false;
      }
      frame.end = at;
      frame.next = at + 1;
      frame.literalFound = true;
      return true;
    }
    case ValueShape::kNumber: {
      if (dash()) return true;
      std::size_t digits = start;
      while (digits < size && isDigit(text[digits])) ++digits;
      if (digits == start) return noValue(start);
      std::size_t end = digits;
      if (end + 1 < size && text[end] == '.' && isDigit(text[end + 1])) {
        end += 2;
        while (end < size && isDigit(text[end])) ++end;
        frame.next = digits;  // the whole part alone, if the rest needs the fraction
      }
      frame.end = end;
      return true;
    }
    case ValueShape::kBracketed: {
      if (start < size && text[start] == '[') {
        std::size_t close = text.find(']', start + 1);
        if (close == kNone) return noValue(size);
        frame.end = close + 1;
        return true;
      }
      return dash() || noValue(start);
    }
    case ValueShape::kTime: {
      std::size_t end = 0;
      if (step.time.read(text, start, &end, nullptr)) {
        frame.end = end;
        return true;
      }
      return dash() || noValue(start);
    }
  }
  return false;
}

bool LayoutMatcher::nextCandidate(int i, std::string_view text) {
  Frame& frame = frames_[i];
  const Step& step = steps_[i];
  frame.literalFound = false;
  const std::size_t start = frame.start;
  switch (step.shape) {
    case ValueShape::kText:
    case ValueShape::kToken: {
      std::size_t limit = text.size();
      if (step.shape == ValueShape::kToken) {
        limit = field_splitter_detail::findPlainEnd(text.data(), start, text.size());
      }
      std::size_t at = frame.next;
      if (!step.after.empty()) {
        at = findLiteral(text, frame.next, step.after,
                         step.shape == ValueShape::kText &&
                             escapes_ == EscapeStyle::kBackslash,
                         start);
      }
      if (at == kNone || at > limit) {
        frame.next = kNone;
        return false;
      }
      frame.end = at;
      frame.next = at < limit ? at + 1 : kNone;
      frame.literalFound = !step.after.empty();
      return true;
    }
    case ValueShape::kNumber:
      frame.end = frame.next;
      frame.next = kNone;
      return true;
    default:
      return false;
  }
}

bool LayoutMatcher::match(std::string_view text, std::string_view* values) {
  attempts_ = 0;
  failure_ = Failure::kNone;
  failureAt_ = 0;
  failureStep_ = -1;
  if (!literalAt(text, 0, first_, -1)) return false;
  const int last = static_cast<int>(steps_.size()) - 1;
  frames_[0].start = first_.size();
  frames_[0].started = false;
  int i = 0;
  while (i >= 0) {
    if (++attempts_ > kMaxMatchAttempts) {
      failure_ = Failure::kAmbiguous;
      return false;
    }
    Frame& frame = frames_[i];
    bool found;
    if (!frame.started) {
      frame.started = true;
      found = firstCandidate(i, text);
    } else {
      found = frame.next != kNone && nextCandidate(i, text);
    }
    if (!found) {
      --i;
      continue;
    }
    const std::string_view after = steps_[i].after;
    const std::size_t end = frame.end;
    if (!frame.literalFound && !standsAt(text, end, after) && !literalAt(text, end, after, i)) {
      continue;
    }
    const std::size_t next = end + after.size();
    // A later reading of this step writes over what an earlier one wrote.
    const Step& step = steps_[i];
    if (step.position >= 0 && step.conversion == ValueConversion::kNone) {
      values[step.position] = std::string_view(text.data() + frame.start, end - frame.start);
    }
    if (i == last) {
      if (next == text.size()) return true;
      fail(next, Failure::kTrailing, i);
      continue;
    }
    ++i;
    frames_[i].start = next;
    frames_[i].started = false;
  }
  return false;
}

void LayoutMatcher::describeFailure(std::string_view text) {
  problem_ = "at byte " + std::to_string(failureAt_ + 1) + ": ";
  const Step* step = failureStep_ >= 0 ? &steps_[failureStep_] : nullptr;
  const std::string where =
      step != nullptr ? "after " + step->directive : "at the start of the line";
  const std::string found =
      failureAt_ < text.size()
          ? ", found '" + printable(text.substr(failureAt_, 12)) + "'"
          : ", the line ends there";
  switch (failure_) {
    case Failure::kLiteral: {
      std::string_view literal = step != nullptr ? std::string_view(step->after) : first_;
      problem_ += "'" + printable(literal) + "' expected " + where + found;
      break;
    }
    case Failure::kNoEnd:
      if (step != nullptr && step->shape == ValueShape::kText) {
        problem_ += "the line ends before '" + printable(step->after) + "' " +
                    "after " + step->directive;
      } else {
        problem_ += "the line ends before " + (step ? step->directive : std::string("the format"));
      }
      break;
    case Failure::kShape: {
      const char* expected = "a value";
      switch (step->shape) {
        case ValueShape::kNumber: expected = "a number"; break;
        case ValueShape::kBracketed: expected = "'['"; break;
        case ValueShape::kTime: expected = "a time"; break;
        default: break;
      }
      problem_ += step->directive + " expected " + expected;
      if (step->shape == ValueShape::kTime) problem_ += " like " + step->timeFormat;
      problem_ += found;
      break;
    }
    case Failure::kTrailing:
      problem_ += "text after the end of the format" + found;
      break;
    case Failure::kAmbiguous:
      problem_ = "the line fits the format in too many ways to try them all";
      break;
    case Failure::kNone:
      problem_.clear();
      break;
  }
}

void LayoutMatcher::storeValues(std::string_view text, std::string_view* values) {
  scratch_.clear();
  TimeParts parts;
  bool timeRead = false;
  int timePosition = -1;
  for (int i : storedSteps_) {
    const Step& step = steps_[i];
    const Frame& frame = frames_[i];
    const std::string_view value(text.data() + frame.start, frame.end - frame.start);
    if (step.conversion == ValueConversion::kTimePattern) {
      // Every part of a stamp spread over several directives counts; the
      // first loaded one carries the result.
      std::size_t end = 0;
      if (value != "-" && step.time.read(text, frame.start, &end, &parts)) timeRead = true;
      if (step.position >= 0 && timePosition < 0) timePosition = step.position;
      continue;
    }
    if (step.conversion == ValueConversion::kBracketed && frame.start > 0 &&
        text[frame.start - 1] == '[' && frame.end < text.size() && text[frame.end] == ']') {
      // "[$time_local]": the brackets stand in the line already.
      values[step.position] =
          std::string_view(text.data() + frame.start - 1, value.size() + 2);
    } else {
      values[step.position] = converter_.convert(step.conversion, value, scratch_);
    }
  }
  if (timePosition >= 0) {
    std::int64_t instant = 0;
    char* out = scratch_.room(kConvertedNumberLength);
    std::string_view stamp = "-";
    if (out != nullptr && timeRead &&
        instantOf(parts, converter_.localInstants(), &instant)) {
      stamp = instantText(instant, out);
      if (stamp.data() == out) stamp = scratch_.keep(stamp.size());
    }
    values[timePosition] = stamp;
  }
}

SourceOutcome LayoutMatcher::read(std::string_view line, std::string_view* values,
                                  int* found) {
  const std::string_view text = content(line);
  *found = 0;
  if (steps_.empty()) return SourceOutcome::kMalformed;
  if (match(text, values)) {
    problem_.clear();
    storeValues(text, values);
    return SourceOutcome::kComplete;
  }
  describeFailure(text);
  const bool atEnd = failureAt_ >= text.size() && failure_ != Failure::kTrailing &&
                     failure_ != Failure::kAmbiguous;
  return atEnd ? SourceOutcome::kShort : SourceOutcome::kMalformed;
}
