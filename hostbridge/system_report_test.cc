#include "hostbridge/system_report.h"

#include <gtest/gtest.h>

namespace system_report {
namespace {

Facts windows2000Server() {
  Facts facts;
  facts.processor = {0, 6, 0x0803, 2};
  facts.os.family = OsFamily::kWindowsNt;
  facts.os.major = 5;
  facts.os.minor = 0;
  facts.os.servicePack = "Service Pack 4";
  facts.os.build = 0x0F000893;  // only the low 16 bits (2195) are shown
  facts.os.productType = "ServerNT";
  facts.totalMemoryBytes = 536870912 + 1023;
  return facts;
}

TEST(ProcessorLineTest, FourShapes) {
  EXPECT_EQ("#Processor: Non-Intel 9 6 15363", processorLine({9, 6, 15363, 1}));
  EXPECT_EQ("#Processor: Intel Pentium 5 model 2 stepping c",
            processorLine({0, 5, 0x020C, 1}));
  EXPECT_EQ("#Processor: Intel Pentium II, III or IV 6 model 3a stepping 9",
            processorLine({0, 6, 0x3A09, 1}));
  EXPECT_EQ("#Processor: Unknown Intel 15 402",
            processorLine({0, 15, 0x0402, 1}));
}

TEST(BuildReportTest, Windows2000Server) {
  const Report report = buildReport(windows2000Server());
  EXPECT_EQ("#Harware Infomation", report[0]);
  EXPECT_EQ("#Processor: Intel Pentium II, III or IV 6 model 8 stepping 3",
            report[1]);
  EXPECT_EQ("#Number of Processors: 2", report[2]);
  EXPECT_EQ("#OS Type: Microsoft Windows 2000 Server ", report[3]);
  EXPECT_EQ("#OS Version: 5.0 Service Pack 4 (Build 2195)", report[4]);
  EXPECT_EQ("#Total Physical Memory: 524288 K", report[5]);
}

TEST(BuildReportTest, ProductTypeWordsIgnoreCase) {
  Facts facts = windows2000Server();
  facts.os.major = 4;
  facts.os.productType = "winnt";
  EXPECT_EQ("#OS Type: Microsoft Windows NT Workstation ",
            buildReport(facts)[3]);
  facts.os.productType = "LanmanNT";
  EXPECT_EQ("#OS Type: Microsoft Windows NT ", buildReport(facts)[3]);
  facts.os.productType = "WINNTX";
  EXPECT_EQ("#OS Type: Microsoft Windows NT ", buildReport(facts)[3]);
}

TEST(BuildReportTest, LaterWindowsNamesItsVersion) {
  Facts facts = windows2000Server();
  facts.os.major = 6;
  facts.os.minor = 1;
  facts.os.productType = "WinNT";
  EXPECT_EQ("#OS Type: Microsoft Windows 6.1 Workstation ",
            buildReport(facts)[3]);
}

TEST(BuildReportTest, Windows9xMovesMemoryUp) {
  Facts facts = windows2000Server();
  facts.os.family = OsFamily::kWindows9x;
  const Report report = buildReport(facts);
  EXPECT_EQ("#OS Type: Win98 or Win95", report[3]);
  EXPECT_EQ("#Total Physical Memory: 524288 K", report[4]);
  EXPECT_EQ("#Harware Infomation", report[5]);
}

TEST(BuildReportTest, UnknownSystemLeavesPlaceholders) {
  Facts facts = windows2000Server();
  facts.os.family = OsFamily::kUnknown;
  const Report report = buildReport(facts);
  EXPECT_EQ("#Number of Processors: 2", report[2]);
  EXPECT_EQ("#OS Type: Unknown", report[3]);
  EXPECT_EQ("#Harware Infomation", report[4]);
  EXPECT_EQ("#Harware Infomation", report[5]);
}

TEST(BuildReportTest, PosixSystemUsesTheSameShapes) {
  Facts facts = windows2000Server();
  facts.os = {OsFamily::kPosix, 6, 1, "6.1.0-18-amd64", 0, "", "Linux"};
  const Report report = buildReport(facts);
  EXPECT_EQ("#OS Type: Linux ", report[3]);
  EXPECT_EQ("#OS Version: 6.1 6.1.0-18-amd64 (Build 0)", report[4]);
}

TEST(MemoryLineTest, RoundsDownAndCapsAtThirtyTwoBits) {
  EXPECT_EQ("#Total Physical Memory: 0 K", memoryLine(1023));
  EXPECT_EQ("#Total Physical Memory: 1 K", memoryLine(2047));
  EXPECT_EQ("#Total Physical Memory: 4194303 K", memoryLine(0xFFFFFFFFull));
  EXPECT_EQ("#Total Physical Memory: 2147483647 K",
            memoryLine(0x7FFFFFFFull * 1024 + 1024));
}

TEST(BuildReportTest, OverlongServicePackTextIsCut) {
  Facts facts = windows2000Server();
  facts.os.servicePack = std::string(400, 'x');
  EXPECT_EQ(255u, buildReport(facts)[4].size());
}

}  // namespace
}  // namespace system_report
