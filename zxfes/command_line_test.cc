#include "zxfes/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CommandAction choose(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "zxfes.exe");
  return chooseCommandAction(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLineTest, SingleArgumentsChooseTheirOperationOrNothing) {
  EXPECT_EQ(choose({"-r"}), CommandAction::kRemove);
  EXPECT_EQ(choose({"-shutdown"}), CommandAction::kStopAndRemove);
  EXPECT_EQ(choose({"-i"}), CommandAction::kNothing);
  EXPECT_EQ(choose({"-R"}), CommandAction::kNothing);
  EXPECT_EQ(choose({"-Shutdown"}), CommandAction::kNothing);
  EXPECT_EQ(choose({"-shutdown "}), CommandAction::kNothing);
  EXPECT_EQ(choose({""}), CommandAction::kNothing);
}

TEST(CommandLineTest, InstallNeedsExactlyOneMoreArgument) {
  EXPECT_EQ(choose({"-i", "x"}), CommandAction::kInstall);
  EXPECT_EQ(choose({"-i", ""}), CommandAction::kInstall);
  EXPECT_EQ(choose({"-i", "x", "y"}), CommandAction::kRunAsService);
  EXPECT_EQ(choose({"x", "-i"}), CommandAction::kRunAsService);
  EXPECT_EQ(choose({"/i", "x"}), CommandAction::kRunAsService);
}

TEST(CommandLineTest, NoArgumentsOrSeveralOthersRunTheService) {
  EXPECT_EQ(choose({}), CommandAction::kRunAsService);
  EXPECT_EQ(choose({"-r", "-r"}), CommandAction::kRunAsService);
  EXPECT_EQ(choose({"a", "b", "c"}), CommandAction::kRunAsService);
}

}  // namespace
