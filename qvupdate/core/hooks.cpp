#include "core/hooks.h"

#include <memory>
#include <random>

#include "platform/platform.h"

namespace qvupdate {

Hooks DefaultHooks() {
    Hooks h;
    h.sleep = platform::SleepMs;
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    h.random = [engine] { return static_cast<int>((*engine)() & 0x7FFFFFFF); };
    h.flushArp = platform::FlushArpCache;
    return h;
}

}  // namespace qvupdate
