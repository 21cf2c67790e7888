#include "job/job_host.h"

namespace velmora {

void LoadStartupSettings(JobHost& host) {
  host.ext_rule_ = 1;
  host.job_.mode = 0;
  host.crypter_.BuildAlphabets();
}

}  // namespace velmora
