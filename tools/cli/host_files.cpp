// Owner-only file creation, the one file-mode service the tool needs.
#include "cli/host.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace tlcli::host {

#if defined(_WIN32)
OwnerOnlyFiles::OwnerOnlyFiles() {}
OwnerOnlyFiles::~OwnerOnlyFiles() {}
#else
OwnerOnlyFiles::OwnerOnlyFiles() : previous_(::umask(077)) {}
OwnerOnlyFiles::~OwnerOnlyFiles() {
    ::umask(static_cast<mode_t>(previous_));
}
#endif

}  // namespace tlcli::host
