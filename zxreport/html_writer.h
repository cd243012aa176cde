#ifndef ZXREPORT_HTML_WRITER_H_
#define ZXREPORT_HTML_WRITER_H_

#include <string>

#include "zxreport/report_model.h"

/// The whole report as one self-contained HTML page: styles inside, charts
/// as inline SVG, no script that runs and nothing fetched (a content
/// security policy forbids both); `json` is embedded as data. Every value
/// is escaped where it lands. Line breaks are CR LF.
std::string reportHtml(const Report& report, const std::string& json);

/// One chart as an inline SVG element.
std::string chartSvg(const Chart& chart);

/// A whole number with thousands separated by commas.
std::string groupedNumber(long long value);

#endif  // ZXREPORT_HTML_WRITER_H_
