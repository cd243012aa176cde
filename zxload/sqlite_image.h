#ifndef ZXLOAD_SQLITE_IMAGE_H_
#define ZXLOAD_SQLITE_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// The image of an SQLite database file, built in memory, that holds one
/// table named "stage" whose rows are SQLite records (see SqliteRecord).
/// Given to sqlite3_deserialize as an attached database, it lets SQLite
/// copy the rows into a table of the same column affinities record by
/// record, without taking each value apart and binding it.
class SqliteImage {
 public:
  /// Page size of the image.
  static constexpr std::size_t kPageSize = 65536;

  /// An empty image of the table that `createSql` makes ("CREATE TABLE
  /// stage (...)"), with room for `capacity` bytes before it must grow.
  explicit SqliteImage(std::string createSql, std::size_t capacity = kPageSize * 4);
  /// False when the table's definition does not fit the first page.
  bool usable() const { return usable_; }
  /// Appends a row (a whole record); its rowid is the number of rows.
  void append(std::string_view record);
  /// Rows appended since the last reset.
  std::uint64_t rows() const { return rows_; }
  /// Bytes of the pages written so far.
  std::size_t size() const { return size_; }
  /// Completes the image (interior pages, first page) and returns it,
  /// valid until `reset`, which must come before the next append; once
  /// complete, it is returned as it is.
  std::pair<unsigned char*, std::size_t> finish();
  /// Empties the image, keeping its memory.
  void reset();

 private:
  /// Adds a page (its bytes as they were); returns its number (from 1).
  std::uint32_t newPage();
  /// Byte offset of page `page`.
  static std::size_t offsetOf(std::uint32_t page) { return (page - 1) * kPageSize; }
  /// Ends the leaf being filled.
  void closeLeaf();
  /// Writes the overflow pages of `rest`; returns the first one's number.
  std::uint32_t writeOverflow(std::string_view rest);
  /// Writes the interior pages above `children` (page, largest rowid);
  /// returns the pages of the level above.
  std::vector<std::pair<std::uint32_t, std::uint64_t>> interiorLevel(
      const std::vector<std::pair<std::uint32_t, std::uint64_t>>& children);
  /// Writes the header and the schema table on page 1, root at `root`.
  void writeFirstPage(std::uint32_t root);

  std::string createSql_;
  bool usable_ = true;
  std::unique_ptr<unsigned char[]> bytes_;  // not cleared: pages are
  std::size_t size_ = 0;                    // written whole, gaps zeroed
  std::size_t capacity_ = 0;
  std::uint64_t rows_ = 0;
  bool finished_ = false;
  std::uint32_t leaf_ = 0;         // leaf being filled, 0 when none
  std::size_t leafCells_ = 0;
  std::size_t leafContent_ = 0;    // start of its cell content
  std::vector<std::pair<std::uint32_t, std::uint64_t>> leaves_;  // page, last rowid
};

#endif  // ZXLOAD_SQLITE_IMAGE_H_
