// Loads HostBridge.dll the way the virtual machine does (LoadLibrary, then
// GetProcAddress of the decorated stdcall names on 32-bit, of the plain
// names on 64-bit), and calls the methods through typed JNICALL pointers
// with a JNI environment of its own.
// Usage: hostbridge_dll_test HOSTBRIDGE-DLL CHILD-PROGRAM

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <utility>
#include <string>

#include "hostbridge/fake_jni-win32.h"
#include "hostbridge/utf.h"

namespace {

namespace fs = std::filesystem;

fs::path dllPath;
fs::path childPath;
HMODULE library = nullptr;

#define BRIDGE_PLAIN(name) "Java_com_vantal_zentrix_util_beans_HostBridge_" name
#define BRIDGE_DECORATED(name, bytes) "_" BRIDGE_PLAIN(name) "@" #bytes
#ifdef _WIN64
#define BRIDGE(name, bytes) BRIDGE_PLAIN(name)
#else
#define BRIDGE(name, bytes) BRIDGE_DECORATED(name, bytes)
#endif

using GetGroupListFunction = jobjectArray(JNICALL*)(JNIEnv*, jobject, jint,
                                                    jstring, jstring, jstring);
using ListRootsFunction = jobject(JNICALL*)(JNIEnv*, jobject);
using ExecBcpFunction = jint(JNICALL*)(JNIEnv*, jobject, jobjectArray);
using SystemInfoFunction = jobjectArray(JNICALL*)(JNIEnv*, jobject);

template <typename Function>
Function resolve(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(library, name)));
}

