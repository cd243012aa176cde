#include "parser/run_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/log_format.h"

namespace {

RunOptions parse(std::vector<std::string> args) {
  std::vector<const char*> argv = {"parser"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLineTest, ReadsEveryOption) {
  RunOptions options = parse({"-l", "x.log", "/d", "types.dat", "-b", "oracle",
                              "-t", "squid", "-e", "5", "-a", "cache1"});
  EXPECT_TRUE(options.problem.empty());
  EXPECT_EQ(options.logPath, "x.log");
  EXPECT_EQ(options.dataTypesPath, "types.dat");
  EXPECT_EQ(options.runLogPath, "x.log.out");
  EXPECT_EQ(options.dbKind(), DbKind::Oracle);
  EXPECT_EQ(options.logFormatName, "squid");
  EXPECT_EQ(options.maxErrors, 5);
  EXPECT_EQ(options.applianceName, "cache1");
}

TEST(CommandLineTest, SecondCharacterOnlyAndUnknownArguments) {
  // "-log" is -l; "-x" and plain words are skipped and the word after "-x"
  // is examined on its own.
  RunOptions options = parse({"word", "-x", "-d", "t.dat", "-log", "a.log"});
  EXPECT_TRUE(options.problem.empty());
  EXPECT_EQ(options.logPath, "a.log");
  EXPECT_EQ(options.dataTypesPath, "t.dat");
  // Letters are case-sensitive: -L is not -l.
  EXPECT_FALSE(parse({"-L", "a.log", "-d", "t.dat"}).problem.empty());
}

TEST(CommandLineTest, PlusMeansBlankInPathsOnly) {
  RunOptions options = parse({"-l", "my+access.log", "-d", "c+fg/t.dat", "-o",
                              "run+log.out", "-b", "ms+sql", "-t", "a+b",
                              "-a", "c+d"});
  EXPECT_EQ(options.logPath, "my access.log");
  EXPECT_EQ(options.dataTypesPath, "c fg/t.dat");
  EXPECT_EQ(options.runLogPath, "run log.out");
  EXPECT_EQ(options.dbName, "ms sql");
  EXPECT_EQ(options.logFormatName, "a+b");
  EXPECT_EQ(options.applianceName, "c+d");
  // Values end at the first white space.
  EXPECT_EQ(parse({"-l", "a.log b", "-d", "t"}).logPath, "a.log");
}

TEST(CommandLineTest, RunLogFollowsTheOrderOfOptions) {
  EXPECT_EQ(parse({"-o", "run.out", "-l", "x.log", "-d", "t"}).runLogPath,
            "x.log.out");
  EXPECT_EQ(parse({"-l", "x.log", "-o", "run.out", "-d", "t"}).runLogPath,
            "run.out");
  // A later -l resets it again.
  EXPECT_EQ(parse({"-l", "x.log", "-o", "r", "-l", "y.log", "-d", "t"})
                .runLogPath,
            "y.log.out");
}

TEST(CommandLineTest, MaxErrorsReadAsDecimal) {
  EXPECT_EQ(parse({"-l", "x", "-d", "t"}).maxErrors, 200);
  EXPECT_EQ(parse({"-l", "x", "-d", "t", "-e", "0"}).maxErrors, 0);
  EXPECT_EQ(parse({"-l", "x", "-d", "t", "-e", "12abc"}).maxErrors, 12);
  EXPECT_EQ(parse({"-l", "x", "-d", "t", "-e", "abc"}).maxErrors, 200);
  EXPECT_EQ(parse({"-l", "x", "-d", "t", "-e", "-3"}).maxErrors, -3);
  EXPECT_EQ(parse({"-l", "x", "-d", "t", "-e", "99999999999"}).maxErrors,
            2147483647);
}

TEST(CommandLineTest, UnusableCommandLines) {
  EXPECT_NE(parse({"-d", "t"}).problem.find("-l"), std::string::npos);
  RunOptions noTypes = parse({"-l", "x.log"});
  EXPECT_NE(noTypes.problem.find("-d"), std::string::npos);
  // The run log is known for the message.
  EXPECT_EQ(noTypes.runLogPath, "x.log.out");
  EXPECT_NE(parse({"-l", "x", "-d", "t", "-e"}).problem.find("-e"),
            std::string::npos);
  // 511 characters are accepted, 512 are not.
  std::string edge(kMaxOptionLength, 'a');
  EXPECT_TRUE(parse({"-l", edge, "-d", "t"}).problem.empty());
  EXPECT_FALSE(parse({"-l", edge + "a", "-d", "t"}).problem.empty());
  EXPECT_FALSE(parse({"-l", "x", "-d", "t", "-a", edge + "a"}).problem.empty());
}

TEST(CommandLineTest, LogFormatIsTakenWhole) {
  const std::string format = "apache:%h %l %u %t \"%r\" %>s %b +x";
  RunOptions options = parse({"-l", "x", "-d", "t", "-f", format});
  EXPECT_TRUE(options.problem.empty()) << options.problem;
  EXPECT_EQ(options.logFormat, format);
  EXPECT_NE(parse({"-l", "x", "-d", "t", "-f", "ltsv"}).problem.find("-f takes"),
            std::string::npos);
  EXPECT_EQ(parse({"-l", "x", "-d", "t", "-f", "json", "-t", "squid"}).problem,
            "options -t and -f exclude each other");
  // Definitions may be long: 4,095 characters are accepted, 4,096 are not.
  std::string edge = "nginx:" + std::string(kMaxLogFormatLength - 6, '$');
  EXPECT_EQ(parse({"-l", "x", "-d", "t", "-f", edge}).logFormat.size(), kMaxLogFormatLength);
  EXPECT_FALSE(parse({"-l", "x", "-d", "t", "-f", edge + "a"}).problem.empty());
}

TEST(OutputNamesTest, RawNamesAndBillingByDatabase) {
  RunOptions options = parse({"-l", "x.log", "-d", "types.dat", "-a", "c1"});
  OutputNames names = makeOutputNames(options);
  EXPECT_EQ(names.errorLines, "x.log.err");
  EXPECT_EQ(names.data, "x.log.csv");
  EXPECT_EQ(names.control, "x.log.ctl");
  EXPECT_EQ(names.columnDescription, "x.log.zx3");
  EXPECT_EQ(names.billingControl, "x.log.b.zx3");
  EXPECT_EQ(names.billingSort, "x.log.bsrt");
  EXPECT_EQ(names.dataTable, "raw_c1");
  EXPECT_EQ(names.billingTable, "bill_c1");
  EXPECT_EQ(names.applianceTable, "raw_c1");
  options.dbName = "mssql";
  EXPECT_EQ(makeOutputNames(options).billingControl, "x.log.b.ctl");
  // "Oracle" with a capital O names no known database.
  options.dbName = "Oracle";
  EXPECT_EQ(options.dbKind(), DbKind::None);
  EXPECT_EQ(makeOutputNames(options).billingControl, "x.log.b.zx3");
  options.applianceGiven = false;
  options.applianceName.clear();
  EXPECT_EQ(makeOutputNames(options).applianceTable, "");
}

TEST(OutputNamesTest, DataSetSuffixesAndTables) {
  RunOptions options =
      parse({"-l", "x.log", "-d", "cfg/smartfilter_types.dat", "-a", "c1"});
  OutputNames names = makeOutputNames(options);
  EXPECT_EQ(names.data, "x.log.sf.csv");
  EXPECT_EQ(names.control, "x.log.sf.ctl");
  EXPECT_EQ(names.columnDescription, "x.log.sf.zx3");
  EXPECT_EQ(names.dataTable, "smart_c1");
  EXPECT_EQ(names.applianceTable, "raw_c1");
  EXPECT_EQ(names.billingControl, "x.log.b.zx3");
  options.dataTypesPath = "streaming/smartfilter.dat";
  EXPECT_EQ(options.dataSet(), DataSet::SmartFilter);
  options.dataTypesPath = "cfg/streaming_types.dat";
  names = makeOutputNames(options);
  EXPECT_EQ(names.data, "x.log.st.csv");
  EXPECT_EQ(names.dataTable, "str_c1");
  // The data-set test is case-sensitive.
  options.dataTypesPath = "cfg/SmartFilter.dat";
  EXPECT_EQ(options.dataSet(), DataSet::Raw);
}

TEST(OutputNamesTest, FirstOccurrenceOfTheSuffixIsReplaced) {
  EXPECT_EQ(dataSetName("a.csv.log", ".csv", DataSet::SmartFilter), "a.sf.csv");
  EXPECT_EQ(dataSetName("a.csv.log", ".ctl", DataSet::Streaming),
            "a.csv.log.st.ctl");
  EXPECT_EQ(dataSetName("a.csv.log", ".csv", DataSet::Raw), "a.csv.log.csv");
  EXPECT_EQ(dataSetName("d.zx3/l", ".zx3", DataSet::Streaming), "d.st.zx3");
}

}  // namespace
