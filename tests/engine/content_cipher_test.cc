// The content cipher: the fast transform against the definition, and the
// in-place file transform on real files.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/crypter.h"
#include "platform/fault_injection.h"
#include "platform/wtf8.h"
#include "tests/support/reference_transform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora {
namespace {

using testing::ReadFile;
using testing::ReferenceTransformBuffer;
using testing::WriteFile;

std::string Random(std::size_t size, uint32_t seed) {
  return testing::RandomContents(size, seed);
}

uint8_t* Bytes(std::string& s) { return reinterpret_cast<uint8_t*>(s.data()); }

TEST(TransformBufferTest, MatchesTheDefinitionForAnyPasswordOffsetAndSize) {
  std::mt19937 random(42);
  for (int length : {1, 2, 3, 5, 16, 255, 1019, 1020}) {
    std::u16string password;
    for (int i = 0; i < length; ++i) password.push_back(char16_t(1 + random() % 0xFFFE));
    Crypter crypter;
    crypter.SetPassword(password);
    for (int trial = 0; trial < 6; ++trial) {
      const int32_t count = static_cast<int32_t>(random() % 5000);
      const int32_t offset = trial == 0 ? 0 : int32_t(random() % 2047) * kChunkBytes;
      const int32_t size = trial == 1 ? kWholeRangeBytes : int32_t(random() % INT32_MAX);
      for (uint32_t operation : {OP_ENCRYPT, OP_DECRYPT}) {
        crypter.m_nOperation = operation;
        std::string fast = Random(count, random());
        std::string slow = fast;
        crypter.TransformBuffer(Bytes(fast), count, offset, size);
        ReferenceTransformBuffer(crypter, Bytes(slow), count, offset, size);
        ASSERT_EQ(fast, slow) << "length " << length << " count " << count;
      }
    }
  }
}

class RecordingSink : public TextSink {
 public:
  void SetText(const std::u16string& text) override { texts.push_back(text); }
  std::vector<std::u16string> texts;
};

class TransformFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    crypter_.SetPassword(u"pass\u3042word");
    crypter_.m_pStatusWnd = &sink_;
    crypter_.SetDirectory(Utf16FromWtf8(dir_.path()));
    fault_injection::Reset();
  }
  void TearDown() override { fault_injection::Reset(); }
  std::string PathOf(const std::string& name) { return dir_.path() + "/" + name; }

  // Transforms the file |name| as the target of |operation| in |range_class|.
  int32_t Transform(const std::string& name, uint16_t range_class, uint32_t operation) {
    crypter_.m_nOperation = operation;
    crypter_.m_strPlainName = crypter_.m_strCipherName = Utf16FromWtf8(name);
    crypter_.SetClass(range_class);
    return crypter_.TransformFile();
  }

  // What the file should hold after enciphering its first |limit| bytes in
  // chunks.
  std::string Expected(std::string bytes, int32_t limit) {
    crypter_.m_nOperation = OP_ENCRYPT;
    const int32_t size = static_cast<int32_t>(bytes.size());
    for (int32_t offset = 0; offset < std::min(size, limit); offset += kChunkBytes) {
      ReferenceTransformBuffer(crypter_, Bytes(bytes) + offset,
                               std::min({kChunkBytes, size - offset, limit - offset}),
                               offset, size);
    }
    return bytes;
  }

  testing::TempDir dir_;
  Crypter crypter_;
  RecordingSink sink_;
};

TEST_F(TransformFileTest, RangeClassesRoundTrip) {
  struct Case {
    uint16_t range_class;
    std::size_t size;
    int32_t limit;
  };
  // Empty; name only; the head of small and larger files; three chunks and a
  // bit, where the password term restarts in every chunk.
  for (const Case& c : {Case{RANGE_WHOLE, 0, 0}, Case{RANGE_NAME_ONLY, 100, 0},
                        Case{RANGE_HEAD, 5000, 8192}, Case{RANGE_HEAD, 20000, 8192},
                        Case{RANGE_WHOLE, 3u * kChunkBytes + 777, kWholeRangeBytes}}) {
    const std::string plain = Random(c.size, static_cast<uint32_t>(c.size));
    WriteFile(PathOf("f"), plain);
    ASSERT_EQ(Transform("f", c.range_class, OP_ENCRYPT), 0);
    EXPECT_EQ(ReadFile(PathOf("f")), Expected(plain, c.limit)) << c.size;
    ASSERT_EQ(Transform("f", c.range_class, OP_DECRYPT), 0);
    EXPECT_EQ(ReadFile(PathOf("f")), plain) << c.size;
  }
  EXPECT_EQ(sink_.texts.front(),
            Utf16FromWtf8(dir_.path()) + u"\r\n       0K/       0K : f  \u2192  f");
  EXPECT_NE(sink_.texts.back().find(u"    3072K/    3072K"), std::u16string::npos);

  // Another password: no error, and the wrong contents.
  const std::string plain = Random(5000, 5);
  WriteFile(PathOf("f"), plain);
  Transform("f", RANGE_WHOLE, OP_ENCRYPT);
  crypter_.SetPassword(u"another");
  ASSERT_EQ(Transform("f", RANGE_WHOLE, OP_DECRYPT), 0);
  EXPECT_NE(ReadFile(PathOf("f")), plain);
}

TEST_F(TransformFileTest, OnlyRegularFilesAreOpened) {
  EXPECT_EQ(Transform("missing", RANGE_NAME_ONLY, OP_ENCRYPT), -1);
  ASSERT_EQ(::mkfifo(PathOf("fifo").c_str(), 0600), 0);
  EXPECT_EQ(Transform("fifo", RANGE_WHOLE, OP_ENCRYPT), -1);  // and no hang
  WriteFile(PathOf("real"), "real");
  ASSERT_EQ(::symlink(PathOf("real").c_str(), PathOf("link").c_str()), 0);
  EXPECT_EQ(Transform("link", RANGE_WHOLE, OP_ENCRYPT), -1);
  EXPECT_EQ(ReadFile(PathOf("real")), "real");
}

TEST_F(TransformFileTest, FailurePartWayLeavesEarlierChunksDone) {
  const std::string plain = Random(2 * kChunkBytes + 5, 4);
  WriteFile(PathOf("r"), plain);
  fault_injection::FailNthRead(2);
  EXPECT_EQ(Transform("r", RANGE_WHOLE, OP_ENCRYPT), -2);
  EXPECT_EQ(ReadFile(PathOf("r")), Expected(plain, kChunkBytes));

  WriteFile(PathOf("r"), plain);
  fault_injection::FailNthWrite(1);
  EXPECT_EQ(Transform("r", RANGE_WHOLE, OP_ENCRYPT), -2);
  EXPECT_EQ(ReadFile(PathOf("r")), plain);
}

TEST_F(TransformFileTest, FilesOfTwoGigabytesUseTheLargestRangeAsSize) {
  testing::MakeSparseFile(PathOf("big"), (int64_t{1} << 31) + 10);
  ASSERT_EQ(Transform("big", RANGE_HEAD, OP_ENCRYPT), 0);
  std::string head(8192, '\0');
  crypter_.m_nOperation = OP_ENCRYPT;
  ReferenceTransformBuffer(crypter_, Bytes(head), 8192, 0, kWholeRangeBytes);
  std::string on_disk(8192, '\0');
  std::ifstream(PathOf("big"), std::ios::binary).read(on_disk.data(), 8192);
  EXPECT_EQ(on_disk, head);
  EXPECT_NE(sink_.texts.back().find(u" 2096128K"), std::u16string::npos);
}

}  // namespace
}  // namespace velmora
