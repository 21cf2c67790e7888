// Points XDG_STATE_HOME at a fresh temporary folder for as long as it
// lives, so a test (and every program it starts) keeps its journal, locks
// and records apart from other tests and never touches the real ones.
#ifndef VELMORA_TESTS_SUPPORT_STATE_HOME_H_
#define VELMORA_TESTS_SUPPORT_STATE_HOME_H_

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace velmora::testing {

class ScopedStateHome {
 public:
  ScopedStateHome() {
    if (const char* old = std::getenv("XDG_STATE_HOME")) previous_ = old;
    ::setenv("XDG_STATE_HOME", dir_.path().c_str(), 1);
  }
  ~ScopedStateHome() {
    if (previous_) {
      ::setenv("XDG_STATE_HOME", previous_->c_str(), 1);
    } else {
      ::unsetenv("XDG_STATE_HOME");
    }
  }
  ScopedStateHome(const ScopedStateHome&) = delete;
  ScopedStateHome& operator=(const ScopedStateHome&) = delete;

  const std::string& path() const { return dir_.path(); }
  // The state folder inside it.
  std::string folder() const { return dir_.path() + "/velmora"; }

 private:
  TempDir dir_;
  std::optional<std::string> previous_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_STATE_HOME_H_
