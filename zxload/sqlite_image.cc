#include "zxload/sqlite_image.h"

#include <sqlite3.h>

#include <cstring>

#include "zxload/sqlite_record.h"

namespace {

constexpr std::size_t kUsable = SqliteImage::kPageSize;  // no reserved bytes
constexpr std::size_t kLeafHeader = 8;
constexpr std::size_t kInteriorHeader = 12;
constexpr std::size_t kFileHeader = 100;
constexpr unsigned char kTableLeaf = 0x0d;
constexpr unsigned char kTableInterior = 0x05;

/// Writes `value` big-endian in `bytes` bytes at `out`.
void putBig(unsigned char* out, std::uint64_t value, std::size_t bytes) {
  for (std::size_t i = bytes; i > 0; --i) {
    out[i - 1] = static_cast<unsigned char>(value);
    value >>= 8;
  }
}

/// Bytes of a payload of `size` kept on a table leaf page; the rest goes
/// to overflow pages.
std::size_t localPayload(std::size_t size) {
  const std::size_t most = kUsable - 35;
  if (size <= most) return size;
  const std::size_t least = (kUsable - 12) * 32 / 255 - 23;
  std::size_t local = least + (size - least) % (kUsable - 4);
  return local <= most ? local : least;
}

/// Writes a b-tree page header at `page`: type, cells, start of content.
void putPageHeader(unsigned char* page, unsigned char type, std::size_t cells,
                   std::size_t content) {
  page[0] = type;
  putBig(page + 1, 0, 2);  // no free blocks
  putBig(page + 3, cells, 2);
  putBig(page + 5, content == 65536 ? 0 : content, 2);
  page[7] = 0;  // no fragmented bytes
}

/// The record of the schema table's row of the table.
std::string_view schemaRecord(SqliteRecord* record, std::uint32_t root, const std::string& sql) {
  record->clear(5, 15 + 8 + sql.size());
  record->addText("table");
  record->addText("stage");
  record->addText("stage");
  record->addInteger(root);
  record->addText(sql);
  return record->finish();
}

}  // namespace

SqliteImage::SqliteImage(std::string createSql, std::size_t capacity)
    : createSql_(std::move(createSql)),
      bytes_(new unsigned char[capacity]),
      capacity_(capacity) {
  SqliteRecord record;
  std::size_t size = schemaRecord(&record, 0xffffffffu, createSql_).size();
  usable_ = kFileHeader + kLeafHeader + 2 + 9 + 1 + size <= kUsable && size <= kUsable - 35;
  reset();
}

void SqliteImage::reset() {
  size_ = 0;
  rows_ = 0;
  leaf_ = 0;
  leaves_.clear();
  finished_ = false;
  newPage();  // page 1, written last
}

std::uint32_t SqliteImage::newPage() {
  if (size_ + kPageSize > capacity_) {
    std::size_t capacity = 2 * (size_ + kPageSize);
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[capacity]);
    std::memcpy(bytes.get(), bytes_.get(), size_);
    bytes_ = std::move(bytes);
    capacity_ = capacity;
  }
  size_ += kPageSize;
  return static_cast<std::uint32_t>(size_ / kPageSize);
}

void SqliteImage::closeLeaf() {
  if (leaf_ == 0) return;
  unsigned char* page = bytes_.get() + offsetOf(leaf_);
  putPageHeader(page, kTableLeaf, leafCells_, leafContent_);
  std::size_t gap = kLeafHeader + 2 * leafCells_;
  std::memset(page + gap, 0, leafContent_ - gap);
  leaves_.emplace_back(leaf_, rows_);
  leaf_ = 0;
}

std::uint32_t SqliteImage::writeOverflow(std::string_view rest) {
  const std::size_t room = kPageSize - 4;
  std::uint32_t first = 0, previous = 0;
  while (!rest.empty()) {
    std::uint32_t page = newPage();
    if (previous != 0) putBig(bytes_.get() + offsetOf(previous), page, 4);
    if (first == 0) first = page;
    std::size_t chunk = rest.size() < room ? rest.size() : room;
    unsigned char* at = bytes_.get() + offsetOf(page);
    putBig(at, 0, 4);
    std::memcpy(at + 4, rest.data(), chunk);
    std::memset(at + 4 + chunk, 0, room - chunk);
    rest.remove_prefix(chunk);
    previous = page;
  }
  return first;
}

