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
    std::string pattern =
        std::string(base != nullptr ? base : "/tmp") + "/velmora-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    // Restore permissions first so that read-only test entries go too.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied,
             ignored);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
      if (!it->is_symlink(ignored)) {
        std::filesystem::permissions(it->path(),
                                     std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add,
                                     ignored);
      }
    }
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_TEMP_DIR_H_
