// A whole enciphered tree made by an earlier build (tests/data/frozen_tree/
// manifest.txt, whose header describes the format): the dialog must decrypt
// it to the recorded plain tree and encrypt that back to the same bytes, so
// no change can silently alter how names or contents are enciphered.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tests/job/job_test_util.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

std::string FromHex(const std::string& hex) {
  if (hex == "-") return {};
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// Relative path -> 'd' or 'f' and contents.
using Tree = std::map<std::string, std::pair<char, std::string>>;

struct Manifest {
  std::u16string password;
  Tree enciphered;
  Tree plain;
};

Manifest ReadManifest() {
  std::ifstream in(std::string(VELMORA_TEST_DATA_DIR) + "/frozen_tree/manifest.txt");
  Manifest manifest;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string tag, first, second;
    fields >> tag >> first >> second;
    if (tag == "password") {
      const std::string units = FromHex(first);
      for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
        manifest.password.push_back(static_cast<char16_t>(
            static_cast<uint8_t>(units[i]) | (static_cast<uint8_t>(units[i + 1]) << 8)));
      }
      continue;
    }
    Tree& tree = (tag == "d" || tag == "f") ? manifest.enciphered : manifest.plain;
    const bool directory = tag == "d" || tag == "D";
    tree[FromHex(first)] = {directory ? 'd' : 'f', directory ? "" : FromHex(second)};
  }
  return manifest;
}

// The names, kinds and contents below |root|.
Tree Contents(const std::string& root) {
  Tree tree;
  for (const auto& [path, entry] : Snapshot(root)) {
    tree[path] = {entry.kind, entry.contents};
  }
  return tree;
}

TEST(FrozenTreeTest, DecryptsToThePlainTreeAndEncryptsBackExactly) {
  const Manifest manifest = ReadManifest();
  ASSERT_FALSE(manifest.password.empty());
  ASSERT_GE(manifest.enciphered.size(), 10u);
  ASSERT_EQ(manifest.enciphered.size(), manifest.plain.size());

  DialogHarness h;
  for (const auto& [path, entry] : manifest.enciphered) {
    if (entry.first == 'd') {
      MakeDirectory(h.root() + "/" + path);
    } else {
      WriteFile(h.root() + "/" + path, entry.second);
    }
  }
  ASSERT_EQ(Contents(h.root()), manifest.enciphered);

  h.Decrypt(manifest.password);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  EXPECT_EQ(h.window().unexpected_boxes, 0);
  EXPECT_TRUE(Contents(h.root()) == manifest.plain)
      << "the frozen tree no longer decrypts to its plain tree";

  h.Encrypt(manifest.password);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  EXPECT_TRUE(Contents(h.root()) == manifest.enciphered)
      << "encrypting the plain tree no longer gives the frozen tree";
}

}  // namespace
}  // namespace velmora::testing
