// POSIX host of the bridge: logon through PAM, groups through NSS, mounts
// from /proc/self/mounts, programs through posix_spawn, facts from uname,
// sysconf and sysinfo.

#include <errno.h>
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "hostbridge/host.h"
#include "hostbridge/mount_table.h"
#include "hostbridge/utf.h"

extern char** environ;

namespace host {
namespace {

/// PAM service used to check credentials unless the environment names
/// another one in HOSTBRIDGE_PAM_SERVICE.
constexpr char kDefaultPamService[] = "login";

/// Overwrites a secret held in memory before it is released.
void wipe(std::string* secret) {
  volatile char* data = secret->data();
  for (std::size_t i = 0; i < secret->size(); ++i) data[i] = 0;
}

/// What the PAM conversation answers with.
struct Credentials {
  const std::string* user;
  const std::string* password;
};

/// Answers PAM's prompts: hidden prompts get the password, visible ones the
/// user name; informational messages are swallowed, nothing is printed.
int converse(int count, const pam_message** messages, pam_response** responses,
             void* data) {
  if (count <= 0) return PAM_CONV_ERR;
  const auto* credentials = static_cast<const Credentials*>(data);
  auto* answers =
      static_cast<pam_response*>(calloc(count, sizeof(pam_response)));
  if (answers == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const char* text = nullptr;
    if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF) {
      text = credentials->password->c_str();
    } else if (messages[i]->msg_style == PAM_PROMPT_ECHO_ON) {
      text = credentials->user->c_str();
    }
    if (text != nullptr && (answers[i].resp = strdup(text)) == nullptr) {
      for (int j = 0; j < i; ++j) free(answers[j].resp);
      free(answers);
      return PAM_BUF_ERR;
    }
  }
  *responses = answers;
  return PAM_SUCCESS;
}

/// True when PAM accepts the credentials and the account may log on now.
bool checkCredentials(const std::string& user, const std::string& password) {
  const char* service = getenv("HOSTBRIDGE_PAM_SERVICE");
  if (service == nullptr || *service == '\0') service = kDefaultPamService;
  Credentials credentials{&user, &password};
  const pam_conv conversation{converse, &credentials};
  pam_handle_t* handle = nullptr;
  int status = pam_start(service, user.c_str(), &conversation, &handle);
  if (status != PAM_SUCCESS) return false;
  status = pam_authenticate(handle, PAM_SILENT);
  if (status == PAM_SUCCESS) status = pam_acct_mgmt(handle, PAM_SILENT);
  pam_end(handle, status);
  return status == PAM_SUCCESS;
}

/// Resizes `buffer` to the size sysconf suggests for `name` (or 1024).
void sizeBuffer(std::vector<char>* buffer, int name) {
  const long suggested = sysconf(name);
  buffer->resize(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024);
}

/// The primary group of `user`; an errno-style code when unknown.
int primaryGroup(const std::string& user, gid_t* group) {
  std::vector<char> buffer;
  sizeBuffer(&buffer, _SC_GETPW_R_SIZE_MAX);
  passwd entry;
  passwd* found = nullptr;
  int error;
  while ((error = getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(),
                             &found)) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (error != 0) return error;
  if (found == nullptr) return ENOENT;
  *group = found->pw_gid;
  return 0;
}

/// Serialises group enumerations: some NSS stacks (nss_wrapper, for one)
/// walk the group database through one shared cursor, so two enumerations
/// at once would skip or repeat each other's groups.
std::mutex groupEnumeration;

/// All groups of `user`, the primary one first.
std::vector<gid_t> groupIds(const std::string& user, gid_t primary) {
  const std::lock_guard<std::mutex> lock(groupEnumeration);
  std::vector<gid_t> groups(32);
  for (;;) {
    int count = static_cast<int>(groups.size());
    const int capacity = count;
    if (getgrouplist(user.c_str(), primary, groups.data(), &count) >= 0) {
      groups.resize(static_cast<std::size_t>(count));
      return groups;
    }
    // Too small: `count` now holds the number needed.
    groups.resize(
        static_cast<std::size_t>(count > capacity ? count : capacity * 2));
  }
}

/// The name of group `id`, or its number when it has no name.
std::string groupName(gid_t id) {
  std::vector<char> buffer;
  sizeBuffer(&buffer, _SC_GETGR_R_SIZE_MAX);
  group entry;
  group* found = nullptr;
  while (getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found) ==
         ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr) return std::to_string(id);
  return found->gr_name;
}

/// True when the block device behind `device` reports removable media.
bool isRemovableDevice(const std::string& device) {
  if (device.rfind("/dev/", 0) != 0) return false;
  char resolved[PATH_MAX];
  if (realpath(device.c_str(), resolved) == nullptr) return false;
  const std::string name =
      std::string(resolved).substr(std::string(resolved).find_last_of('/') + 1);
  // A whole disk carries the flag itself, a partition in its parent.
  std::string sysPath = "/sys/class/block/" + name;
  if (realpath(sysPath.c_str(), resolved) == nullptr) return false;
  sysPath = resolved;
  std::ifstream flag(sysPath + "/removable");
  if (!flag) flag.open(sysPath + "/../removable");
  char value = '0';
  return flag >> value && value == '1';
}

