#include "parser/server_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/test_files.h"

namespace {

namespace fs = std::filesystem;

TEST(ApacheWordsTest, SplitsAsApacheDoes) {
  std::vector<bool> quoted;
  std::vector<std::string> words =
      apacheWords("  LogFormat \"%h \\\"%r\\\" \\\\ %>s\" 'x y' C:\\\\dir\\n\t", &quoted);
  ASSERT_EQ(words.size(), 4u);
  EXPECT_EQ(words[1], "%h \"%r\" \\ %>s");
  EXPECT_EQ(words[2], "x y");
  EXPECT_EQ(words[3], "C:\\dir\\n");
  EXPECT_EQ(quoted, (std::vector<bool>{false, true, true, false}));
}

TEST(NginxTokensTest, QuotesEscapesCommentsAndBlocks) {
  std::vector<NginxToken> tokens;
  std::string error;
  ASSERT_TRUE(nginxTokens("http { # a comment ' unbalanced\n"
                          "  log_format a '\\'$x\\' \\t' \"\\\"y\\\"\" ${z}w;\n}",
                          &tokens, &error));
  std::vector<std::string> texts;
  for (const NginxToken& token : tokens) texts.push_back(token.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"http", "{", "log_format", "a", "'$x' \t",
                                             "\"y\"", "${z}w", ";", "}"}));
  EXPECT_EQ(tokens[4].quote, '\'');
  EXPECT_EQ(tokens[7].special, ';');
  EXPECT_FALSE(nginxTokens("log_format a 'open;", &tokens, &error));
}

class ConfiguredFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(tempPath("conf"));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "conf.d");
    fs::create_directories(dir_ / "mods");
  }
  void TearDown() override { fs::remove_all(dir_); }

  bool read(ServerKind server, const std::string& file, const char* name) {
    return readConfiguredFormat(server, (dir_ / file).string(), name, &format_, &escapes_,
                                &error_);
  }

  fs::path dir_;
  std::string format_;
  EscapeStyle escapes_ = EscapeStyle::kBackslash;
  std::string error_;
};

TEST_F(ConfiguredFormatTest, ApacheLogFormatThroughIncludes) {
  writeFile(dir_ / "apache2.conf",
            "# LogFormat \"%h\" site\n"
            "LogFormat \"%h %l %u %t \\\"%r\\\" %>s %O\" common\n"
            "<IfModule log_config_module>\n"
            "    logformat \"%v %h \\\n"
            "%>s\" site\n"
            "</IfModule>\n"
            "IncludeOptional mods/*.conf\n"
            "Include conf.d/\n");
  writeFile(dir_ / "mods" / "b.conf", "LogFormat \"%h %D\" site\n");
  writeFile(dir_ / "mods" / "a.load", "LogFormat \"%h never\" site\n");
  writeFile(dir_ / "conf.d" / "z.conf", "LogFormat '%a %>s %b' site\n");
  ASSERT_TRUE(read(ServerKind::kApache, "apache2.conf", "common")) << error_;
  EXPECT_EQ(format_, "%h %l %u %t \"%r\" %>s %O");
  // The last definition wins, as in Apache.
  ASSERT_TRUE(read(ServerKind::kApache, "apache2.conf", "site")) << error_;
  EXPECT_EQ(format_, "%a %>s %b");
  EXPECT_FALSE(read(ServerKind::kApache, "apache2.conf", "vhost"));
  EXPECT_EQ(error_, "no LogFormat named vhost in " + (dir_ / "apache2.conf").string() +
                        " or the files it includes");
  EXPECT_FALSE(read(ServerKind::kApache, "missing.conf", "common"));
  EXPECT_EQ(error_, "cannot read the configuration file " + (dir_ / "missing.conf").string());
}

TEST_F(ConfiguredFormatTest, NginxLogFormatPartsEscapesAndIncludeLoops) {
  writeFile(dir_ / "nginx.conf",
            "events {}\n"
            "http {\n"
            "    #log_format  main  '$remote_addr';\n"
            "    log_format  main  '$remote_addr - $remote_user [$time_local] \"$request\" '\n"
            "                      '$status $body_bytes_sent \"$http_referer\" '\n"
            "                      '\"$http_user_agent\" \"$http_x_forwarded_for\"';\n"
            "    include conf.d/*.conf;\n"
            "}\n");
  writeFile(dir_ / "conf.d" / "json.conf",
            "log_format js escape=json '{\"ip\":\"$remote_addr\"}';\n"
            "log_format raw escape=none \"$request\";\n"
            "log_format main '$remote_addr';\n");
  ASSERT_TRUE(read(ServerKind::kNginx, "nginx.conf", "main")) << error_;
  EXPECT_EQ(format_, "$remote_addr - $remote_user [$time_local] \"$request\" $status "
                     "$body_bytes_sent \"$http_referer\" \"$http_user_agent\" "
                     "\"$http_x_forwarded_for\"");
  ASSERT_TRUE(read(ServerKind::kNginx, "nginx.conf", "js")) << error_;
  EXPECT_EQ(format_, "{\"ip\":\"$remote_addr\"}");
  ASSERT_TRUE(read(ServerKind::kNginx, "nginx.conf", "raw")) << error_;
  EXPECT_EQ(escapes_, EscapeStyle::kNone);

  writeFile(dir_ / "loop.conf", "include loop.conf;\n");
  EXPECT_FALSE(read(ServerKind::kNginx, "loop.conf", "main"));
  EXPECT_NE(error_.find("includes nested too deep"), std::string::npos);
  writeFile(dir_ / "bad.conf", "log_format x escape=yaml '$a';\n");
  EXPECT_FALSE(read(ServerKind::kNginx, "bad.conf", "x"));
  EXPECT_EQ(error_, "log_format x: unknown escape=yaml");
}

}  // namespace
