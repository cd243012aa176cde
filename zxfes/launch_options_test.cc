#include "zxfes/launch_options.h"

#include <gtest/gtest.h>

#include <string>

#include "zxfes/sibling_console.h"
#include "zxfes/start_parameters.h"

namespace {

StartFlags startWith(std::initializer_list<const char*> parameters) {
  std::vector<const char*> argv{"Zentrix"};
  argv.insert(argv.end(), parameters);
  return parseStartParameters(argv.size(), argv.data());
}

TEST(StartParametersTest, OnlyOneExactParameterSetsAFlag) {
  EXPECT_TRUE(startWith({"-debug"}).debugMode);
  EXPECT_FALSE(startWith({"-debug"}).interactiveLaunch);
  EXPECT_TRUE(startWith({"-zxfes"}).interactiveLaunch);
  EXPECT_FALSE(startWith({"-zxfes"}).debugMode);
  for (const StartFlags flags : {startWith({}), startWith({"-Debug"}), startWith({"debug"}),
                                 startWith({"-debug", "-zxfes"}), startWith({"-zxfes", "x"})}) {
    EXPECT_FALSE(flags.debugMode);
    EXPECT_FALSE(flags.interactiveLaunch);
  }
  EXPECT_FALSE(parseStartParameters(0, nullptr).debugMode);
}

TEST(LaunchOptionsTest, PlainLaunchInheritsNothingOnTheEmptyDesktop) {
  const LaunchOptions options = chooseLaunchOptions(false, false);
  EXPECT_FALSE(options.inheritHandles);
  EXPECT_STREQ(options.desktop, "");
  EXPECT_EQ(options.title, nullptr);
  EXPECT_STREQ(options.launchFailure, "cannot start ZXFES");
  EXPECT_STREQ(options.stopFailure, "cannot stop ZXFES");
}

TEST(LaunchOptionsTest, EitherFlagGoesToTheInteractiveDesktop) {
  for (const auto& [debug, interactive] : {std::pair{true, false}, {false, true}, {true, true}}) {
    const LaunchOptions options = chooseLaunchOptions(debug, interactive);
    EXPECT_TRUE(options.inheritHandles);
    EXPECT_STREQ(options.desktop, "WinSta0\\Default");
    ASSERT_NE(options.title, nullptr);
    EXPECT_STREQ(options.title, "ZXFES");
  }
  EXPECT_STREQ(chooseLaunchOptions(true, false).launchFailure, "Cannot start Tomcat");
  EXPECT_STREQ(chooseLaunchOptions(true, false).stopFailure, "cannot stop Tomcat");
  EXPECT_STREQ(chooseLaunchOptions(false, true).launchFailure, "cannot start ZXFES");
}

TEST(LaunchOptionsTest, ProgramPathIsQuotedOnlyWithABlank) {
  EXPECT_EQ(serviceBinaryPath("C:\\zx\\zxfes.exe"), "C:\\zx\\zxfes.exe");
  EXPECT_EQ(serviceBinaryPath("C:\\Program Files\\zxfes.exe"),
            "\"C:\\Program Files\\zxfes.exe\"");
  const std::string longest = "C:\\" + std::string(250, 'd') + " x.exe";
  EXPECT_EQ(serviceBinaryPath(longest), "\"" + longest + "\"");
}

// The window lookup itself cannot be shown under Wine without a display;
// the order of the titles and the first-found rule are checked here.
TEST(SiblingConsoleTest, FirstTitleFoundInOrderWins) {
  std::vector<std::string> asked;
  auto finder = [&](const char* present) {
    return [&asked, present](const char* title) -> const char* {
      asked.emplace_back(title);
      return std::string(title) == present || std::string(title) == "Network - Dravock"
                 ? title
                 : nullptr;
    };
  };
  EXPECT_STREQ(findFirstSiblingWindow(finder("Users - Dravock")), "Users - Dravock");
  EXPECT_EQ(asked, (std::vector<std::string>{"Dravock V2.0", "Jobs - Dravock",
                                             "Users - Dravock"}));
  asked.clear();
  EXPECT_STREQ(findFirstSiblingWindow(finder("none")), "Network - Dravock");
  EXPECT_EQ(asked.size(), 7u);
  asked.clear();
  EXPECT_EQ(findFirstSiblingWindow([&](const char* title) -> const char* {
              asked.emplace_back(title);
              return nullptr;
            }),
            nullptr);
  EXPECT_EQ(asked.back(), "Network - Dravock");
}

}  // namespace
