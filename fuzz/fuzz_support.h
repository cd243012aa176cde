#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

/// Helpers shared by the fuzz targets: a scratch directory of this process,
/// files written from the input, and the input cut into parts.
namespace fuzz {

/// The directory FUZZ_SCRATCH names, else one under /tmp for this process;
/// made on first use.
inline const std::string& scratchDir() {
  static const std::string dir = [] {
    const char* given = std::getenv("FUZZ_SCRATCH");
    std::string path = given != nullptr && *given != '\0'
                           ? std::string(given)
                           : "/tmp/fuzz_scratch." + std::to_string(::getpid());
    std::filesystem::create_directories(path);
    return path;
  }();
  return dir;
}

/// `name` inside the scratch directory.
inline std::string scratchPath(std::string_view name) {
  return scratchDir() + "/" + std::string(name);
}

/// Replaces the file at `path` with `bytes`; aborts when it cannot.
inline void writeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

/// The whole file at `path`; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::string text;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return text;
  char block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
  std::fclose(file);
  return text;
}

/// A file of the source tree (the bundled configuration).
inline std::string sourceFile(std::string_view relative) {
  return readFile(std::string(FUZZ_SOURCE_DIR) + "/" + std::string(relative));
}

/// The input as text.
inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

/// Takes the first byte of `input` as a selector (0 for an empty input).
inline unsigned takeSelector(std::string_view* input) {
  if (input->empty()) return 0;
  unsigned selector = static_cast<unsigned char>((*input)[0]);
  input->remove_prefix(1);
  return selector;
}

/// Separator between the parts of an input made of several files.
inline constexpr std::string_view kPartBreak = "\n@@@\n";

/// `input` cut at kPartBreak into exactly `count` parts (missing parts are
/// empty, the last part keeps any further breaks).
inline std::vector<std::string_view> splitParts(std::string_view input,
                                                std::size_t count) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    std::size_t at = input.find(kPartBreak);
    if (at == std::string_view::npos) break;
    parts.push_back(input.substr(0, at));
    input.remove_prefix(at + kPartBreak.size());
  }
  parts.push_back(input);
  parts.resize(count);
  return parts;
}

/// Stops the process as a finding when `condition` is false.
inline void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

/// Checks a finished data row: its line end, one value per declared column
/// (when any is declared), no line break inside.
inline void requireRow(std::string_view row, std::size_t declared) {
  require(row.ends_with("\r\n"), "row without its line end");
  std::size_t commas = 0;
  for (char c : row) commas += c == ',';
  require(declared == 0 || commas + 1 == declared,
          "row with a value count other than the declared columns");
  require(row.find('\n') == row.size() - 1, "line break inside a row");
}

}  // namespace fuzz

#endif  // FUZZ_FUZZ_SUPPORT_H_
