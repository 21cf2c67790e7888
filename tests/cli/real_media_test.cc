// velmora-cli on real file systems mounted from small images: round trips
// where the driver keeps enciphered names, a refusal before any change
// where it does not. Needs root, loop devices or /dev/fuse and the tools;
// each case skips, saying why, where one is missing.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "job/messages.h"
#include "platform/u16_format.h"
#include "tests/cli/cli_child.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

struct Medium {
  const char* name;
  const char* tools;  // each must be installed
  const char* make;   // IMG is the image
  const char* mount;  // IMG onto DIR
  bool fuse;
  bool may_refuse;  // refused before any change, or exact
};

void PrintTo(const Medium& medium, std::ostream* out) { *out << medium.name; }

constexpr char kMakeNtfs[] = "truncate -s 20M IMG && mkfs.ntfs -q -f -F IMG";
const Medium kMedia[] = {
    {"xfs", "mkfs.xfs", "truncate -s 320M IMG && mkfs.xfs -q -f IMG", "mount -o loop IMG DIR",
     false, false},
    {"btrfs", "mkfs.btrfs", "truncate -s 120M IMG && mkfs.btrfs -q -f IMG",
     "mount -o loop IMG DIR", false, false},
    {"ntfs3g", "mkfs.ntfs ntfs-3g", kMakeNtfs, "ntfs-3g IMG DIR", true, false},
    {"lowntfs3g", "mkfs.ntfs lowntfs-3g", kMakeNtfs,
     "lowntfs-3g -o ignore_case,windows_names IMG DIR", true, true},
    {"fusefat", "mkfs.vfat fusefat", "truncate -s 20M IMG && mkfs.vfat IMG",
     "fusefat -o rw+ IMG DIR", true, true},
};

// The start of a message, up to its first field or line end.
std::string Lead(std::u16string_view text) {
  return Shown(text.substr(0, text.find_first_of(u"%\r")));
}

// Whether a process (a FUSE driver) names |path| on its command line.
bool ProcessNames(const std::string& path) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream file(entry.path() / "cmdline", std::ios::binary);
    const std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (line.find(path + '\0') != std::string::npos) return true;
  }
  return false;
}

