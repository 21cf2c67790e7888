#include "job/job_host.h"

namespace velmora {

void LoadStartupSettings(JobHost& host) {
  host.m_nExtRule = 1;
  host.m_job.m_nMode = 0;
  host.m_crypter.BuildAlphabets();
}

}  // namespace velmora
