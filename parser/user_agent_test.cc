#include "parser/user_agent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(BrowserAndOsTest, BrowserTokensLaterWins) {
  EXPECT_EQ(browserAndOs("Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 5.0)").browser,
            "MSIE");
  EXPECT_EQ(browserAndOs("Mozilla/5.0 Netscape/7.1").browser, "Netscape");
  EXPECT_EQ(browserAndOs("MSIE Netscape").browser, "Netscape");
  EXPECT_EQ(browserAndOs("Netscape MSIE").browser, "Netscape");
  EXPECT_EQ(browserAndOs("Wget/1.21").browser, "");
}

TEST(BrowserAndOsTest, OsClassFromTheTextAfterEachToken) {
  EXPECT_EQ(browserAndOs("Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 5.0)").os,
            "WinNT");
  EXPECT_EQ(browserAndOs("Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)").os, "Win98");
  EXPECT_EQ(browserAndOs("Mozilla/4.7 [en] (Win95; I)").os, "Win95");
  EXPECT_EQ(browserAndOs("Mozilla/5.0 (X11; Linux i686)").os, "Linux");
  EXPECT_EQ(browserAndOs("Mozilla/4.0 (compatible; MSIE 5.0; Macintosh; PPC)").os,
            "Macintosh");
  EXPECT_EQ(browserAndOs("Mozilla/4.0 (compatible; Win32)").os, "Win32");
  EXPECT_EQ(browserAndOs("Wget/1.21").os, "");
  // The class table is tried on the tail in its own order: "95" beats "NT".
  EXPECT_EQ(browserAndOs("Windows NT; build 95").os, "Win95");
  // Tokens are taken in list order, each classified by its own tail: the
  // later token "Macintosh" replaces the class of "Linux" ...
  EXPECT_EQ(browserAndOs("Linux Macintosh").os, "Macintosh");
  // ... unless its tail still holds "Linux", which the table tries first.
  EXPECT_EQ(browserAndOs("Macintosh Linux").os, "Linux");
}

// The remembered answers equal the searched ones: agents that share
// prefixes, differ only in length or in their last byte, the empty agent,
// agents past the longest kept, and more agents than slots, so that slots
// are taken over and asked again.
TEST(UserAgentCacheTest, AnswersAsTheSearchDoes) {
  std::vector<std::string> agents = {"", "MSIE", "MSIE ", "Linux", "Linux Macintosh",
                                     "Macintosh Linux", "Windows NT; build 95"};
  for (int n = 0; n < 3000; ++n) {
    std::string agent = "Mozilla/4.0 (compatible; MSIE 5.5; ";
    agent += n % 3 == 0 ? "Windows 98" : n % 3 == 1 ? "WinNT" : "X11; Linux";
    agent += ") build " + std::to_string(n);
    agents.push_back(agent);
  }
  std::string longest(UserAgentCache::kLongestKept, 'x');
  agents.push_back(longest + "Win95");
  agents.push_back(longest.substr(1) + "Win95");
  agents.push_back(longest.substr(5) + "Linux");
  UserAgentCache cache;
  for (int round = 0; round < 2; ++round) {
    for (const std::string& agent : agents) {
      const BrowserAndOs searched = browserAndOs(agent);
      for (int ask = 0; ask < 2; ++ask) {
        const BrowserAndOs remembered = cache.lookup(agent);
        ASSERT_EQ(remembered.browser, searched.browser) << agent;
        ASSERT_EQ(remembered.os, searched.os) << agent;
      }
    }
  }
}

}  // namespace
