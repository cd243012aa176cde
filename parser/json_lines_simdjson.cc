// JSON lines read with simdjson's On-Demand parser: one pass over each
// object, descending only into the keys a mapping names, so values a line
// carries that no mapping reads are skipped without being converted.
#include <simdjson.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "parser/byte_search.h"
#include "parser/json_fields.h"

namespace {

namespace od = simdjson::ondemand;
using simdjson::error_code;

/// Longest line a source is handed: a carried part and one more read.
constexpr std::size_t kLongestLine = 2 * 8192;
static_assert(kLinePadding >= simdjson::SIMDJSON_PADDING);

/// True when `text` is a JSON number (the raw token, trimmed).
bool isJsonNumber(std::string_view text) {
  std::size_t at = 0;
  auto digits = [&]() {
    std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at > start;
  };
  if (at < text.size() && text[at] == '-') ++at;
  if (at < text.size() && text[at] == '0') {
    ++at;
  } else if (!digits()) {
    return false;
  }
  if (at < text.size() && text[at] == '.') {
    ++at;
    if (!digits()) return false;
  }
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (!digits()) return false;
  }
  return at == text.size();
}

class JsonLineSource : public FieldSource {
 public:
  JsonLineSource(const std::vector<JsonField>& fields, int positions)
      : fields_(fields),
        buffer_(new char[kLongestLine + 2 * kLinePadding]),
        scratch_(4 * kLongestLine + 64 * (fields.size() + 1)),
        best_(static_cast<std::size_t>(positions), INT_MAX),
        timePatterns_(fields.size()) {
    nodes_.emplace_back();
    for (std::size_t f = 0; f < fields_.size(); ++f) {
      int node = 0;
      for (const JsonStep& step : fields_[f].path) node = childOf(node, step);
      nodes_[node].fields.push_back(static_cast<int>(f));
      if (fields_[f].conversion == ValueConversion::kTimePattern) {
        std::string error;
        timePatterns_[f].compile(fields_[f].timeFormat, &error);  // checked when planned
      }
    }
    for (Node& node : nodes_) std::sort(node.indexes.begin(), node.indexes.end());
    buildTables();
    // Room for the longest line at once; a failure here is met again (and
    // reported) by the first line.
    if (parser_.allocate(kLongestLine + 64) != simdjson::SUCCESS) return;
  }

  SourceOutcome read(std::string_view line, std::string_view* values, int* found) override {
    // simdjson reads up to kLinePadding bytes past what it parses: here, as
    // in readPadded(), the line's break and then blanks.
    const std::size_t parsed = withoutBreaks(line).size();
    if (parsed <= kLongestLine) {
      const std::size_t copied = std::min(line.size(), parsed + kLinePadding);
      std::memcpy(buffer_.get(), line.data(), copied);
      std::memset(buffer_.get() + copied, ' ', kLinePadding);
    }
    return readAt(buffer_.get(), parsed, values, found);
  }

  SourceOutcome readPadded(std::string_view line, std::string_view* values,
                           int* found) override {
    return readAt(line.data(), withoutBreaks(line).size(), values, found);
  }

  std::string_view problem() const override { return problem_; }
  bool decodesValues() const override { return true; }
  bool readsLinesAlone() const override { return true; }
  std::size_t valueBytes() const override { return scratch_.capacity() + kLongestProblem; }

 private:
  /// Longest problem() text: a byte position and simdjson's message.
  static constexpr std::size_t kLongestProblem = 256;

  /// `line` without the line breaks at its end.
  static std::string_view withoutBreaks(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
  }

  /// Reads the `length` bytes at `text`, followed by kLinePadding readable
  /// bytes; positions in messages count from `text`.
  SourceOutcome readAt(const char* text, std::size_t length, std::string_view* values,
                       int* found) {
    *found = 0;
    values_ = values;
    scratch_.clear();
    std::fill(best_.begin(), best_.end(), INT_MAX);
    for (std::size_t p = 0; p < best_.size(); ++p) values[p] = "-";
    if (length > kLongestLine) {
      problem_ = "the line is longer than " + std::to_string(kLongestLine) + " bytes";
      return SourceOutcome::kMalformed;
    }
    start_ = text;
    od::document document;
    error_code error = parser_.iterate(text, length, length + kLinePadding).get(document);
    od::object root;
    if (!error) error = document.get_object().get(root);
    if (error == simdjson::INCORRECT_TYPE) {
      problem_ = "at byte 1: the line is not a JSON object";
      return SourceOutcome::kMalformed;
    }
    if (error) {
      // The line could not be indexed as one JSON value: no place to name.
      describe(error, nullptr);
      return SourceOutcome::kMalformed;
    }
    error = walkObject(root, 0);
    if (error) {
      describe(error, &document);
      return SourceOutcome::kMalformed;
    }
    const char* trailing = nullptr;
    if (!document.current_location().get(trailing)) {
      problem_ = "at byte " + std::to_string(trailing - text + 1) + ": text after the JSON object";
      return SourceOutcome::kMalformed;
    }
    problem_.clear();
    return SourceOutcome::kComplete;
  }