/// True when `path` names a directory (following links).
bool isDirectory(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

/// The value after "key :" in the first /proc/cpuinfo line with that key.
unsigned cpuInfoNumber(const std::string& key) {
  std::ifstream cpuInfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuInfo, line)) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    name.erase(name.find_last_not_of(" \t") + 1);
    if (name == key) return std::strtoul(line.c_str() + colon + 1, nullptr, 10);
  }
  return 0;
}

/// Windows' processor architecture number for a uname machine name.
std::uint16_t architectureNumber(const std::string& machine) {
  if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") {
    return 0;  // Intel x86
  }
  if (machine == "x86_64") return 9;
  if (machine == "aarch64") return 12;
  if (machine.rfind("arm", 0) == 0) return 5;
  if (machine == "ia64") return 6;
  return 0xFFFF;
}

/// Processor facts in the shape Windows reports them.
system_report::Processor processorFacts(const std::string& machine) {
  system_report::Processor processor;
  processor.architecture = architectureNumber(machine);
  processor.level = static_cast<std::uint16_t>(cpuInfoNumber("cpu family"));
  processor.revision =
      static_cast<std::uint16_t>((cpuInfoNumber("model") & 0xFF) << 8 |
                                 (cpuInfoNumber("stepping") & 0xFF));
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  processor.count = online > 0 ? static_cast<std::uint32_t>(online) : 1;
  return processor;
}

/// Kernel release "6.1.0-18-amd64" as major 6, minor 1, build 0.
system_report::OperatingSystem osFacts(const utsname& names) {
  system_report::OperatingSystem os;
  os.family = system_report::OsFamily::kPosix;
  os.name = names.sysname;
  os.servicePack = names.release;
  unsigned numbers[3] = {0, 0, 0};
  std::sscanf(names.release, "%u.%u.%u", &numbers[0], &numbers[1], &numbers[2]);
  os.major = numbers[0];
  os.minor = numbers[1];
  os.build = numbers[2];
  return os;
}

}  // namespace

GroupList groupList(const std::u16string& user, const std::u16string& password,
                    const std::u16string& /*domain: no domain controller*/) {
  const std::string userName = utf::toUtf8(user);
  std::string secret = utf::toUtf8(password);
  const bool accepted = checkCredentials(userName, secret);
  wipe(&secret);
  GroupList answer;
  if (!accepted) return answer;

  gid_t primary;
  if (const int error = primaryGroup(userName, &primary); error != 0) {
    std::fprintf(stderr, "A system error has occurred: %d\n", error);
    answer.status = GroupStatus::kGroupsFailed;
    return answer;
  }
  answer.status = GroupStatus::kGroups;
  std::fputs("\nGlobal group(s):\n", stderr);
  for (const gid_t id : groupIds(userName, primary)) {
    std::string name = groupName(id);
    std::u16string text = utf::toUtf16(name);
    if (text.size() > kMaxGroupName) {
      text.resize(kMaxGroupName);
      name = utf::toUtf8(text);
    }
    std::printf("\t -- %s", name.c_str());
    answer.names.push_back(std::move(text));
  }
  std::printf("\nEntries enumerated: %d\n",
              static_cast<int>(answer.names.size()));
  std::fflush(stdout);
  return answer;
}

std::vector<std::u16string> listRoots() {
  std::vector<std::u16string> roots;
  std::vector<std::string> seen;
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  mount_table::MountEntry entry;
  while (std::getline(mounts, line)) {
    if (!mount_table::parseMountLine(line, &entry)) continue;
    if (mount_table::isPseudoFileSystem(entry.type)) continue;
    bool listed = false;
    for (const std::string& directory : seen)
      listed |= directory == entry.directory;
    if (listed || !isDirectory(entry.directory)) continue;
    if (isRemovableDevice(entry.device)) continue;
    seen.push_back(entry.directory);
    roots.push_back(utf::toUtf16(entry.directory));
  }
  return roots;
}

int runAndWait(const std::vector<std::u16string>& arguments) {
  if (arguments.empty() || arguments[0].empty()) return -1;
  std::vector<std::string> texts;
  for (const std::u16string& argument : arguments) {
    texts.push_back(utf::toUtf8(argument));
  }
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  // A name without a directory means a program in the current directory;
  // the search path is never consulted.
  std::string program = texts[0];
  if (program.find('/') == std::string::npos) program = "./" + program;

  // The child starts with no blocked signals and default dispositions,
  // whatever the calling thread of the virtual machine has set.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigfillset(&signals);
  sigdelset(&signals, SIGKILL);
  sigdelset(&signals, SIGSTOP);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child;
  const int error = posix_spawn(&child, program.c_str(), nullptr, &attributes,
                                argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return -1;

  int status;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  // Killed by a signal: the shells' convention of 128 plus its number.
  return 128 + WTERMSIG(status);
}

std::string consoleText(const std::u16string& text) {
  return utf::toUtf8(text);
}

std::u16string systemText(const std::string& text) {
  return utf::toUtf16(text);
}

system_report::Facts systemFacts() {
  system_report::Facts facts;
  utsname names{};
  if (uname(&names) == 0) {
    facts.processor = processorFacts(names.machine);
    facts.os = osFacts(names);
  } else {
    facts.processor = processorFacts("");
  }
  struct sysinfo memory {};
  if (sysinfo(&memory) == 0) {
    facts.totalMemoryBytes =
        static_cast<std::uint64_t>(memory.totalram) * memory.mem_unit;
  }
  return facts;
}

}  // namespace host
