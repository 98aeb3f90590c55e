// POSIX side of the platform layer.
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"

namespace qvupdate::platform {

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void FlushArpCache() {
    // Deliberately nothing: flushing the neighbour table on Linux needs root
    // and disturbs every other connection of the machine. A terminal that
    // changed its address is found again once the kernel's entry ages out.
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace qvupdate::platform
