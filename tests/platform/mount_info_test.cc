// Which driver holds a folder, from mountinfo lines as the kernel writes
// them.

#include "platform/mount_info.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

constexpr char kMountInfo[] =
    "26 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "44 26 7:0 / /tmp/m\\040x rw,relatime - xfs /dev/loop0 rw,inode64\n"
    "45 26 0:41 / /tmp/m\\040x/ntfs rw,relatime shared:7 master:2 - fuseblk /dev/sdb1 rw\n"
    "48 26 0:43 / /tmp/m\\040x/fat rw,nosuid - fuse.fusefat fusefat rw,user_id=0\n"
    "49 26 0:44 / /tmp/m\\040x/fat rw - fuse.sshfs me@host:/srv rw\n"
    "not a mountinfo line\n";

TEST(MountInfoTest, ParsesFieldsPastTheOptionalOnesAndUnescapes) {
  const auto mount = ParseMountInfoLine(
      "45 26 0:41 / /tmp/m\\040x/ntfs rw,relatime shared:7 master:2 - fuseblk /dev/sdb1 rw");
  ASSERT_TRUE(mount.has_value());
  EXPECT_EQ(mount->id, 45u);
  EXPECT_EQ(mount->mount_point, "/tmp/m x/ntfs");
  EXPECT_EQ(mount->type, "fuseblk");
  EXPECT_EQ(mount->source, "/dev/sdb1");
  EXPECT_FALSE(ParseMountInfoLine("not a mountinfo line").has_value());
  EXPECT_FALSE(ParseMountInfoLine("1 2 3 4 5 6 - onlytype").has_value());
}

TEST(MountInfoTest, FindsTheMountByIdElseByTheLongestMountPointOnTop) {
  EXPECT_EQ(FindMount(kMountInfo, 44, "/anything")->type, "xfs");
  EXPECT_EQ(FindMount(kMountInfo, 0, "/tmp/m x/ntfs/tree")->id, 45u);
  EXPECT_EQ(FindMount(kMountInfo, 0, "/tmp/m x/ntfsother")->id, 44u);
  EXPECT_EQ(FindMount(kMountInfo, 0, "/home/me")->id, 26u);
  EXPECT_EQ(FindMount(kMountInfo, 0, "/tmp/m x/fat/a")->id, 49u);  // mounted last, on top
  EXPECT_EQ(FindMount(kMountInfo, 999, "/tmp/m x")->id, 44u);      // a stale id
  EXPECT_FALSE(FindMount("", 0, "/tmp").has_value());
}

TEST(MountInfoTest, NamesTheDriverWithItsSourceWhereThatTellsMore) {
  EXPECT_EQ(DriverName(*FindMount(kMountInfo, 44, "")), "xfs, /dev/loop0");
  EXPECT_EQ(DriverName(*FindMount(kMountInfo, 45, "")), "fuseblk, /dev/sdb1");
  EXPECT_EQ(DriverName(*FindMount(kMountInfo, 48, "")), "fuse.fusefat");
  EXPECT_EQ(DriverName(*FindMount(kMountInfo, 49, "")), "fuse.sshfs, me@host:/srv");
}

}  // namespace
}  // namespace velmora
