#include "zxreport/html_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "zxreport/escape.h"

namespace {

/// Characters of a value shown in a table cell before it is cut.
constexpr std::size_t kCellChars = 80;
/// Characters of a value in a cell's tooltip.
constexpr std::size_t kTitleChars = 2000;
/// Characters of a label in a chart.
constexpr std::size_t kLabelChars = 24;

constexpr const char* kColours[] = {"#2f6db5", "#e07b39", "#3a9a5b", "#c23b3b", "#8e5fb5",
                                    "#7a7a7a"};

constexpr const char* kStyle = R"(
:root{--ink:#1d2330;--soft:#5b6475;--line:#d9dee7;--card:#fff;--back:#f3f5f9;--accent:#d04a02}
*{box-sizing:border-box}
body{margin:0;background:var(--back);color:var(--ink);font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif}
header{background:#1f3b63;color:#fff;padding:18px 20px 12px}
header h1{margin:0 0 4px;font-size:24px;overflow-wrap:anywhere}
header p{margin:2px 0;color:#d6e0ef;font-size:13px;overflow-wrap:anywhere}
nav{margin-top:10px;display:flex;flex-wrap:wrap;gap:6px}
nav a{color:#fff;background:rgba(255,255,255,.12);padding:3px 9px;border-radius:12px;font-size:13px;text-decoration:none}
main{max-width:1280px;margin:0 auto;padding:12px}
.panel{background:var(--card);border:1px solid var(--line);border-radius:8px;padding:14px 16px;margin:0 0 14px}
.panel h2{margin:0 0 4px;font-size:19px}
.note{margin:0 0 10px;color:var(--soft);font-size:13px}
.empty{font-size:17px;color:var(--accent)}
.charts{display:grid;grid-template-columns:repeat(auto-fit,minmax(400px,1fr));gap:12px 20px;margin-bottom:10px}
figure{margin:0;max-width:720px}
figure.bars{max-width:560px}
figcaption{font-size:13px;color:var(--soft);margin-bottom:2px}
svg{width:100%;height:auto;display:block}
svg text{font-family:inherit;fill:var(--ink)}
svg text.mark{fill:var(--accent)}
.tables{display:flex;flex-wrap:wrap;gap:14px;align-items:flex-start}
.wrap{overflow-x:auto;flex:1 1 420px;max-width:920px}
table{border-collapse:collapse;font-size:13px;width:100%}
caption{text-align:left;font-weight:600;padding:2px 0 4px}
th,td{padding:3px 8px;border-bottom:1px solid var(--line);text-align:left;vertical-align:top}
th{background:#eef1f6;font-weight:600;white-space:nowrap}
td{overflow-wrap:anywhere}
td.n,th.n{text-align:right;white-space:nowrap;font-variant-numeric:tabular-nums}
details summary{cursor:pointer;color:#1f3b63;font-weight:600;font-size:13px;margin:4px 0}
footer{color:var(--soft);font-size:12px;text-align:center;padding:8px 0 18px}
@media (max-width:600px){main{padding:6px}.panel{padding:10px}header h1{font-size:20px}.charts{grid-template-columns:1fr}}
@media print{body{background:#fff}nav{display:none}header{background:#fff;color:#000}header p{color:#333}
.panel{break-inside:avoid;border:none;padding:0}.wrap{overflow:visible}}
)";

/// `text` shown escaped, cut after `maxChars` characters.
std::string shown(std::string_view text, std::size_t maxChars) {
  bool cut;
  return htmlEscape(displayText(text, maxChars, &cut));
}

std::string fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

/// A number for an axis: 1.2k, 3.4M.
std::string compact(double value) {
  const char* units[] = {"", "k", "M", "G", "T", "P"};
  int unit = 0;
  while (std::fabs(value) >= 1000 && unit < 5) value /= 1000, ++unit;
  if (unit > 0) return fixed(value, 1) + units[unit];
  return fixed(value, value == std::floor(value) ? 0 : 2);
}

/// A round number at or above `value` (1, 2 or 5 times a power of ten).
double niceCeiling(double value) {
  if (!(value > 0)) return 1;
  double power = std::pow(10, std::floor(std::log10(value)));
  for (double step : {1.0, 2.0, 5.0, 10.0}) {
    if (step * power >= value) return step * power;
  }
  return 10 * power;
}

/// The colour of series `k` (status classes get their own).
std::string colourOf(const Chart& chart, std::size_t k) {
  const std::string& name = chart.series[k].name;
  if (chart.kind == Chart::Kind::kStacked) {
    if (name == "1xx") return "#9aa5b8";
    if (name == "2xx") return "#3a9a5b";
    if (name == "3xx") return "#2f6db5";
    if (name == "4xx") return "#e0a030";
    if (name == "5xx") return "#c23b3b";
    return "#7a7a7a";
  }
  return kColours[k % 6];
}

/// A value of a series as text for a tooltip.
std::string valueText(double value) {
  if (std::isnan(value)) return "none";
  if (value == std::floor(value) && std::fabs(value) < 9e15) return groupedNumber(static_cast<long long>(value));
  return fixed(value, 3);
}

/// Chart over time: columns, stacked columns or lines.
std::string timeSvg(const Chart& chart) {
  const double width = 520, height = 230, left = 48, right = 8, top = 26, bottom = 32;
  const double plotW = width - left - right, plotH = height - top - bottom;
  const std::size_t n = chart.labels.size();
  double most = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double sum = 0;
    for (const Chart::Series& s : chart.series) {
      double v = i < s.values.size() ? s.values[i] : NAN;
      if (std::isnan(v)) continue;
      if (chart.kind == Chart::Kind::kStacked) sum += v;
      else sum = std::max(sum, v);
    }
    most = std::max(most, sum);
  }
  const double ceiling = niceCeiling(most);
  auto y = [&](double v) { return top + plotH - plotH * v / ceiling; };
  const double step = n > 0 ? plotW / static_cast<double>(n) : plotW;
  std::string svg = "<svg viewBox=\"0 0 " + fixed(width, 0) + " " + fixed(height, 0) +
                    "\" role=\"img\" aria-label=\"" + shown(chart.caption, 200) + "\">";
  for (int g = 0; g <= 2; ++g) {
    double v = ceiling * g / 2, gy = y(v);
    svg += "<line x1=\"" + fixed(left, 0) + "\" x2=\"" + fixed(width - right, 0) + "\" y1=\"" +
           fixed(gy, 1) + "\" y2=\"" + fixed(gy, 1) + "\" stroke=\"#d9dee7\"/>";
    svg += "<text x=\"" + fixed(left - 4, 0) + "\" y=\"" + fixed(gy + 4, 1) +
           "\" font-size=\"13\" text-anchor=\"end\">" + htmlEscape(compact(v)) + "</text>";
  }
  if (chart.kind == Chart::Kind::kLines) {
    for (std::size_t k = 0; k < chart.series.size(); ++k) {
      const Chart::Series& s = chart.series[k];
      std::string points;
      auto flush = [&] {
        if (!points.empty()) {
          svg += "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" + colourOf(chart, k) +
                 "\" points=\"" + points + "\"/>";
        }
        points.clear();
      };
      for (std::size_t i = 0; i < n; ++i) {
        if (std::isnan(s.values[i])) {
          flush();
          continue;
        }
        double x = left + step * (static_cast<double>(i) + 0.5);
        points += fixed(x, 1) + "," + fixed(y(s.values[i]), 1) + " ";
        if (n <= 96) {
          svg += "<circle r=\"2.5\" cx=\"" + fixed(x, 1) + "\" cy=\"" + fixed(y(s.values[i]), 1) +
                 "\" fill=\"" + colourOf(chart, k) + "\"><title>" + shown(chart.labels[i], 60) +
                 " " + shown(s.name, 60) + ": " + valueText(s.values[i]) + "</title></circle>";
        }
      }
      flush();
    }
  } else {
    const double gap = step > 4 ? 1 : 0;
    for (std::size_t i = 0; i < n; ++i) {
      double base = 0;
      for (std::size_t k = 0; k < chart.series.size(); ++k) {
        double v = chart.series[k].values[i];
        if (std::isnan(v) || v <= 0) continue;
        std::string fill = static_cast<int>(i) == chart.marked ? "#d04a02" : colourOf(chart, k);
        double y1 = y(base + v), y0 = y(base);
        svg += "<rect x=\"" + fixed(left + step * static_cast<double>(i), 2) + "\" y=\"" +
               fixed(y1, 2) + "\" width=\"" + fixed(std::max(step - gap, 0.5), 2) + "\" height=\"" +
               fixed(std::max(y0 - y1, 0.5), 2) + "\" fill=\"" + fill + "\"><title>" +
               shown(chart.labels[i], 60) + " " + shown(chart.series[k].name, 60) + ": " +
               valueText(v) + "</title></rect>";
        base += v;
      }
    }
  }
  if (chart.marked >= 0 && static_cast<std::size_t>(chart.marked) < n) {
    double x = left + step * (chart.marked + 0.5);
    double v = chart.series[0].values[chart.marked];
    const char* anchor = x < width * 0.2 ? "start" : x > width * 0.8 ? "end" : "middle";
    svg += "<text x=\"" + fixed(x, 1) + "\" y=\"" + fixed(std::max(y(v) - 5, 11.0), 1) +
           "\" font-size=\"13\" font-weight=\"600\" class=\"mark\" text-anchor=\"" + anchor + "\">" +
           shown(chart.markedNote + " " + chart.labels[chart.marked], 80) + "</text>";
  }
  // Labels of the first, middle and last time.
  if (n > 0) {
    std::size_t picks[] = {0, n / 2, n - 1};
    const char* anchors[] = {"start", "middle", "end"};
    for (int p = 0; p < 3; ++p) {
      if ((p == 1 && (n < 3)) || (p == 2 && n == 1)) continue;
      double x = p == 0 ? left : p == 2 ? width - right : left + step * (picks[1] + 0.5);
      svg += "<text x=\"" + fixed(x, 1) + "\" y=\"" + fixed(height - bottom + 16, 0) +
             "\" font-size=\"13\" text-anchor=\"" + anchors[p] + "\">" +
             shown(chart.labels[picks[p]], 40) + "</text>";
    }
  }
  if (chart.series.size() > 1) {
    double x = left;
    for (std::size_t k = 0; k < chart.series.size(); ++k) {
      svg += "<rect x=\"" + fixed(x, 0) + "\" y=\"6\" width=\"10\" height=\"10\" fill=\"" +
             colourOf(chart, k) + "\"/><text x=\"" + fixed(x + 14, 0) +
             "\" y=\"15\" font-size=\"13\">" + shown(chart.series[k].name, 30) + "</text>";
      x += 24 + 8.0 * static_cast<double>(std::min<std::size_t>(chart.series[k].name.size(), 30));
    }
  }
  return svg + "</svg>";
}

/// Ranked horizontal bars.
std::string barsSvg(const Chart& chart) {
  const double width = 480, row = 22, labelW = 196, valueW = 52;
  const std::size_t n = chart.labels.size();
  const double height = row * static_cast<double>(n) + 6;
  const std::vector<double>& values = chart.series[0].values;
  double most = 0;
  for (double v : values) most = std::max(most, v);
  if (!(most > 0)) most = 1;
  std::string svg = "<svg viewBox=\"0 0 " + fixed(width, 0) + " " + fixed(height, 0) +
                    "\" role=\"img\" aria-label=\"" + shown(chart.caption, 200) + "\">";
  for (std::size_t i = 0; i < n; ++i) {
    double y = 3 + row * static_cast<double>(i);
    double w = (width - labelW - valueW - 8) * values[i] / most;
    svg += "<g><title>" + shown(chart.labels[i], kTitleChars) + ": " + valueText(values[i]) +
           "</title><text x=\"" + fixed(labelW - 4, 0) + "\" y=\"" + fixed(y + 15, 1) +
           "\" font-size=\"12\" text-anchor=\"end\">" + shown(chart.labels[i], kLabelChars) +
           "</text><rect x=\"" + fixed(labelW, 0) + "\" y=\"" + fixed(y + 3, 1) + "\" width=\"" +
           fixed(std::max(w, 1.0), 1) + "\" height=\"" + fixed(row - 6, 0) + "\" fill=\"" +
           kColours[0] + "\"/><text x=\"" + fixed(labelW + std::max(w, 1.0) + 4, 1) + "\" y=\"" +
           fixed(y + 15, 1) + "\" font-size=\"12\">" + htmlEscape(compact(values[i])) +
           "</text></g>";
  }
  return svg + "</svg>";
}

/// A cell as a table element.
std::string cellHtml(const Cell& cell) {
  switch (cell.format) {
    case CellFormat::kText: {
      bool cut;
      std::string text = displayText(cell.text, kCellChars, &cut);
      if (!cut) return "<td>" + htmlEscape(text) + "</td>";
      return "<td title=\"" + shown(cell.text, kTitleChars) + "\">" + htmlEscape(text) + "</td>";
    }
    case CellFormat::kInteger:
      return "<td class=\"n\">" + (cell.empty ? "" : groupedNumber(cell.integer)) + "</td>";
    case CellFormat::kPercent:
      return "<td class=\"n\">" + (cell.empty ? "" : fixed(cell.real, 2)) + "</td>";
    default:
      return "<td class=\"n\">" + (cell.empty ? "" : fixed(cell.real, 3)) + "</td>";
  }
}

/// A table, folded into a details element when it is long.
std::string tableHtml(const Table& table) {
  std::string out = "<div class=\"wrap\">";
  if (table.folded) {
    out += "<details><summary>" + htmlEscape(table.caption) + " (" +
           groupedNumber(static_cast<long long>(table.rows.size())) + " rows)</summary>";
  }
  out += "<table id=\"t-" + htmlEscape(table.id) + "\"><caption>" + htmlEscape(table.caption) +
         "</caption>\r\n<thead><tr>";
  for (std::size_t c = 0; c < table.columns.size(); ++c) {
    bool number = !table.rows.empty() && table.rows[0][c].format != CellFormat::kText;
    out += std::string(number ? "<th class=\"n\"" : "<th") + " data-key=\"" +
           htmlEscape(table.columns[c].key) + "\">" + htmlEscape(table.columns[c].name) + "</th>";
  }
  out += "</tr></thead>\r\n<tbody>";
  for (const std::vector<Cell>& row : table.rows) {
    out += "<tr>";
    for (const Cell& cell : row) out += cellHtml(cell);
    out += "</tr>\r\n";
  }
  out += "</tbody></table>";
  if (table.folded) out += "</details>";
  return out + "</div>\r\n";
}

}  // namespace

std::string groupedNumber(long long value) {
  unsigned long long magnitude =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  std::string digits = std::to_string(magnitude);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return value < 0 ? "-" + out : out;
}

std::string chartSvg(const Chart& chart) {
  return chart.kind == Chart::Kind::kBars ? barsSvg(chart) : timeSvg(chart);
}

std::string reportHtml(const Report& report, const std::string& json) {
  std::string out =
      "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'\">\r\n<title>" +
      shown(report.title, 200) + "</title>\r\n<style>" + kStyle + "</style>\r\n</head>\r\n<body>\r\n";
  out += "<header><h1>" + shown(report.title, 200) + "</h1>\r\n<p>" + shown(report.source, 300) +
         "</p><p>Range: " + shown(report.range, 200) + "</p><p>Made " +
         htmlEscape(report.generatedAt) + "</p>\r\n<nav>";
  for (const Panel& panel : report.panels) {
    out += "<a href=\"#" + htmlEscape(panel.id) + "\">" + htmlEscape(panel.title) + "</a>";
  }
  out += "</nav></header>\r\n<main>\r\n";
  if (!report.emptyNote.empty()) {
    out += "<section class=\"panel\" id=\"empty\"><p class=\"empty\">" + shown(report.emptyNote, 500) +
           "</p></section>\r\n";
  }
  for (const Panel& panel : report.panels) {
    out += "<section class=\"panel\" id=\"" + htmlEscape(panel.id) + "\"><h2>" +
           htmlEscape(panel.title) + "</h2><p class=\"note\">" + htmlEscape(panel.note) + "</p>\r\n";
    if (!panel.charts.empty()) {
      out += "<div class=\"charts\">";
      for (const Chart& chart : panel.charts) {
        out += std::string(chart.kind == Chart::Kind::kBars ? "<figure class=\"bars\">" : "<figure>") +
               "<figcaption>" + htmlEscape(chart.caption) + "</figcaption>" +
               chartSvg(chart) + "</figure>\r\n";
      }
      out += "</div>\r\n";
    }
    out += "<div class=\"tables\">";
    for (const Table& table : panel.tables) out += tableHtml(table);
    out += "</div></section>\r\n";
  }
  out += "</main>\r\n<footer>zxreport</footer>\r\n"
         "<script type=\"application/json\" id=\"zxreport-data\">" + json +
         "</script>\r\n</body>\r\n</html>\r\n";
  return out;
}
