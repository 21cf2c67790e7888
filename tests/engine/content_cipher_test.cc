// The content cipher: the fast transform against the definition, and the
// in-place file transform on real files.

#include <gtest/gtest.h>

#include <fcntl.h>
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

namespace velmora {
namespace {

using testing::ReferenceTransformBuffer;
using testing::TempDir;

std::vector<uint8_t> RandomBytes(std::size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

std::u16string RandomPassword(std::mt19937& random, int length) {
  std::u16string password;
  for (int i = 0; i < length; ++i) {
    password.push_back(static_cast<char16_t>(1 + random() % 0xFFFE));
  }
  return password;
}

TEST(TransformBufferTest, MatchesTheDefinitionForAnyPasswordOffsetAndSize) {
  std::mt19937 random(42);
  const int lengths[] = {1, 2, 3, 4, 5, 16, 255, 1019, 1020};
  for (int length : lengths) {
    Crypter crypter;
    crypter.SetPassword(RandomPassword(random, length));
    for (int trial = 0; trial < 6; ++trial) {
      const int32_t count = static_cast<int32_t>(random() % 5000);
      const int32_t offset =
          trial == 0 ? 0 : static_cast<int32_t>(random() % 2047) * kChunkBytes;
      const int32_t size = trial == 1 ? kWholeRangeBytes
                                      : static_cast<int32_t>(random() % INT32_MAX);
      for (uint32_t operation : {OP_ENCRYPT, OP_DECRYPT}) {
        crypter.m_nOperation = operation;
        std::vector<uint8_t> fast = RandomBytes(count, random());
        std::vector<uint8_t> slow = fast;
        crypter.TransformBuffer(fast.data(), count, offset, size);
        ReferenceTransformBuffer(crypter, slow.data(), count, offset, size);
        ASSERT_EQ(fast, slow) << "length " << length << " count " << count;
      }
    }
  }
}

TEST(TransformBufferTest, WholeChunkMatchesAndRoundTrips) {
  Crypter crypter;
  crypter.SetPassword(u"\u3042bc");
  const std::vector<uint8_t> plain = RandomBytes(kChunkBytes, 3);
  std::vector<uint8_t> fast = plain;
  std::vector<uint8_t> slow = plain;
  crypter.m_nOperation = OP_ENCRYPT;
  crypter.TransformBuffer(fast.data(), kChunkBytes, kChunkBytes, 3 * kChunkBytes);
  ReferenceTransformBuffer(crypter, slow.data(), kChunkBytes, kChunkBytes,
                           3 * kChunkBytes);
  ASSERT_EQ(fast, slow);
  crypter.m_nOperation = OP_DECRYPT;
  crypter.TransformBuffer(fast.data(), kChunkBytes, kChunkBytes, 3 * kChunkBytes);
  EXPECT_EQ(fast, plain);
}

TEST(TransformBufferTest, PasswordUnitContributesItsLowByte) {
  // With one block the key-stream term is fixed; changing unit 0 from 'B'
  // (0x42) to U+3042 must not change byte 0 at all.
  Crypter a, b;
  a.SetPassword(u"B");
  b.SetPassword(u"\u3042");
  uint8_t x[1] = {0}, y[1] = {0};
  a.TransformBuffer(x, 1, 0, 100);
  b.TransformBuffer(y, 1, 0, 100);
  const uint8_t expected_a = static_cast<uint8_t>(
      KeyByte(a.m_dataKeys[0] + 100) + 0 + 0x42);
  EXPECT_EQ(x[0], expected_a);
  EXPECT_EQ(y[0], static_cast<uint8_t>(KeyByte(b.m_dataKeys[0] + 100) + 0x42));
}

TEST(TransformBufferTest, NothingHappensForEmptyCounts) {
  Crypter crypter;
  crypter.SetPassword(u"pw");
  uint8_t byte = 7;
  crypter.TransformBuffer(&byte, 0, 0, 1);
  crypter.TransformBuffer(&byte, -5, 0, 1);
  EXPECT_EQ(byte, 7);
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

  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(PathOf(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<uint8_t> Read(const std::string& name) {
    std::ifstream in(PathOf(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  // Makes |name| the current target with the given class and operation.
  void Target(const std::string& name, uint16_t range_class,
              uint32_t operation) {
    crypter_.m_nOperation = operation;
    crypter_.m_strPlainName = u"plain";
    crypter_.m_strCipherName = Utf16FromWtf8(name);
    if (operation == OP_DECRYPT) {
      std::swap(crypter_.m_strPlainName, crypter_.m_strCipherName);
    }
    crypter_.SetClass(range_class);
  }

  // What the file should hold after transforming it chunk by chunk.
  std::vector<uint8_t> Expected(std::vector<uint8_t> bytes, int32_t limit,
                                uint32_t operation) {
    crypter_.m_nOperation = operation;
    const int32_t size = static_cast<int32_t>(bytes.size());
    const int32_t end = std::min(size, limit);
    for (int32_t offset = 0; offset < end; offset += kChunkBytes) {
      ReferenceTransformBuffer(crypter_, bytes.data() + offset,
                               std::min(kChunkBytes, end - offset), offset,
                               size);
    }
    return bytes;
  }

  TempDir dir_;
  Crypter crypter_;
  RecordingSink sink_;
};

TEST_F(TransformFileTest, EmptyFileShowsZeroOfZero) {
  Write("e", {});
  Target("e", RANGE_WHOLE, OP_ENCRYPT);
  EXPECT_EQ(crypter_.TransformFile(), 0);
  ASSERT_EQ(sink_.texts.size(), 1u);
  EXPECT_EQ(sink_.texts[0], Utf16FromWtf8(dir_.path()) +
                                u"\r\n       0K/       0K : plain  \u2192  e");
}

TEST_F(TransformFileTest, NameOnlyClassNeedsAnOpenableFile) {
  Write("f", RandomBytes(100, 1));
  Target("f", RANGE_NAME_ONLY, OP_ENCRYPT);
  EXPECT_EQ(crypter_.TransformFile(), 0);
  EXPECT_EQ(Read("f"), RandomBytes(100, 1));
  Target("missing", RANGE_NAME_ONLY, OP_ENCRYPT);
  EXPECT_EQ(crypter_.TransformFile(), -1);
}

TEST_F(TransformFileTest, HeadClassCoversAtMost8192Bytes) {
  for (int size : {5000, 20000}) {
    const auto plain = RandomBytes(size, size);
    Write("h", plain);
    Target("h", RANGE_HEAD, OP_ENCRYPT);
    ASSERT_EQ(crypter_.TransformFile(), 0);
    const auto cipher = Read("h");
    EXPECT_EQ(cipher, Expected(plain, 8192, OP_ENCRYPT));
    if (size > 8192) {
      EXPECT_TRUE(std::equal(cipher.begin() + 8192, cipher.end(),
                             plain.begin() + 8192));
    }
    Target("h", RANGE_HEAD, OP_DECRYPT);
    ASSERT_EQ(crypter_.TransformFile(), 0);
    EXPECT_EQ(Read("h"), plain);
  }
}

TEST_F(TransformFileTest, WholeClassWorksInMegabyteChunks) {
  // Three chunks and a bit: the password term restarts in every chunk while
  // the position term runs on.
  const auto plain = RandomBytes(3 * kChunkBytes + 777, 9);
  Write("w", plain);
  Target("w", RANGE_WHOLE, OP_ENCRYPT);
  ASSERT_EQ(crypter_.TransformFile(), 0);
  EXPECT_EQ(Read("w"), Expected(plain, kWholeRangeBytes, OP_ENCRYPT));
  EXPECT_EQ(sink_.texts.size(), 5u);  // 0 and after each of four chunks
  EXPECT_NE(sink_.texts.back().find(u"    3072K/    3072K"), std::u16string::npos);

  Crypter other;
  other.SetPassword(u"another");
  other.SetDirectory(crypter_.GetDirectory());
  other.m_nOperation = OP_DECRYPT;
  other.m_strPlainName = u"w";
  other.SetClass(RANGE_WHOLE);
  ASSERT_EQ(other.TransformFile(), 0);  // wrong password: no error...
  EXPECT_NE(Read("w"), plain);          // ...and wrong contents
}

TEST_F(TransformFileTest, RefusesWhatIsNotARegularFile) {
  ASSERT_EQ(::mkfifo(PathOf("fifo").c_str(), 0600), 0);
  Target("fifo", RANGE_WHOLE, OP_ENCRYPT);
  EXPECT_EQ(crypter_.TransformFile(), -1);  // and does not hang
  Write("real", RandomBytes(10, 2));
  ASSERT_EQ(::symlink(PathOf("real").c_str(), PathOf("link").c_str()), 0);
  Target("link", RANGE_WHOLE, OP_ENCRYPT);
  EXPECT_EQ(crypter_.TransformFile(), -1);
  EXPECT_EQ(Read("real"), RandomBytes(10, 2));
}

TEST_F(TransformFileTest, ReadOrWriteFailurePartWayReportsMinusTwo) {
  const auto plain = RandomBytes(2 * kChunkBytes + 5, 4);
  Write("r", plain);
  Target("r", RANGE_WHOLE, OP_ENCRYPT);
  fault_injection::FailNthRead(2);
  EXPECT_EQ(crypter_.TransformFile(), -2);
  auto after = Read("r");
  auto expected = Expected(plain, kChunkBytes, OP_ENCRYPT);  // first chunk only
  EXPECT_EQ(after, expected);

  Write("r", plain);
  fault_injection::FailNthWrite(1);
  Target("r", RANGE_WHOLE, OP_ENCRYPT);
  EXPECT_EQ(crypter_.TransformFile(), -2);
  EXPECT_EQ(Read("r"), plain);
}

TEST_F(TransformFileTest, SparseFileOfTwoGigabytesUsesTheLargestRange) {
  // 2 GiB + 10 bytes, sparse: only the head is transformed (class 1), with
  // the size 2146435072 entering the key stream.
  const std::string path = PathOf("big");
  {
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, (int64_t{1} << 31) + 10), 0);
    ::close(fd);
  }
  Target("big", RANGE_HEAD, OP_ENCRYPT);
  ASSERT_EQ(crypter_.TransformFile(), 0);
  std::vector<uint8_t> head(8192);
  {
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head.data()), 8192);
  }
  std::vector<uint8_t> expected(8192, 0);
  crypter_.m_nOperation = OP_ENCRYPT;
  ReferenceTransformBuffer(crypter_, expected.data(), 8192, 0, kWholeRangeBytes);
  EXPECT_EQ(head, expected);
  EXPECT_NE(sink_.texts.back().find(u" 2096128K"), std::u16string::npos);
}

}  // namespace
}  // namespace velmora
