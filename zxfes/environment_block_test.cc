#include "zxfes/environment_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Splits a block into its entries the way the system reads it: entries
// end with a zero byte and an empty entry ends the block.
std::vector<std::string> entriesOf(const std::string& block) {
  std::vector<std::string> entries;
  for (const char* entry = block.c_str(); *entry != '\0'; entry += std::string(entry).size() + 1) {
    entries.emplace_back(entry);
  }
  return entries;
}

TEST(EnvironmentBlockTest, HoldsExactlyClassPathAndSystemRoot) {
  const std::string block =
      buildEnvironmentBlock("CLASSPATH=C:\\zx\\a.jar;C:\\zx\\b.jar", "C:\\windows");
  using namespace std::string_literals;
  EXPECT_EQ(block, "CLASSPATH=C:\\zx\\a.jar;C:\\zx\\b.jar\0SystemRoot=C:\\windows\0\0"s);
  EXPECT_EQ(entriesOf(block),
            (std::vector<std::string>{"CLASSPATH=C:\\zx\\a.jar;C:\\zx\\b.jar",
                                      "SystemRoot=C:\\windows"}));
  EXPECT_EQ(firstEnvironmentEntry(block), "CLASSPATH=C:\\zx\\a.jar;C:\\zx\\b.jar");
}

TEST(EnvironmentBlockTest, EmptyClassPathDoesNotEndTheBlockEarly) {
  const std::string block = buildEnvironmentBlock("", "C:\\windows");
  EXPECT_EQ(entriesOf(block), (std::vector<std::string>{"SystemRoot=C:\\windows"}));
  EXPECT_EQ(firstEnvironmentEntry(block), "SystemRoot=C:\\windows");
}

TEST(EnvironmentBlockTest, LongestLinesAreKeptWhole) {
  const std::string classPath = "CLASSPATH=" + std::string(5987, 'j');
  const std::string windows(260, 'w');
  const std::string block = buildEnvironmentBlock(classPath, windows);
  ASSERT_EQ(block.size(), classPath.size() + 1 + 11 + windows.size() + 2);
  EXPECT_EQ(entriesOf(block), (std::vector<std::string>{classPath, "SystemRoot=" + windows}));
}

}  // namespace