void SqliteImage::append(std::string_view record) {
  const std::uint64_t rowid = rows_ + 1;
  const std::size_t local = localPayload(record.size());
  const bool overflows = local < record.size();
  const std::size_t cell = sqliteVarintLength(record.size()) + sqliteVarintLength(rowid) + local +
                           (overflows ? 4 : 0);
  if (leaf_ != 0 && kLeafHeader + 2 * (leafCells_ + 1) + cell > leafContent_) closeLeaf();
  std::uint32_t overflow = overflows ? writeOverflow(record.substr(local)) : 0;
  if (leaf_ == 0) {
    leaf_ = newPage();
    leafCells_ = 0;
    leafContent_ = kPageSize;
  }
  rows_ = rowid;
  unsigned char* page = bytes_.get() + offsetOf(leaf_);
  leafContent_ -= cell;
  unsigned char* at = page + leafContent_;
  at += putSqliteVarint(at, record.size());
  at += putSqliteVarint(at, rowid);
  std::memcpy(at, record.data(), local);
  if (overflows) putBig(at + local, overflow, 4);
  putBig(page + kLeafHeader + 2 * leafCells_, leafContent_, 2);
  ++leafCells_;
}

std::vector<std::pair<std::uint32_t, std::uint64_t>> SqliteImage::interiorLevel(
    const std::vector<std::pair<std::uint32_t, std::uint64_t>>& children) {
  // Each cell: a pointer, a child's page number, its largest rowid.
  const std::size_t perPage = (kPageSize - kInteriorHeader) / (2 + 4 + 9) + 1;
  std::vector<std::pair<std::uint32_t, std::uint64_t>> level;
  for (std::size_t first = 0; first < children.size(); first += perPage) {
    std::size_t last = first + perPage < children.size() ? first + perPage : children.size();
    std::uint32_t number = newPage();
    unsigned char* page = bytes_.get() + offsetOf(number);
    std::memset(page, 0, kPageSize);
    std::size_t content = kPageSize, cells = 0;
    for (std::size_t k = first; k + 1 < last; ++k, ++cells) {
      std::size_t size = 4 + sqliteVarintLength(children[k].second);
      content -= size;
      putBig(page + content, children[k].first, 4);
      putSqliteVarint(page + content + 4, children[k].second);
      putBig(page + kInteriorHeader + 2 * cells, content, 2);
    }
    putPageHeader(page, kTableInterior, cells, content);
    putBig(page + 8, children[last - 1].first, 4);  // right-most child
    level.emplace_back(number, children[last - 1].second);
  }
  return level;
}

void SqliteImage::writeFirstPage(std::uint32_t root) {
  unsigned char* page = bytes_.get();
  std::memset(page, 0, kPageSize);
  std::memcpy(page, "SQLite format 3", 16);
  putBig(page + 16, kPageSize == 65536 ? 1 : kPageSize, 2);
  page[18] = 1;  // rollback journal
  page[19] = 1;
  page[21] = 64;  // payload fractions, fixed by the format
  page[22] = 32;
  page[23] = 32;
  putBig(page + 24, 1, 4);  // change counter
  putBig(page + 28, size_ / kPageSize, 4);
  putBig(page + 40, 1, 4);  // schema cookie
  putBig(page + 44, 4, 4);  // schema format
  putBig(page + 56, 1, 4);  // UTF-8
  putBig(page + 92, 1, 4);  // the page count above is valid for change 1
  putBig(page + 96, SQLITE_VERSION_NUMBER, 4);
  SqliteRecord record;
  std::string_view schema = schemaRecord(&record, root, createSql_);
  std::size_t cell = sqliteVarintLength(schema.size()) + 1 + schema.size();
  std::size_t content = kPageSize - cell;
  unsigned char* at = page + content;
  at += putSqliteVarint(at, schema.size());
  *at++ = 1;  // rowid
  std::memcpy(at, schema.data(), schema.size());
  putPageHeader(page + kFileHeader, kTableLeaf, 1, content);
  putBig(page + kFileHeader + kLeafHeader, content, 2);
}

std::pair<unsigned char*, std::size_t> SqliteImage::finish() {
  if (finished_) return {bytes_.get(), size_};
  finished_ = true;
  closeLeaf();
  std::vector<std::pair<std::uint32_t, std::uint64_t>> level = leaves_;
  if (level.empty()) {  // no rows: an empty leaf is the root
    std::uint32_t page = newPage();
    std::memset(bytes_.get() + offsetOf(page), 0, kPageSize);
    putPageHeader(bytes_.get() + offsetOf(page), kTableLeaf, 0, kPageSize);
    level.emplace_back(page, 0);
  }
  while (level.size() > 1) level = interiorLevel(level);
  writeFirstPage(level.front().first);
  return {bytes_.get(), size_};
}
