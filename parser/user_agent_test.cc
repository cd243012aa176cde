#include "parser/user_agent.h"

#include <gtest/gtest.h>

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

}  // namespace
