// Content cipher throughput.
//
//   velmora_bench                     all benchmarks
//   velmora_bench --benchmark_filter=File
//
// TransformBuffer over 64 MiB for several password lengths, the fast form
// next to the definition's per-byte form; the same over 64 MiB (memory)
// and 256 KiB (one step of a run, in the core's cache) beside memcpy of
// the same buffer; and the journaled transform of a
// 256 MiB file in the page cache, as a run does it, next to copying the
// same file and to rewriting it in place without the cipher. The journal
// goes to a state folder inside the benchmark's temporary folder.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/crypter.h"
#include "platform/wtf8.h"
#include "state/journal.h"
#include "state/journaled_transform.h"
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
        testing::ReferenceTransformBuffer(crypter, Direction::kEncrypt, chunk, kChunkBytes,
                                          static_cast<int32_t>(offset),
                                          static_cast<int32_t>(kBufferBytes));
      } else {
        crypter.TransformBuffer(Direction::kEncrypt, chunk, kChunkBytes,
                                static_cast<int32_t>(offset), static_cast<int32_t>(kBufferBytes));
      }
    }
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBufferBytes);
}

void BM_TransformBuffer(benchmark::State& state) { TransformChunks(state, false); }
void BM_TransformBufferReference(benchmark::State& state) { TransformChunks(state, true); }
BENCHMARK(BM_TransformBuffer)->Arg(2)->Arg(16)->Arg(255)->Arg(1020)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransformBufferReference)
    ->Arg(2)
    ->Arg(16)
    ->Arg(255)
    ->Arg(1020)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// TransformBuffer over a buffer of state.range(0) bytes, 1020-unit password,
// on the vectors state.range(1) names (CipherWidth: 0 the widest, 1 the
// baseline, 2 AVX2, 3 AVX-512); beside it memcpy of the same bytes.
void BM_TransformBufferOf(benchmark::State& state) {
  const auto width = static_cast<CipherWidth>(state.range(1));
  if (!CipherWidthSupported(width)) {
    state.SkipWithError("not on this processor");
    return;
  }
  Crypter crypter;
  crypter.SetPassword(PasswordOfLength(1020));
  const auto bytes = static_cast<int32_t>(state.range(0));
  std::vector<uint8_t> buffer(static_cast<std::size_t>(bytes), 0x5A);
  for (auto _ : state) {
    crypter.TransformBuffer(Direction::kEncrypt, buffer.data(), bytes, 0, kWholeRangeBytes, width);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
void BM_MemcpyBufferOf(benchmark::State& state) {
  const auto bytes = static_cast<std::size_t>(state.range(0));
  std::vector<uint8_t> from(bytes, 0x5A);
  std::vector<uint8_t> to(bytes, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_TransformBufferOf)->ArgsProduct({{256 << 10, 64 << 20}, {0, 1, 2, 3}});
BENCHMARK(BM_MemcpyBufferOf)->Arg(256 << 10)->Arg(64 << 20);

// A 256 MiB file under $TMPDIR, written once and kept in the page cache,
// beside the state folder the journal goes to.
class CachedFile {
 public:
  CachedFile() {
    const char* base = std::getenv("TMPDIR");
    dir_ = std::string(base != nullptr ? base : "/tmp") + "/velmora-bench-XXXXXX";
    if (::mkdtemp(dir_.data()) == nullptr) return;
    ::setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
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
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
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

// Each pass records the intention, makes it durable, transforms the whole
// file with its page digests journaled and ends the entry; the passes
// alternate between enciphering and deciphering the same file.
void BM_TransformJournaled(benchmark::State& state) {
  const std::string& dir = TheFile().dir();
  std::unique_ptr<state::Journal> journal = state::Journal::Start(dir);
  if (!journal) {
    state.SkipWithError("no journal");
    return;
  }
  Crypter crypter;
  crypter.SetPassword(PasswordOfLength(state.range(0)));
  state::EntryRecord record;
  record.kind = state::EntryKind::kRegular;
  record.range_bytes = RangeBytes(RangeClass::kWhole);
  record.size = kFileBytes;
  record.cipher_size = static_cast<int32_t>(kFileBytes);
  const std::u16string path = Utf16FromWtf8(TheFile().path());
  Direction operation = Direction::kEncrypt;
  for (auto _ : state) {
    record.operation = operation;
    record.id = journal->Begin(record);
    if (!journal->Commit() ||
        state::TransformJournaled(crypter, *journal, record, path, state::PreparedContents{},
                                  nullptr) != state::TransformOutcome::kDone) {
      state.SkipWithError("transform failed");
    }
    journal->End(record.id);
    operation = Opposite(operation);
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}
BENCHMARK(BM_TransformJournaled)->Arg(16)->Arg(1020)->Unit(benchmark::kMillisecond);

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
