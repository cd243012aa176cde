#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The text of message `id` from this program's own message table, with
// the inserts left in place; empty when the message is missing.
std::string messageText(DWORD id) {
  char buffer[512] = {};
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, id,
      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

TEST(MessageTableTest, EveryMessageHasItsExactTextAndLineEnd) {
  const char* const expected[] = {
      "The %1 installed successfully.",
      "The %1 installation failed Reason: %2.",
      "The %1 removed successfully.",
      "The %1 could not be removed.",
      "The control handler for %1 could not be installed.",
      "The %1 initialization failed.",
      "The %1 started succesfully.",
      "The %1 received an unsupported request.",
      "The %1 is stopped gracefully.",
      "Unable to start service %1 File %2 not found.",
      "Unable to start service %1 cannot read file %2 .",
      "Unable to start service %1 cannot create process %2 .",
      "Unable to start service %1 null command in batch file %2 .",
      "Installation root for %1 is not found in registry under key %2.",
      "Service handle for service %1 not found %2.",
      "Service control manager handle could not be opened %1 \r\nReason : %2.",
      "The %1 is stopped with error: %2.",
      "Cannot get service status for service %1.",
      "Service %1 : Root directory is %2.",
      "Service %1 : Command is %2.",
      "Service %1 : Environment is %2.",
  };
  DWORD id = 100;
  for (const char* text : expected) {
    EXPECT_EQ(messageText(id), std::string(text) + "\r\n") << "message " << id;
    ++id;
  }
  EXPECT_EQ(messageText(99), "");
  EXPECT_EQ(messageText(121), "");
}

TEST(MessageTableTest, InsertsAreFilledFromTheReportStrings) {
  DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>("Zentrix"),
                         reinterpret_cast<DWORD_PTR>("cannot create service")};
  char buffer[256] = {};
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, 101,
      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer, sizeof buffer,
      reinterpret_cast<va_list*>(inserts));
  EXPECT_EQ(std::string(buffer, length),
            "The Zentrix installation failed Reason: cannot create service.\r\n");
}

}  // namespace
