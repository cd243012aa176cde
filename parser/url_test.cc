#include "parser/url.h"

#include <gtest/gtest.h>

namespace {

TEST(UrlSiteTest, SiteWithoutPortAndHostedSite) {
  UrlSite site = urlSite("http://www.example.net:8080/dir/page.html");
  EXPECT_EQ(site.site, "www.example.net");
  EXPECT_EQ(site.hostedSite, "");
  site = urlSite("http://proxy.local/www.shop.com/cart/item");
  EXPECT_EQ(site.site, "proxy.local");
  EXPECT_EQ(site.hostedSite, "www.shop.com");
  // No path after the host, or no "//": nothing at all.
  site = urlSite("http://www.example.com");
  EXPECT_EQ(site.site, "");
  EXPECT_EQ(site.hostedSite, "");
  site = urlSite("/local/path.html");
  EXPECT_EQ(site.site, "");
  EXPECT_EQ(site.hostedSite, "");
  site = urlSite("http:///p");
  EXPECT_EQ(site.site, "");
}

TEST(HostedSiteOfTest, SuffixOrderAndSegmentRule) {
  EXPECT_EQ(hostedSiteOf("/a.com/b"), "a.com");
  EXPECT_EQ(hostedSiteOf("/x/b.company/c"), "b.company");
  // ".com" is tried first and ends the search even without a following '/'.
  EXPECT_EQ(hostedSiteOf("/a.org/b.com"), "");
  // ".net" before ".org", whatever comes first in the path.
  EXPECT_EQ(hostedSiteOf("/a.org/b.net/c"), "b.net");
  EXPECT_EQ(hostedSiteOf("/page.html"), "");
  EXPECT_EQ(hostedSiteOf("/a.gov/"), "a.gov");
  EXPECT_EQ(hostedSiteOf("/a.edu.com/x"), "a.edu.com");
}

TEST(FileTypeOfTest, ExtensionOfTheLastSegment) {
  EXPECT_EQ(fileTypeOf("http://h/a/b.GIF").view(), "gif");
  EXPECT_EQ(fileTypeOf("http://h/a/b.html").view(), "html");
  EXPECT_EQ(fileTypeOf("http://h/a.d/b").view(), "-");
  EXPECT_EQ(fileTypeOf("http://h/a/b.123").view(), "-");
  EXPECT_EQ(fileTypeOf("http://h/a/b.abcdef").view(), "-");
  EXPECT_EQ(fileTypeOf("http://h/a/b.abcde").view(), "abcde");
  EXPECT_EQ(fileTypeOf("http://h/a/b.0").view(), "-");
  EXPECT_EQ(fileTypeOf("http://h/a/b.0a").view(), "0a");
  EXPECT_EQ(fileTypeOf("http://h/a/b.7z").view(), "-");
  EXPECT_EQ(fileTypeOf("http://h/a/b.mp3").view(), "mp3");
  EXPECT_EQ(fileTypeOf("http://h/a/b.").view(), "");
  EXPECT_EQ(fileTypeOf("b.gif").view(), "-");
}

}  // namespace
