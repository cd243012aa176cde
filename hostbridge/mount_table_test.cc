#include "hostbridge/mount_table.h"

#include <gtest/gtest.h>

namespace mount_table {
namespace {

TEST(ParseMountLineTest, ReadsDeviceDirectoryAndType) {
  MountEntry entry;
  ASSERT_TRUE(parseMountLine("/dev/sda1 / ext4 rw,relatime 0 0", &entry));
  EXPECT_EQ("/dev/sda1", entry.device);
  EXPECT_EQ("/", entry.directory);
  EXPECT_EQ("ext4", entry.type);
}

TEST(ParseMountLineTest, DecodesEscapesInPaths) {
  MountEntry entry;
  ASSERT_TRUE(parseMountLine(
      "//srv/a\\040share /mnt/my\\040data\\011x cifs rw 0 0", &entry));
  EXPECT_EQ("//srv/a share", entry.device);
  EXPECT_EQ("/mnt/my data\tx", entry.directory);
  EXPECT_EQ("cifs", entry.type);
}

TEST(ParseMountLineTest, RejectsShortLines) {
  MountEntry entry;
  EXPECT_FALSE(parseMountLine("", &entry));
  EXPECT_FALSE(parseMountLine("   ", &entry));
  EXPECT_FALSE(parseMountLine("/dev/sda1 /", &entry));
}

TEST(UnescapeFieldTest, LeavesIncompleteOrNonOctalEscapesAlone) {
  EXPECT_EQ("a\\b", unescapeField("a\\134b"));
  EXPECT_EQ("a\\08", unescapeField("a\\08"));
  EXPECT_EQ("end\\04", unescapeField("end\\04"));
  EXPECT_EQ("end\\", unescapeField("end\\"));
}

TEST(IsPseudoFileSystemTest, KernelAndMemoryFileSystemsArePseudo) {
  for (const char* type : {"proc", "sysfs", "devpts", "devtmpfs", "tmpfs",
                           "cgroup2", "mqueue", "autofs"}) {
    EXPECT_TRUE(isPseudoFileSystem(type)) << type;
  }
}

TEST(IsPseudoFileSystemTest, DiskNetworkAndOverlayFileSystemsAreListed) {
  for (const char* type : {"ext4", "xfs", "btrfs", "vfat", "nfs4", "cifs",
                           "overlay", "iso9660", "fuse.sshfs", "proc2"}) {
    EXPECT_FALSE(isPseudoFileSystem(type)) << type;
  }
}

}  // namespace
}  // namespace mount_table
