// A fresh directory under $TMPDIR (or /tmp), removed with everything in it
// when the object goes away.
#ifndef VELMORA_TESTS_SUPPORT_TEMP_DIR_H_
#define VELMORA_TESTS_SUPPORT_TEMP_DIR_H_

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace velmora::testing {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    path_ = std::string(base != nullptr ? base : "/tmp") + "/velmora-test-XXXXXX";
    if (::mkdtemp(path_.data()) == nullptr) path_.clear();
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code walk, ignored;
    if (path_.empty()) return;
    // Directories a test left read-only go too.
    for (fs::recursive_directory_iterator it(path_, walk), end; !walk && it != end; it.increment(walk)) {
      if (!it->is_symlink(ignored) && it->is_directory(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
      }
    }
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_TEMP_DIR_H_
