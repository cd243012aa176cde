#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "hostbridge/host.h"
#include "hostbridge/utf.h"

namespace host {
namespace {

/// Absolute path of the recording child program, from the command line.
std::string childPath;

/// A fresh scratch directory that the test works in.
class HostPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/hostbridge-test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    directory_ = pattern;
    record_ = directory_ + "/record.txt";
  }
  void TearDown() override {
    std::string command = "rm -rf '" + directory_ + "'";
    ASSERT_EQ(0, system(command.c_str()));
  }
  std::string readRecord() const {
    std::ifstream in(record_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string directory_;
  std::string record_;
};

std::u16string u16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

TEST_F(HostPosixTest, ReturnsChildExitCodeAndKeepsEveryArgumentWhole) {
  const std::vector<std::u16string> arguments = {
      u16(childPath), u16(record_), u"7",        u"a b", u"",
      u"q\"x",        u"tr\\",      u"gr\u00fcn"};
  EXPECT_EQ(7, runAndWait(arguments));
  EXPECT_EQ(std::to_string(childPath.size()) + ":" + childPath + "\r\n" +
                std::to_string(record_.size()) + ":" + record_ + "\r\n" +
                "1:7\r\n3:a b\r\n0:\r\n3:q\"x\r\n3:tr\\\r\n5:gr\xc3\xbcn\r\n",
            readRecord());
}

TEST_F(HostPosixTest, ExitCodesAboveOneHundredComeBackUnchanged) {
  EXPECT_EQ(0, runAndWait({u16(childPath), u16(record_), u"0"}));
  EXPECT_EQ(255, runAndWait({u16(childPath), u16(record_), u"255"}));
}

TEST_F(HostPosixTest, ProgramThatCannotStartGivesMinusOne) {
  EXPECT_EQ(-1, runAndWait({u16(directory_ + "/missing")}));
  EXPECT_EQ(-1, runAndWait({u16(directory_)}));  // a directory
  EXPECT_EQ(-1, runAndWait({u""}));
  EXPECT_EQ(-1, runAndWait({}));
}

TEST_F(HostPosixTest, BareNameIsLookedForInCurrentDirectoryOnly) {
  char previous[PATH_MAX];
  ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
  ASSERT_EQ(0, chdir(directory_.c_str()));
  // "true" is on the search path but not here.
  const int fromPath = runAndWait({u"true"});
  ASSERT_EQ(0, symlink(childPath.c_str(), "child"));
  const int fromHere = runAndWait({u"child", u"record.txt", u"3"});
  ASSERT_EQ(0, chdir(previous));
  EXPECT_EQ(-1, fromPath);
  EXPECT_EQ(3, fromHere);
}

TEST_F(HostPosixTest, ChildKilledBySignalReportsShellStyleCode) {
  const std::string script = directory_ + "/killself";
  std::ofstream(script) << "#!/bin/sh\nkill -TERM $$\n";
  ASSERT_EQ(0, chmod(script.c_str(), 0755));
  EXPECT_EQ(128 + 15, runAndWait({u16(script)}));
}

TEST(ListRootsTest, HoldsRootAndNoPseudoFileSystems) {
  const std::vector<std::u16string> roots = listRoots();
  EXPECT_NE(roots.end(), std::find(roots.begin(), roots.end(), u"/"));
  for (const char16_t* pseudo : {u"/proc", u"/sys", u"/dev", u"/dev/pts"}) {
    EXPECT_EQ(roots.end(), std::find(roots.begin(), roots.end(), pseudo));
  }
  std::vector<std::u16string> sorted = roots;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted.end(), std::adjacent_find(sorted.begin(), sorted.end()));
}

TEST(SystemFactsTest, DescribesThisMachine) {
  const system_report::Facts facts = systemFacts();
  EXPECT_EQ(system_report::OsFamily::kPosix, facts.os.family);
  EXPECT_FALSE(facts.os.name.empty());
  EXPECT_EQ(static_cast<std::uint32_t>(sysconf(_SC_NPROCESSORS_ONLN)),
            facts.processor.count);
  EXPECT_EQ(static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)),
            facts.totalMemoryBytes);
}

/// The test account of test_accounts.sh, given through the environment by
/// host_groups_test.sh, which also preloads the PAM and NSS wrappers.
class GroupListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* user = getenv("HOSTBRIDGE_TEST_USER");
    const char* password = getenv("HOSTBRIDGE_TEST_PASSWORD");
    const char* groups = getenv("HOSTBRIDGE_TEST_GROUPS");
    if (user == nullptr || password == nullptr || groups == nullptr) {
      GTEST_SKIP() << "needs the wrapped test accounts (host_groups_test.sh)";
    }
    user_ = utf::toUtf16(user);
    password_ = utf::toUtf16(password);
    std::string list = groups;
    for (std::size_t start = 0, end; start <= list.size(); start = end + 1) {
      end = std::min(list.find(',', start), list.size());
      groups_.push_back(utf::toUtf16(list.substr(start, end - start)));
    }
  }
  std::u16string user_;
  std::u16string password_;
  std::vector<std::u16string> groups_;
};

TEST_F(GroupListTest, RightPasswordListsAllGroupsInOrder) {
  const GroupList answer = groupList(user_, password_, u"DOMAIN");
  EXPECT_EQ(GroupStatus::kGroups, answer.status);
  EXPECT_EQ(groups_, answer.names);
}

TEST_F(GroupListTest, RefusedCredentialsListNothing) {
  using Credentials = std::pair<std::u16string, std::u16string>;
  const std::vector<Credentials> refused = {
      {user_, password_ + u"x"},
      {user_, u""},
      {u"nobody-here", password_},
      {user_, password_.substr(0, password_.size() - 1)}};
  for (const auto& [user, password] : refused) {
    const GroupList answer = groupList(user, password, u"");
    EXPECT_EQ(GroupStatus::kAuthenticationFailed, answer.status);
    EXPECT_TRUE(answer.names.empty());
  }
}

// The virtual machine may ask from several threads at once: every caller
// gets the whole list, none mixed with another's.
TEST_F(GroupListTest, ConcurrentCallsEachGetTheWholeList) {
  std::vector<int> differing(4, 0);
  std::vector<std::thread> threads;
  for (int& count : differing) {
    threads.emplace_back([this, &count] {
      for (int i = 0; i < 100; ++i) {
        const GroupList answer = groupList(user_, password_, u"");
        if (answer.status != GroupStatus::kGroups || answer.names != groups_) {
          ++count;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::vector<int>(4, 0), differing);
}

TEST_F(GroupListTest, AccountMissingFromUserDatabaseFailsTheGroupStep) {
  const GroupList answer = groupList(u"ghost", u"boo", u"");
  EXPECT_EQ(GroupStatus::kGroupsFailed, answer.status);
  EXPECT_TRUE(answer.names.empty());
}

}  // namespace
}  // namespace host

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CHILD-PROGRAM\n", argv[0]);
    return 2;
  }
  char resolved[PATH_MAX];
  if (realpath(argv[1], resolved) == nullptr) return 2;
  host::childPath = resolved;
  return RUN_ALL_TESTS();
}
