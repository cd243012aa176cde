#include "summary/raw_cell.h"

#include "summary/cell_codec.h"

namespace {

/// Reads requests, bytes and the classes into `totals`.
void readTotals(CellReader& in, RawTotals* totals) {
  totals->requests = in.number();
  totals->bytes = in.number();
  for (std::int64_t& c : totals->classes) c = in.number();
}

}  // namespace

bool readRawCell(std::string_view data, RawCellVisitor* visitor) {
  CellReader in(data);
  RawTotals totals;
  totals.rows = static_cast<std::int64_t>(in.count());
  readTotals(in, &totals);
  if (in.failed()) return false;
  visitor->totals(totals);
  for (int kind = 0; kind < 2; ++kind) {
    for (std::uint64_t n = in.entries(3); n > 0 && !in.failed(); --n) {
      std::int64_t code = in.number(), requests = in.number(), bytes = in.number();
      if (in.failed()) break;
      if (kind == 0) visitor->statusCode(code, requests, bytes);
      else visitor->transactionCode(code, requests, bytes);
    }
  }
  std::uint64_t clients = 0;
  // A second reader runs a few values ahead, so that the visitor can start
  // fetching what it will look up.
  constexpr std::uint64_t kAhead = 8;
  for (int d = 0; d < kRawDimensions; ++d) {
    const auto dimension = static_cast<RawDimension>(d);
    std::uint64_t n = in.entries(3);
    if (d == kRawClients) clients = n;
    if (!visitor->wants(dimension)) {
      for (; n > 0 && !in.failed(); --n) {
        in.text();
        in.number();
        in.number();
      }
      continue;
    }
    CellReader ahead = in;
    std::uint64_t left = n;
    auto lookAhead = [&] {
      if (left == 0) return;
      --left;
      std::string_view text = ahead.text();
      ahead.number();
      ahead.number();
      if (!ahead.failed()) visitor->upcomingValue(dimension, text);
    };
    for (std::uint64_t k = 0; k < kAhead; ++k) lookAhead();
    for (; n > 0 && !in.failed(); --n) {
      lookAhead();
      std::string_view text = in.text();
      std::int64_t requests = in.number(), bytes = in.number();
      if (in.failed()) break;
      visitor->value(dimension, text, requests, bytes);
    }
  }
  if (!visitor->wantsHours()) return !in.failed();
  for (std::uint64_t n = in.entries(11); n > 0 && !in.failed(); --n) {
    std::uint64_t hourOfDay = in.count();
    RawTotals hour;
    readTotals(in, &hour);
    if (in.failed() || hourOfDay > 23) return false;
    visitor->hour(static_cast<int>(hourOfDay), hour);
    for (std::uint64_t k = in.entries(1); k > 0 && !in.failed(); --k) {
      std::uint64_t client = in.count();
      if (client >= clients) return false;
      if (!in.failed()) visitor->hourClient(client);
    }
    for (std::uint64_t k = in.entries(9); k > 0 && !in.failed(); --k) {
      double time = in.real();
      std::int64_t lines = in.number();
      if (!in.failed()) visitor->hourTime(time, lines);
    }
  }
  return in.done();
}