std::u16string u16(const fs::path& path) {
  const std::wstring text = path.wstring();
  return std::u16string(text.begin(), text.end());
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

/// Sends standard output and standard error to files while it lives; the
/// library shares the C runtime, so its console lines land there too.
class ConsoleCapture {
 public:
  ConsoleCapture() {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = _dup(1);
    savedErr_ = _dup(2);
    redirect(1, "stdout.txt");
    redirect(2, "stderr.txt");
  }
  ~ConsoleCapture() { finish(); }

  /// Restores the console and returns what went to standard output.
  std::string out() {
    finish();
    return readFile("stdout.txt");
  }
  /// Restores the console and returns what went to standard error.
  std::string err() {
    finish();
    return readFile("stderr.txt");
  }

 private:
  static void redirect(int fd, const char* file) {
    const int target =
        _open(file, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
    _dup2(target, fd);
    _close(target);
  }
  void finish() {
    if (savedOut_ < 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    _dup2(savedOut_, 1);
    _dup2(savedErr_, 2);
    _close(savedOut_);
    _close(savedErr_);
    savedOut_ = savedErr_ = -1;
  }
  int savedOut_ = -1;
  int savedErr_ = -1;
};

/// Works in a fresh directory, which is also the current directory.
class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    directory_ = fs::temp_directory_path() /
                 ("hostbridge-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(GetTickCount()));
    fs::create_directories(directory_);
    fs::current_path(directory_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
    EXPECT_EQ(0, jni_.unreleasedStrings());
  }

  /// The record the child writes for `arguments`.
  static std::string expectedRecord(const std::vector<std::u16string>& args) {
    std::string record;
    for (const std::u16string& argument : args) {
      const std::string text = utf::toUtf8(argument);
      record += std::to_string(text.size()) + ":" + text + "\r\n";
    }
    return record;
  }

  jint exec(const std::vector<std::optional<std::u16string>>& arguments) {
    return execBcp_(jni_.env(), nullptr, jni_.newStringArray(arguments));
  }

  FakeJni jni_;
  fs::path previous_;
  fs::path directory_;
  ExecBcpFunction execBcp_ = resolve<ExecBcpFunction>(BRIDGE("execBCP", 12));
};

TEST(ExportsTest, PlainNamesResolveAndDecoratedOnesOnlyOn32Bit) {
  const bool decorated = sizeof(void*) == 4;
  const std::pair<const char*, const char*> names[] = {
      {BRIDGE_PLAIN("GetGroupList"), BRIDGE_DECORATED("GetGroupList", 24)},
      {BRIDGE_PLAIN("listRoots"), BRIDGE_DECORATED("listRoots", 8)},
      {BRIDGE_PLAIN("execBCP"), BRIDGE_DECORATED("execBCP", 12)},
      {BRIDGE_PLAIN("getSystemInfo"), BRIDGE_DECORATED("getSystemInfo", 8)}};
  for (const auto& [plain, withBytes] : names) {
    EXPECT_NE(nullptr, resolve<void*>(plain)) << plain;
    EXPECT_EQ(decorated, resolve<void*>(withBytes) != nullptr) << withBytes;
  }
}

TEST_F(BridgeTest, SystemInfoHasSixLinesOfThisMachine) {
  const auto info = jni_.strings(resolve<SystemInfoFunction>(
      BRIDGE("getSystemInfo", 8))(jni_.env(), nullptr));
  ASSERT_TRUE(info.has_value());
  ASSERT_EQ(6u, info->size());
  std::vector<std::string> lines;
  for (const auto& line : *info) lines.push_back(utf::toUtf8(line));
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  MEMORYSTATUSEX memory;
  memory.dwLength = sizeof memory;
  ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
  EXPECT_EQ("#Harware Infomation", lines[0]);
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex("#Processor: (Non-Intel \\d+ \\d+ \\d+|"
                           "Intel Pentium( II, III or IV)? [56] model "
                           "[0-9a-f]+ stepping [0-9a-f]+|"
                           "Unknown Intel \\d+ [0-9a-f]+)")))
      << lines[1];
  EXPECT_EQ(
      "#Number of Processors: " + std::to_string(system.dwNumberOfProcessors),
      lines[2]);
  EXPECT_TRUE(std::regex_match(
      lines[3],
      std::regex("#OS Type: Microsoft Windows (NT |2000 |\\d+\\.\\d+ )"
                 "(Workstation |Server )?")))
      << lines[3];
  EXPECT_TRUE(std::regex_match(
      lines[4], std::regex("#OS Version: \\d+\\.\\d+ .* \\(Build \\d+\\)")))
      << lines[4];
  EXPECT_EQ("#Total Physical Memory: " +
                std::to_string(memory.ullTotalPhys / 1024) + " K",
            lines[5]);
}

TEST_F(BridgeTest, ListRootsGivesVectorOfDriveRootsWithoutRemovables) {
  const jobject roots =
      resolve<ListRootsFunction>(BRIDGE("listRoots", 8))(jni_.env(), nullptr);
  ASSERT_TRUE(jni_.isVector(roots));
  const auto texts = jni_.strings(roots);
  ASSERT_TRUE(texts.has_value());
  EXPECT_NE(texts->end(), std::find(texts->begin(), texts->end(), u"C:\\"));
  for (const std::u16string& root : *texts) {
    const std::string text = utf::toUtf8(root);
    EXPECT_TRUE(std::regex_match(text, std::regex("[A-Z]:\\\\"))) << text;
    EXPECT_NE(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeA(text.c_str()))
        << text;
  }
}

TEST_F(BridgeTest, ExecPassesEveryArgumentWholeAndReturnsExitCode) {
  const std::vector<std::u16string> arguments = {u16(childPath),
                                                 u"record.txt",
                                                 u"7",
                                                 u"a b",
                                                 u"",
                                                 u"q\"x",
                                                 u"tr\\",
                                                 u"C:\\Program Files\\x\\",
                                                 u"tab\there",
                                                 u"pw\" -o \"x",
                                                 u"gr\u00fcn \u20ac"};
  ConsoleCapture console;
  EXPECT_EQ(7, exec({arguments.begin(), arguments.end()}));
  // Each argument echoed as written, followed by one blank, no line end.
  std::string echoed;
  for (const std::u16string& argument : arguments) {
    std::string text(argument.begin(), argument.end());
    if (argument == u"gr\u00fcn \u20ac") continue;
    echoed += text + " ";
  }
  EXPECT_EQ(0u, console.out().find(echoed));
  EXPECT_EQ(expectedRecord(arguments), readFile("record.txt"));
}

TEST_F(BridgeTest, ExecTakesAtMostThirteenArguments) {
  std::vector<std::optional<std::u16string>> arguments(13, u"x");
  arguments[0] = u16(childPath);
  arguments[1] = u"thirteen.txt";
  arguments[2] = u"13";
  EXPECT_EQ(13, exec(arguments));
  arguments[1] = u"fourteen.txt";
  arguments.push_back(u"x");
  ConsoleCapture console;
  EXPECT_EQ(-1, exec(arguments));
  EXPECT_FALSE(fs::exists("fourteen.txt"));
  EXPECT_EQ("", console.out());
}

TEST_F(BridgeTest, ExecRefusesWhatCannotRun) {
  EXPECT_EQ(-1, exec({}));
  EXPECT_EQ(-1, execBcp_(jni_.env(), nullptr, nullptr));
  EXPECT_EQ(-1, exec({u16(childPath), std::nullopt, u"1"}));
  EXPECT_EQ(-1, exec({u"C:\\no\\such\\program.exe"}));
  EXPECT_EQ(-1, exec({u""}));
  EXPECT_EQ(-1, exec({u16(directory_)}));
}

TEST_F(BridgeTest, ExecLooksInCurrentDirectoryWithExtensionsInOrder) {
  fs::copy_file(childPath, "zxchild.exe");
  EXPECT_EQ(5, exec({u"zxchild", u"bare.txt", u"5"}));
  EXPECT_TRUE(fs::exists("bare.txt"));
  // The search path is never consulted.
  EXPECT_EQ(-1, exec({u"cmd", u"/c", u"exit 3"}));
  // ".exe" comes before ".bat", and a ".bat" alone is run.
  std::ofstream("zxchild.bat") << "@exit 8\r\n";
  std::ofstream("zxbatch.bat") << "@exit 9\r\n";
  EXPECT_EQ(6, exec({u"zxchild", u"order.txt", u"6"}));
  EXPECT_EQ(9, exec({u"zxbatch"}));
}

TEST_F(BridgeTest, GroupListAnswersWithAFailureWordOrGroups) {
  const auto getGroupList =
      resolve<GetGroupListFunction>(BRIDGE("GetGroupList", 24));
  const std::u16string password = u"Zx-s3cret pw";
  ConsoleCapture console;
  const auto answer = jni_.strings(
      getGroupList(jni_.env(), nullptr, 0, jni_.newString(u"zxuser"),
                   jni_.newString(password), jni_.newString(u"ZXDOMAIN")));
  const std::string out = console.out();
  const std::string err = console.err();
  ASSERT_TRUE(answer.has_value());
  ASSERT_FALSE(answer->empty());
  std::printf("GetGroupList under this system: %s",
              utf::toUtf8(answer->back()).c_str());
  if (answer->size() == 1 && answer->front() != u"END_GROUPS") {
    std::printf(" / %s", err.c_str());
  }
  std::printf("\n");
  const std::u16string last = answer->back();
  if (answer->size() == 1) {
    EXPECT_TRUE(last == u"AUTHENTICATION_FAILED" ||
                last == u"FAILED_TO_GET_PDC" ||
                last == u"FAILED_TO_GET_GROUPS" || last == u"END_GROUPS")
        << utf::toUtf8(last);
  } else {
    EXPECT_EQ(u"END_GROUPS", last);
  }
  if (last == u"FAILED_TO_GET_PDC" || last == u"FAILED_TO_GET_GROUPS") {
    EXPECT_TRUE(std::regex_match(
        err, std::regex("A system error has occurred: -?\\d+\n")))
        << err;
  }
  if (last == u"AUTHENTICATION_FAILED") {
    EXPECT_EQ("", out);
    EXPECT_EQ("", err);
  }
  EXPECT_EQ(std::string::npos, out.find("s3cret"));
  EXPECT_EQ(std::string::npos, err.find("s3cret"));
  // Null strings are refused before any logon is tried.
  const auto refused = jni_.strings(getGroupList(
      jni_.env(), nullptr, 0, nullptr, jni_.newString(password), nullptr));
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(std::vector<std::u16string>{u"AUTHENTICATION_FAILED"}, *refused);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s HOSTBRIDGE-DLL CHILD-PROGRAM\n", argv[0]);
    return 2;
  }
  dllPath = fs::absolute(argv[1]);
  childPath = fs::absolute(argv[2]);
  library = LoadLibraryW(dllPath.c_str());
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s: error %lu\n", argv[1],
                 GetLastError());
    return 2;
  }
  return RUN_ALL_TESTS();
}
