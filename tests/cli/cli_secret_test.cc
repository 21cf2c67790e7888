// While a temporary decryption waits, the password lies only in locked
// pages of velmora-cli: the line it was typed as, its UTF-16 form, the
// engine's copy and the byte table made from it are either there or wiped.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "job/messages.h"
#include "tests/cli/cli_child.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

struct Region {
  std::uintptr_t start = 0, end = 0;
  bool readable = false;
  bool locked = false;
};

// The mappings of |pid|: mlock gives locked pages mappings of their own,
// flagged "lo".
std::vector<Region> RegionsOf(pid_t pid) {
  std::vector<Region> regions;
  std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
  std::string line;
  while (std::getline(smaps, line)) {
    Region region;
    char dash = 0;
    std::string permissions;
    std::istringstream head(line);
    if (head >> std::hex >> region.start >> dash >> region.end >> permissions && dash == '-') {
      region.readable = permissions[0] == 'r';
      regions.push_back(region);
    } else if (line.starts_with("VmFlags:") && !regions.empty()) {
      regions.back().locked = line.find(" lo") != std::string::npos;
    }
  }
  return regions;
}

struct Found {
  int locked = 0;
  int unlocked = 0;
};

// Where |needle| occurs in the memory of |pid|.
Found Search(pid_t pid, const std::vector<std::string>& needles) {
  Found found;
  const int mem = ::open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
  if (mem < 0) return found;
  for (const Region& region : RegionsOf(pid)) {
    if (!region.readable) continue;
    std::string bytes(region.end - region.start, '\0');
    const ssize_t read = ::pread(mem, bytes.data(), bytes.size(), static_cast<off_t>(region.start));
    if (read <= 0) continue;  // [vvar] and the like
    bytes.resize(static_cast<std::size_t>(read));
    for (const std::string& needle : needles) {
      for (std::size_t at = bytes.find(needle); at != std::string::npos;
           at = bytes.find(needle, at + 1)) {
        ++(region.locked ? found.locked : found.unlocked);
      }
    }
  }
  ::close(mem);
  return found;
}

TEST(CliSecretTest, WhileOpenWaitsThePasswordLiesOnlyInLockedPages) {
  if (::geteuid() != 0) GTEST_SKIP() << "reading a process that cannot be dumped needs root";
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer makes mlock a no-op";
#endif
  ScopedStateHome state_home;
  TempDir dir;
  // Short (in the short-string buffer) and long (on the heap) both.
  for (const std::string password : {"Qz7!", "Qz7!-a-password-nobody-else-types-8812"}) {
    SCOPED_TRACE(password);
    const std::string root = dir.path() + "/" + std::to_string(password.size());
    MakeDirectory(root);
    for (int i = 0; i < 20; ++i) WriteFile(root + "/f" + std::to_string(i), RandomContents(5000, i));
    ASSERT_EQ(RunCli({"encrypt", root, "--password-stdin"}, password + "\n").status, 0);
    Child open({"open", root, "--password-stdin"});
    open.Write(password + "\n");
    ASSERT_TRUE(open.ReadUntil(Shown(text::kWaiting).c_str()));
    std::string utf16;
    for (const char c : password) utf16 += std::string{c, '\0'};
    const Found found = Search(open.pid(), {password, utf16});
    EXPECT_GT(found.locked, 0);  // the engine's copy: the search works
    EXPECT_EQ(found.unlocked, 0);
    open.Write("\n");
    EXPECT_EQ(open.Finish().status, 0);
  }
}

}  // namespace
}  // namespace velmora::testing
