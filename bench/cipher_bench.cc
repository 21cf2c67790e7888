// Content cipher throughput.
//
//   velmora_bench                     all benchmarks
//   velmora_bench --benchmark_filter=File
//
// TransformBuffer over 64 MiB for several password lengths, the fast form
// next to the definition's per-byte form; and TransformFile over a 256 MiB
// file in the page cache next to copying the same file and to rewriting it
// in place without the cipher.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/crypter.h"
#include "platform/wtf8.h"
#include "tests/support/reference_transform.h"

namespace velmora {
namespace {

constexpr int64_t kBufferBytes = int64_t{64} << 20;
constexpr int64_t kFileBytes = int64_t{256} << 20;

std::u16string PasswordOfLength(int64_t length) {
  std::u16string password;
  for (int64_t i = 0; i < length; ++i) {
    password.push_back(static_cast<char16_t>(0x3042 + i % 83));
  }
  return password;
}

void TransformChunks(benchmark::State& state, bool reference) {
  Crypter crypter;
  crypter.SetPassword(PasswordOfLength(state.range(0)));
  std::vector<uint8_t> buffer(kBufferBytes, 0x5A);
  for (auto _ : state) {
    for (int64_t offset = 0; offset < kBufferBytes; offset += kChunkBytes) {
      uint8_t* chunk = buffer.data() + offset;
      if (reference) {
        testing::ReferenceTransformBuffer(crypter, chunk, kChunkBytes,
                                          static_cast<int32_t>(offset),
                                          static_cast<int32_t>(kBufferBytes));
      } else {
        crypter.TransformBuffer(chunk, kChunkBytes, static_cast<int32_t>(offset),
                                static_cast<int32_t>(kBufferBytes));
      }
    }
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBufferBytes);
}

void BM_TransformBuffer(benchmark::State& state) { TransformChunks(state, false); }
void BM_TransformBufferReference(benchmark::State& state) {
  TransformChunks(state, true);
}
BENCHMARK(BM_TransformBuffer)->Arg(2)->Arg(16)->Arg(255)->Arg(1020)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransformBufferReference)->Arg(2)->Arg(16)->Arg(255)->Arg(1020)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

// A 256 MiB file under $TMPDIR, written once and kept in the page cache.
class CachedFile {
 public:
  CachedFile() {
    const char* base = std::getenv("TMPDIR");
    dir_ = std::string(base != nullptr ? base : "/tmp") + "/velmora-bench-XXXXXX";
    if (::mkdtemp(dir_.data()) == nullptr) return;
    path_ = dir_ + "/data.bin";
    copy_ = dir_ + "/copy.bin";
    int fd = ::open(path_.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    std::vector<char> block(kChunkBytes, 'x');
    for (int64_t done = 0; done < kFileBytes; done += kChunkBytes) {
      if (::write(fd, block.data(), block.size()) < 0) break;
    }
    ::close(fd);
  }
  ~CachedFile() {
    ::unlink(copy_.c_str());
    ::unlink(path_.c_str());
    ::rmdir(dir_.c_str());
  }
  const std::string& dir() const { return dir_; }
  const std::string& path() const { return path_; }
  const std::string& copy() const { return copy_; }

 private:
  std::string dir_, path_, copy_;
};

CachedFile& TheFile() {
  static CachedFile file;
  return file;
}

void BM_TransformFile(benchmark::State& state) {
  Crypter crypter;
  crypter.SetPassword(PasswordOfLength(state.range(0)));
  crypter.SetDirectory(Utf16FromWtf8(TheFile().dir()));
  crypter.m_strPlainName = u"data.bin";  // the same file both ways
  crypter.m_strCipherName = u"data.bin";
  crypter.SetClass(RANGE_WHOLE);
  uint32_t operation = OP_ENCRYPT;
  for (auto _ : state) {
    crypter.m_nOperation = operation;
    if (crypter.TransformFile() != 0) state.SkipWithError("transform failed");
    operation = operation == OP_ENCRYPT ? OP_DECRYPT : OP_ENCRYPT;
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}
BENCHMARK(BM_TransformFile)->Arg(16)->Arg(1020)->Unit(benchmark::kMillisecond);

void BM_CopyFile(benchmark::State& state) {
  for (auto _ : state) {
    int in = ::open(TheFile().path().c_str(), O_RDONLY);
    int out = ::open(TheFile().copy().c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    std::vector<char> block(kChunkBytes);
    ssize_t n;
    while ((n = ::read(in, block.data(), block.size())) > 0) {
      if (::write(out, block.data(), static_cast<size_t>(n)) != n) break;
    }
    ::close(out);
    ::close(in);
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}
BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond);

// The transform's own I/O without the cipher: read each chunk and write it
// back in place.
void BM_RewriteFileInPlace(benchmark::State& state) {
  std::vector<char> block(kChunkBytes);
  for (auto _ : state) {
    int fd = ::open(TheFile().path().c_str(), O_RDWR);
    for (off_t offset = 0; offset < kFileBytes; offset += kChunkBytes) {
      if (::pread(fd, block.data(), block.size(), offset) <= 0) break;
      if (::pwrite(fd, block.data(), block.size(), offset) <= 0) break;
    }
    ::close(fd);
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}
BENCHMARK(BM_RewriteFileInPlace)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
