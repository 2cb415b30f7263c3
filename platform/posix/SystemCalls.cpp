#include "platform/posix/SystemCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>

namespace srdw {
SRDW_DEFINE_SYSTEM_CALLS(posix, SRDW_POSIX_SYSTEM_CALLS)
}  // namespace srdw
