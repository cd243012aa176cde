#ifndef HOSTBRIDGE_MOUNT_TABLE_H_
#define HOSTBRIDGE_MOUNT_TABLE_H_

#include <string>
#include <string_view>

/// Reading the kernel's table of mounted file systems (/proc/self/mounts).
namespace mount_table {

/// One mounted file system.
struct MountEntry {
  std::string device;     ///< Mounted device or source, escapes decoded.
  std::string directory;  ///< Mount point, escapes decoded.
  std::string type;       ///< File-system type, such as "ext4" or "proc".
};

/// Parses one line of the mount table ("device dir type options ...");
/// false when the line has fewer than three fields.
bool parseMountLine(std::string_view line, MountEntry* entry);

/// Decodes the kernel's octal escapes ("\040" for a blank, "\011" for a tab,
/// "\012" for a line feed, "\134" for a backslash) in one field.
std::string unescapeField(std::string_view field);

/// True for a file system without stored user data: kernel interfaces
/// (proc, sysfs, cgroup, ...), device and memory file systems (devtmpfs,
/// devpts, tmpfs, ramfs) and automounter placeholders.
bool isPseudoFileSystem(std::string_view type);

}  // namespace mount_table

#endif  // HOSTBRIDGE_MOUNT_TABLE_H_