  /// A place in the key paths: the keys and array elements under it, and
  /// the fields whose path ends here.
  struct Node {
    std::vector<std::pair<std::string, int>> keys;
    std::vector<std::pair<int, int>> indexes;
    std::vector<int> fields;
    /// Open-addressing table of `keys` by hashKey(), -1 for a free slot.
    std::vector<int> table;
    /// True when no key holds a backslash: a key of the line found as it
    /// stands then holds no escape either.
    bool plainKeys = true;
  };

  /// A hash of a key: its length and three of its bytes.
  static std::size_t hashKey(std::string_view key) {
    if (key.empty()) return 0;
    const auto byte = [&key](std::size_t i) { return static_cast<unsigned char>(key[i]); };
    return (key.size() * 0x9E3779B1u) ^ (byte(0) << 5) ^ (byte(key.size() / 2) << 11) ^
           (byte(key.size() - 1) << 17);
  }

  /// Fills each node's key table.
  void buildTables() {
    for (Node& node : nodes_) {
      if (node.keys.empty()) continue;
      std::size_t size = 4;
      while (size < 2 * node.keys.size()) size *= 2;
      node.table.assign(size, -1);
      for (std::size_t k = 0; k < node.keys.size(); ++k) {
        if (node.keys[k].first.find('\\') != std::string::npos) node.plainKeys = false;
        std::size_t slot = hashKey(node.keys[k].first) & (size - 1);
        while (node.table[slot] >= 0) slot = (slot + 1) & (size - 1);
        node.table[slot] = static_cast<int>(k);
      }
    }
  }

  /// The node under `node` for `step`, made when it is not there yet.
  int childOf(int node, const JsonStep& step) {
    auto find = [this](auto& children, const auto& name) {
      for (const auto& [existing, child] : children) {
        if (existing == name) return child;
      }
      const int child = static_cast<int>(nodes_.size());
      children.emplace_back(name, child);
      nodes_.emplace_back();  // after the last use of `children`
      return child;
    };
    return step.index >= 0 ? find(nodes_[node].indexes, step.index)
                           : find(nodes_[node].keys, step.key);
  }

  /// The node under `here` for object key `key`, or -1.
  static int keyChild(const Node& here, std::string_view key) {
    if (here.table.empty()) return -1;
    const std::size_t mask = here.table.size() - 1;
    for (std::size_t slot = hashKey(key) & mask;; slot = (slot + 1) & mask) {
      const int k = here.table[slot];
      if (k < 0) return -1;
      const std::string& candidate = here.keys[static_cast<std::size_t>(k)].first;
      if (candidate.size() == key.size() &&
          std::memcmp(candidate.data(), key.data(), key.size()) == 0) {
        return here.keys[static_cast<std::size_t>(k)].second;
      }
    }
  }

  /// The text between a key's quotes as it stands in the line: from just
  /// after its opening quote to the quote before its colon (the field was
  /// read, so only blanks stand between the quote, the colon and the value).
  static std::string_view rawKey(od::field& field) {
    const char* start = field.key().raw();
    const char* end = field.value().raw_json_token().data();
    while (*--end != ':') {
    }
    while (*--end != '"') {
    }
    return std::string_view(start, static_cast<std::size_t>(end - start));
  }

  error_code walkObject(od::object object, int node) {
    const Node& here = nodes_[node];
    for (auto entry : object) {
      od::field field;
      if (error_code error = std::move(entry).get(field)) return error;
      // Most keys are written without escapes: looked up as they stand,
      // and only when that fails (or could mislead) looked for escapes.
      std::string_view key = rawKey(field);
      int child = keyChild(here, key);
      if ((child < 0 || !here.plainKeys) && holds(key, '\\')) {
        if (error_code error = field.unescaped_key().get(key)) return error;
        child = keyChild(here, key);
      }
      if (child < 0) continue;  // skipped when the loop moves on
      if (error_code error = take(field.value(), child)) return error;
    }
    return simdjson::SUCCESS;
  }

  /// Takes the value at `node`: descends into objects and arrays the paths
  /// go on into; a scalar (or an array's first element) is the value of the
  /// fields ending here.
  error_code take(od::value& value, int node) {
    od::json_type type;
    if (error_code error = value.type().get(type)) return error;
    const Node& here = nodes_[node];
    if (type == od::json_type::object) {
      if (here.keys.empty()) return simdjson::SUCCESS;
      od::object object;
      if (error_code error = value.get_object().get(object)) return error;
      return walkObject(object, node);
    }
    if (type == od::json_type::array) {
      if (here.indexes.empty() && here.fields.empty()) return simdjson::SUCCESS;
      od::array array;
      if (error_code error = value.get_array().get(array)) return error;
      int last = here.indexes.empty() ? 0 : here.indexes.back().first;
      int index = 0;
      for (auto element : array) {
        od::value item;
        if (error_code error = element.get(item)) return error;
        int child = -1;
        for (const auto& [i, c] : here.indexes) {
          if (i == index) child = c;
        }
        if (child >= 0) {
          if (error_code error = take(item, child)) return error;
        } else if (index == 0 && !here.fields.empty()) {
          od::json_type itemType;
          if (error_code error = item.type().get(itemType)) return error;
          if (itemType != od::json_type::object && itemType != od::json_type::array) {
            if (error_code error = takeScalar(item, itemType, here)) return error;
          }
        }
        if (++index > last) break;
      }
      return simdjson::SUCCESS;
    }
    return takeScalar(value, type, here);
  }

