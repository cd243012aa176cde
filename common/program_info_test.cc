#include "common/program_info.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/version.h"

namespace {

std::string sampleHelp(const std::string& name) { return "usage: " + name + "\n"; }

/// Runs answerHelpOrVersion on `args` and keeps what it printed.
int answer(std::vector<const char*> args, HelpWriter help, std::string* printed) {
  testing::internal::CaptureStdout();
  int status = answerHelpOrVersion(static_cast<int>(args.size()), args.data(), "zxtool", help);
  *printed = testing::internal::GetCapturedStdout();
  return status;
}

}  // namespace

TEST(ProgramInfoTest, StartedNameDropsTheDirectoryAndExe) {
  EXPECT_EQ(startedName("/usr/bin/zxparse", "parser"), "zxparse");
  EXPECT_EQ(startedName("C:\\zx\\bin\\PARSER.EXE", "x"), "PARSER");
  EXPECT_EQ(startedName("zxsort.exe", "x"), "zxsort");
  EXPECT_EQ(startedName(".exe", "x"), ".exe");
  EXPECT_EQ(startedName("/usr/bin/", "parser"), "parser");
  EXPECT_EQ(startedName(nullptr, "parser"), "parser");
}

TEST(ProgramInfoTest, AnswersOnlyAnOtherwiseEmptyCommandLine) {
  std::string printed;
  EXPECT_EQ(answer({"/opt/zxparse", "--version"}, sampleHelp, &printed), 0);
  EXPECT_EQ(printed, "zxparse (" ACCESSLOG_PACKAGE_NAME ") " ACCESSLOG_VERSION "\n");
  EXPECT_EQ(answer({"zxparse", "--help"}, sampleHelp, &printed), 0);
  EXPECT_EQ(printed, "usage: zxparse\n");
  // Among other arguments the words are the program's to read, as they
  // were before; so is --help where the program answers it itself.
  EXPECT_EQ(answer({"zxparse", "--help", "-l", "x"}, sampleHelp, &printed), -1);
  EXPECT_EQ(answer({"zxparse", "-l", "--version"}, sampleHelp, &printed), -1);
  EXPECT_EQ(answer({"zxload", "--help"}, nullptr, &printed), -1);
  EXPECT_EQ(answer({"zxparse", "-help"}, sampleHelp, &printed), -1);
  EXPECT_EQ(answer({"zxparse"}, sampleHelp, &printed), -1);
  EXPECT_EQ(printed, "");
}
