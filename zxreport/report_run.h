#ifndef ZXREPORT_REPORT_RUN_H_
#define ZXREPORT_REPORT_RUN_H_

#include <cstdint>
#include <map>
#include <string>

/// Runs zxreport with its command line; returns the exit status.
int runReport(int argc, char** argv);

/// Reads the transaction codes section of an identifier file ("name@number"
/// lines after "[START TRANSACTION CODES]"); false with `error` set.
bool readTransactionNames(const std::string& path, std::map<std::int64_t, std::string>* names,
                          std::string* error);

#endif  // ZXREPORT_REPORT_RUN_H_
