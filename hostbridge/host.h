#ifndef HOSTBRIDGE_HOST_H_
#define HOSTBRIDGE_HOST_H_

#include <string>
#include <vector>

#include "hostbridge/system_report.h"

/// What the bridge asks of the operating system. One implementation per
/// platform (host-win32.cc, host-posix.cc); every function keeps its state
/// on the stack, so any number of threads may call at once. Text crosses
/// this seam as UTF-16, the form of Java strings; each host converts it to
/// what its system calls expect.
namespace host {

/// How a group-list request ended.
enum class GroupStatus {
  kAuthenticationFailed,  ///< Credentials refused (or nothing came back).
  kNoController,          ///< The domain controller could not be found.
  kGroupsFailed,          ///< The user's groups could not be read.
  kGroups,                ///< `names` holds the user's groups.
};

/// Answer of `groupList`.
struct GroupList {
  GroupStatus status = GroupStatus::kAuthenticationFailed;
  std::vector<std::u16string> names;  ///< Group names, at most 255 units.
};

/// Longest group name handed back, in UTF-16 units; longer ones are cut.
constexpr std::size_t kMaxGroupName = 255;

/// Checks the credentials of `user` and lists the user's groups, writing
/// the progress lines to the console. The password is never written.
GroupList groupList(const std::u16string& user, const std::u16string& password,
                    const std::u16string& domain);

/// The roots of the machine's file systems that a user can browse,
/// removable media left out.
std::vector<std::u16string> listRoots();

/// Starts `arguments[0]` with all of `arguments` as its argument vector,
/// waits for it and returns its exit code; -1 when it cannot be started.
int runAndWait(const std::vector<std::u16string>& arguments);

/// `text` in the encoding of the console: the ANSI code page on Windows,
/// UTF-8 elsewhere.
std::string consoleText(const std::u16string& text);

/// The UTF-16 form of text from the system's "A" functions and files: the
/// ANSI code page on Windows, UTF-8 elsewhere.
std::u16string systemText(const std::string& text);

/// Gathers the processor, operating-system and memory facts of the report.
system_report::Facts systemFacts();

}  // namespace host

#endif  // HOSTBRIDGE_HOST_H_
