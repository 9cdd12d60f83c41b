#include "platform/quiet.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

void silenceStandardError() {
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;  // nothing better to point it at; leave it
  dup2(null, STDERR_FILENO);
  if (null != STDERR_FILENO) close(null);
}

}  // namespace platform