  error_code takeScalar(od::value& value, od::json_type type, const Node& here) {
    if (here.fields.empty()) return simdjson::SUCCESS;
    std::string_view text;
    switch (type) {
      case od::json_type::string: {
        // Without escapes the value is the text as it stands in the line:
        // the token runs from its quote to the next structural character.
        std::string_view token = value.raw_json_token();
        while (token.size() > 1 && token.back() != '"') token.remove_suffix(1);
        text = token.size() >= 2 ? token.substr(1, token.size() - 2) : std::string_view();
        if (holds(text, '\\')) {
          if (error_code error = value.get_string().get(text)) return error;
          text = withoutControls(text);
        }
        break;
      }
      case od::json_type::number: {
        text = value.raw_json_token();
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' ||
                                 text.back() == '\r' || text.back() == '\n')) {
          text.remove_suffix(1);
        }
        if (!isJsonNumber(text)) return simdjson::NUMBER_ERROR;
        break;
      }
      case od::json_type::boolean: {
        bool flag = false;
        if (error_code error = value.get_bool().get(flag)) return error;
        text = flag ? "true" : "false";
        break;
      }
      case od::json_type::null: {
        bool isNull = false;
        if (error_code error = value.is_null().get(isNull)) return error;
        if (!isNull) return simdjson::N_ATOM_ERROR;
        return simdjson::SUCCESS;  // absent
      }
      default:
        return simdjson::SUCCESS;
    }
    for (int f : here.fields) store(f, text);
    return simdjson::SUCCESS;
  }

  /// Gives field `f`'s position the value `text` unless a key of higher
  /// priority gave it one.
  void store(int f, std::string_view text) {
    const JsonField& field = fields_[f];
    int& best = best_[static_cast<std::size_t>(field.position)];
    if (field.priority >= best) return;
    best = field.priority;
    std::string_view value;
    if (field.conversion == ValueConversion::kTimePattern) {
      TimeParts parts;
      std::size_t end = 0;
      std::int64_t instant = 0;
      char* out = scratch_.room(kConvertedNumberLength);
      value = "-";
      if (out != nullptr && timePatterns_[f].read(text, 0, &end, &parts) && end == text.size() &&
          instantOf(parts, converter_.localInstants(), &instant)) {
        value = instantText(instant, out);
        if (value.data() == out) value = scratch_.keep(value.size());
      }
    } else if (field.conversion == ValueConversion::kNone) {
      value = text;
    } else {
      value = converter_.convert(field.conversion, text, scratch_);
    }
    values_[field.position] = value;
  }

  /// `text` with control characters (which would end a row) written as
  /// \xHH, as nginx writes them.
  std::string_view withoutControls(std::string_view text) {
    std::size_t controls = 0;
    for (char c : text) controls += static_cast<unsigned char>(c) < 0x20;
    if (controls == 0) return text;
    char* to = scratch_.room(text.size() + 3 * controls);
    if (to == nullptr) return "-";
    std::size_t size = 0;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : text) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x20) {
        to[size++] = '\\';
        to[size++] = 'x';
        to[size++] = kHex[u >> 4];
        to[size++] = kHex[u & 15];
      } else {
        to[size++] = c;
      }
    }
    return scratch_.keep(size);
  }

  /// Says what simdjson found wrong, and where when the document (null
  /// when the line could not be indexed at all) knows.
  void describe(error_code error, od::document* document) {
    problem_.clear();
    const char* at = nullptr;
    if (document != nullptr && !document->current_location().get(at) && at >= start_) {
      problem_ = "at byte " + std::to_string(at - start_ + 1) + ": ";
    }
    problem_ += "not valid JSON: ";
    problem_ += simdjson::error_message(error);
  }

  std::vector<JsonField> fields_;
  std::vector<Node> nodes_;
  /// A copy of the line read by read(), with its padding.
  std::unique_ptr<char[]> buffer_;
  /// The first byte of the line being read.
  const char* start_ = nullptr;
  od::parser parser_;
  ValueScratch scratch_;
  ValueConverter converter_;
  std::vector<int> best_;
  std::vector<TimePattern> timePatterns_;
  std::string_view* values_ = nullptr;
  std::string problem_;
};

}  // namespace

bool jsonLinesAvailable() { return true; }

std::unique_ptr<FieldSource> makeJsonSource(const std::vector<JsonField>& fields,
                                            int positions) {
  return std::make_unique<JsonLineSource>(fields, positions);
}
