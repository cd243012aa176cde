#include "summary/billing_cell.h"

#include <algorithm>

namespace {

void writeValue(double value, CellWriter* out) {
  std::int64_t thousandths;
  if (asThousandths(value, &thousandths)) {
    out->count(((static_cast<std::uint64_t>(thousandths) << 1) ^
                static_cast<std::uint64_t>(thousandths >> 63)) << 1);
  } else {
    out->count(1);
    out->real(value);
  }
}

double readValue(CellReader& in) {
  std::uint64_t tagged = in.count();
  if (tagged == 1) return in.real();
  std::uint64_t folded = tagged >> 1;
  auto thousandths = static_cast<std::int64_t>(folded >> 1) ^ -static_cast<std::int64_t>(folded & 1);
  return static_cast<double>(thousandths) / 1000;
}

}  // namespace

void BillingFigures::add(const double (&values)[3]) {
  for (int k = 0; k < 3; ++k) {
    minimum[k] = rows == 0 ? values[k] : std::min(minimum[k], values[k]);
    maximum[k] = rows == 0 ? values[k] : std::max(maximum[k], values[k]);
    sum[k].add(values[k]);
  }
  ++rows;
}

void BillingFigures::merge(const BillingFigures& other) {
  if (other.rows == 0) return;
  for (int k = 0; k < 3; ++k) {
    minimum[k] = rows == 0 ? other.minimum[k] : std::min(minimum[k], other.minimum[k]);
    maximum[k] = rows == 0 ? other.maximum[k] : std::max(maximum[k], other.maximum[k]);
    sum[k].merge(other.sum[k]);
  }
  rows += other.rows;
}

void writeBillingFigures(const BillingFigures& figures, CellWriter* out) {
  out->count(static_cast<std::uint64_t>(figures.rows));
  for (int k = 0; k < 3; ++k) {
    if (figures.rows == 1) {
      writeValue(figures.minimum[k], out);
      continue;
    }
    writeValue(figures.minimum[k], out);
    writeValue(figures.maximum[k], out);
    out->number(figures.sum[k].thousandths());
    out->real(figures.sum[k].other());
  }
}

bool readBillingCell(std::string_view data, BillingCellVisitor* visitor) {
  CellReader in(data);
  visitor->rows(static_cast<std::int64_t>(in.count()));
  const std::uint64_t users = in.entries(1);
  // A second reader runs a few keys ahead, so that the visitor can start
  // fetching what it will look up.
  constexpr std::uint64_t kAhead = 8;
  CellReader ahead = in;
  for (std::uint64_t k = 0; k < kAhead && k < users; ++k) visitor->upcomingUser(ahead.text());
  for (std::uint64_t n = users; n > 0 && !in.failed(); --n) {
    if (n > kAhead) {
      std::string_view next = ahead.text();
      if (!ahead.failed()) visitor->upcomingUser(next);
    }
    std::string_view key = in.text();
    if (!in.failed()) visitor->user(key);
  }
  for (std::uint64_t n = in.entries(2); n > 0 && !in.failed(); --n) {
    std::string_view text = in.text();
    if (in.failed()) break;
    visitor->interval(text);
    for (std::uint64_t k = in.entries(5); k > 0 && !in.failed(); --k) {
      std::uint64_t user = in.count();
      BillingFigures figures;
      figures.rows = static_cast<std::int64_t>(in.count());
      for (int m = 0; m < 3; ++m) {
        if (figures.rows == 1) {
          double value = readValue(in);
          figures.minimum[m] = figures.maximum[m] = value;
          figures.sum[m].add(value);
        } else {
          figures.minimum[m] = readValue(in);
          figures.maximum[m] = readValue(in);
          std::int64_t thousandths = in.number();
          figures.sum[m] = ExactSum::of(thousandths, in.real());
        }
      }
      if (in.failed()) break;
      if (user >= users || figures.rows <= 0) return false;
      visitor->pair(user, figures);
    }
  }
  return in.done();
}
