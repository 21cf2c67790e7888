#include "state/password_records.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/directory_reader.h"
#include "platform/file_system.h"
#include "state/state_folder.h"

namespace velmora::state {
namespace {

constexpr char kFolder[] = "passwords";
constexpr std::string_view kTreePrefix = "tree ";
// A record is a verifier and at most kTreesKept short lines; anything
// longer is not ours.
constexpr std::size_t kMostRecordBytes = 1 << 20;

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 15]);
  }
  return hex;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool FromHex(std::string_view hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes->clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexValue(hex[i]);
    const int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<char>(high << 4 | low));
  }
  return true;
}

// "tree <hex path> <digest>,<digest>..." without the line end.
bool DecodeBinding(std::string_view line, TreeBinding* binding) {
  if (!line.starts_with(kTreePrefix)) return false;
  line.remove_prefix(kTreePrefix.size());
  const std::size_t space = line.find(' ');
  if (!FromHex(line.substr(0, space), &binding->real_path) || binding->real_path.empty() ||
      binding->real_path[0] != '/') {
    return false;
  }
  binding->name_digests.clear();
  if (space == std::string_view::npos) return true;
  std::string_view digests = line.substr(space + 1);
  while (!digests.empty()) {
    const std::size_t comma = digests.find(',');
    const std::string_view digest = digests.substr(0, comma);
    if (!digest.empty()) binding->name_digests.emplace_back(digest);
    if (comma == std::string_view::npos) break;
    digests.remove_prefix(comma + 1);
  }
  std::sort(binding->name_digests.begin(), binding->name_digests.end());
  return true;
}

}  // namespace

std::string EncodeRecord(const PasswordRecord& record) {
  std::string bytes = record.verifier + "\n";
  for (const TreeBinding& tree : record.trees) {
    bytes += kTreePrefix;
    bytes += Hex(tree.real_path);
    bytes += ' ';
    for (std::size_t i = 0; i < tree.name_digests.size(); ++i) {
      if (i != 0) bytes += ',';
      bytes += tree.name_digests[i];
    }
    bytes += '\n';
  }
  return bytes;
}

bool DecodeRecord(std::string_view bytes, PasswordRecord* record) {
  const std::size_t end = bytes.find('\n');
  record->verifier = std::string(bytes.substr(0, end));
  record->trees.clear();
  if (record->verifier.empty()) return false;
  if (end == std::string_view::npos) return true;
  bytes.remove_prefix(end + 1);
  while (!bytes.empty()) {
    const std::size_t line_end = bytes.find('\n');
    // A line cut short by a full disk is no binding.
    if (line_end == std::string_view::npos) break;
    TreeBinding binding;
    if (DecodeBinding(bytes.substr(0, line_end), &binding)) {
      record->trees.push_back(std::move(binding));
    }
    bytes.remove_prefix(line_end + 1);
  }
  return true;
}

std::string PasswordRecordsFolder() { return EnsureStateSubfolder(kFolder); }

bool LoadRecord(const std::string& file, PasswordRecord* record) {
  std::string bytes;
  if (!ReadFileHead(file, kMostRecordBytes, &bytes) || !DecodeRecord(bytes, record)) {
    return false;
  }
  record->file = file;
  return true;
}

std::vector<PasswordRecord> LoadRecords(const std::string& folder, const std::string& digest) {
  const std::string prefix = digest.empty() ? std::string() : digest + "-";
  // Files being written end in ".new".
  std::vector<std::string> names = FolderNames(folder, [&](std::string_view name) {
    return name.starts_with(prefix) && name.find('.') == std::string_view::npos;
  });
  std::sort(names.begin(), names.end());
  std::vector<PasswordRecord> records;
  for (const std::string& name : names) {
    PasswordRecord record;
    if (LoadRecord(folder + "/" + name, &record)) records.push_back(std::move(record));
  }
  return records;
}

bool StoreRecord(const PasswordRecord& record) {
  if (record.file.empty()) return false;
  struct stat before {};
  const bool existed = ::lstat(record.file.c_str(), &before) == 0;
  if (!WriteFileDurably(record.file, EncodeRecord(record))) return false;
  // Rewritten by root (through sudo, say), a user's record stays the user's.
  // Left root's, the user could no longer read it: report it as not kept.
  if (existed && before.st_uid != ::geteuid()) {
    return ::lchown(record.file.c_str(), before.st_uid, before.st_gid) == 0;
  }
  return true;
}

RecordsLock::RecordsLock(const std::string& folder)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

RecordsLock::~RecordsLock() {
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

bool BindsPath(const TreeBinding& binding, const std::string& real_path) {
  return IsSameOrBelow(real_path, binding.real_path) || IsSameOrBelow(binding.real_path, real_path);
}

bool BindsNames(const TreeBinding& binding, const std::vector<std::string>& name_digests) {
  return std::any_of(binding.name_digests.begin(), binding.name_digests.end(),
                     [&](const std::string& digest) {
                       return std::binary_search(name_digests.begin(), name_digests.end(), digest);
                     });
}

}  // namespace velmora::state