bool Shell(const std::string& command) {
  return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

std::string With(std::string command, const std::string& image, const std::string& dir) {
  for (auto [key, value] : {std::pair{"IMG", image}, std::pair{"DIR", dir}}) {
    for (std::size_t at; (at = command.find(key)) != std::string::npos;) {
      command.replace(at, 3, "'" + value + "'");
    }
  }
  return command;
}

// Why |medium| cannot be mounted here, or empty.
std::string WhyNot(const Medium& medium) {
  if (::geteuid() != 0) return "mounting images needs root";
  if (medium.fuse && ::access("/dev/fuse", R_OK | W_OK) != 0) return "no /dev/fuse";
  if (!medium.fuse && !Shell("losetup -f")) return "no free loop device";
  std::string tools = medium.tools;
  for (std::size_t at = 0; at < tools.size();) {
    const std::size_t end = std::min(tools.find(' ', at), tools.size());
    const std::string tool = tools.substr(at, end - at);
    if (!Shell("command -v " + tool)) return tool + " is not installed";
    at = end + 1;
  }
  return {};
}

// An image mounted at "m" below a temporary folder, unmounted on every path.
class MountedImage {
 public:
  explicit MountedImage(const std::string& base)
      : image_(base + "/image"), point_(base + "/m") {
    MakeDirectory(point_);
  }
  ~MountedImage() { Unmount(); }
  MountedImage(const MountedImage&) = delete;
  MountedImage& operator=(const MountedImage&) = delete;

  bool Make(const Medium& medium) { return Shell(With(medium.make, image_, point_)); }
  bool Mount(const Medium& medium) {
    mounted_ = Shell(With(medium.mount, image_, point_));
    return mounted_;
  }
  // Waits for a FUSE driver to write the image and end.
  void Unmount() {
    if (!mounted_) return;
    mounted_ = false;
    if (!Shell("umount '" + point_ + "'")) Shell("umount -l '" + point_ + "'");
    for (int tries = 0; tries < 100 && ProcessNames(image_); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  const std::string& point() const { return point_; }

 private:
  std::string image_, point_;
  bool mounted_ = false;
};

// A small tree of names in several scripts and cases; entries the medium
// refuses (FAT through FUSE takes ASCII only) are left out.
void MakeTree(const std::string& root) {
  MakeDirectory(root);
  for (const char* dir : {"/MiXeD", "/MiXeD/Sub", "/\xce\xa3\xce\xbf\xcf\x86\xce\xaf\xce\xb1"}) {
    MakeDirectory(root + dir);
  }
  const char* files[] = {"/Readme.TXT", "/photo.JPG", "/lower", "/UPPER", "/MiXeD/Inner File",
                         "/MiXeD/Sub/end", "/\xce\xa9mega \xcf\x89.txt",
                         "/\xd0\x96\xd1\x83\xd0\xba", "/\xe6\x97\xa5\xe6\x9c\xac.txt",
                         "/\xce\xa3\xce\xbf\xcf\x86\xce\xaf\xce\xb1/x"};
  uint32_t seed = 1;
  for (const char* file : files) {
    WriteFile(root + file, RandomContents(3000 * seed, seed));
    ++seed;
  }
  // Enough names that some enciphered ones hold letters with case.
  for (int i = 0; i < 30; ++i) WriteFile(root + "/MiXeD/f" + std::to_string(i), "small");
}

Cli Velmora(const char* command, const std::string& root) {
  return RunCli({command, root, "--password-stdin", "--on-problem=skip", "--yes"}, kPasswordLine);
}

class RealMediaTest : public ::testing::TestWithParam<Medium> {
 protected:
  ScopedStateHome state_home_;
  TempDir base_;
};

// xfs, btrfs and ntfs-3g round-trip exactly; lowntfs-3g with ignore_case
// and fusefat are refused before any change (exit 2), or round-trip.
TEST_P(RealMediaTest, RoundTripsExactlyOrIsRefusedBeforeAnyChange) {
  const Medium& medium = GetParam();
  if (const std::string why = WhyNot(medium); !why.empty()) GTEST_SKIP() << why;
  MountedImage image(base_.path());
  ASSERT_TRUE(image.Make(medium)) << "cannot make the image";
  if (!image.Mount(medium)) GTEST_SKIP() << "mounting is not allowed here: " << medium.mount;
  const std::string root = image.point() + "/tree";
  MakeTree(root);
  const TreeSnapshot plain = Snapshot(root);
  ASSERT_GE(plain.size(), 6u);

  const Cli encrypted = Velmora("encrypt", root);
  EXPECT_FALSE(std::filesystem::exists(root + "/.velmora-probe"));
  if (medium.may_refuse && encrypted.status == 2) {
    EXPECT_NE(encrypted.err.find(Lead(text::kMediaRefused)), std::string::npos)
        << encrypted.err;
    EXPECT_EQ(Snapshot(root), plain);
    std::printf("%s: refused before any change\n%s", medium.name, encrypted.err.c_str());
    return;
  }
  ASSERT_EQ(encrypted.status, 0) << encrypted.err;
  EXPECT_EQ(Snapshot(root).count("/lower"), 0u);
  const Cli decrypted = Velmora("decrypt", root);
  EXPECT_EQ(decrypted.status, 0) << decrypted.err;
  EXPECT_EQ(Snapshot(root), plain);
  std::printf("%s: exact round trip\n", medium.name);
}

INSTANTIATE_TEST_SUITE_P(Media, RealMediaTest, ::testing::ValuesIn(kMedia),
                         [](const auto& info) { return std::string(info.param.name); });

// A tree enciphered on NTFS through ntfs-3g, then mounted through
// lowntfs-3g with ignore_case (names lose their case): the decryption says
// once why, asks about no name, and changes nothing it cannot decipher;
// back on ntfs-3g the tree comes back exactly.
TEST(RealMediaNamesTest, DecryptionWhereNamesComeBackChangedSaysSoOnce) {
  const Medium& exact = kMedia[2];
  const Medium& folding = kMedia[3];
  for (const Medium* medium : {&exact, &folding}) {
    if (const std::string why = WhyNot(*medium); !why.empty()) GTEST_SKIP() << why;
  }
  ScopedStateHome state_home;
  TempDir base;
  MountedImage image(base.path());
  ASSERT_TRUE(image.Make(exact));
  if (!image.Mount(exact)) GTEST_SKIP() << "mounting is not allowed here: " << exact.mount;
  const std::string root = image.point() + "/tree";
  MakeTree(root);
  const TreeSnapshot plain = Snapshot(root);
  ASSERT_EQ(Velmora("encrypt", root).status, 0);
  image.Unmount();

  ASSERT_TRUE(image.Mount(folding));
  const Cli decrypted = Velmora("decrypt", root);
  const std::string lead = Lead(text::kMediaChangesNames);
  const std::size_t said = decrypted.err.find(lead);
  EXPECT_NE(said, std::string::npos) << decrypted.err;
  EXPECT_EQ(decrypted.err.find(lead, said + 1), std::string::npos) << "said more than once";
  EXPECT_EQ(decrypted.err.find(Lead(text::kWrongPassword)), std::string::npos);
  EXPECT_NE(decrypted.status, 0);
  image.Unmount();

  ASSERT_TRUE(image.Mount(exact));
  const Cli again = Velmora("decrypt", root);
  EXPECT_LE(again.status, 1) << again.err;  // the plain entries count as not done
  EXPECT_EQ(Snapshot(root), plain);
}

}  // namespace
}  // namespace velmora::testing
