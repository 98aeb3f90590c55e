// Shared helpers for termlink unit tests against the scripted transport.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fakepmx/fake_portmux.h"
#include "session/session.h"
#include "termlink.h"

namespace tltest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes U32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline Bytes Text(const std::string& s, bool nul = true) {
    Bytes b(s.begin(), s.end());
    if (nul) b.push_back(0);
    return b;
}

// Resets the fake transport before each test.
class FakeTransportTest : public ::testing::Test {
  protected:
    void SetUp() override { fakepmx::Reset(); }
    void TearDown() override { fakepmx::Reset(); }

    // Connects over the network plug-in to a terminal described by `term` and
    // then forgets the connect's calls, so a test sees only its own traffic.
    tl::DeviceSession* ConnectTo(const fakepmx::Terminal& term) {
        fakepmx::SetResponder(term);
        auto* s = tl::as_session(TL_Connect_NET("10.0.0.5", 4370, 0, 0, 0));
        fakepmx::SetResponder(nullptr);
        ClearCalls();
        return s;
    }
    void ClearCalls() {
        // Keep open-handle accounting: only the log is cleared.
        callsSeen_ = fakepmx::Calls().size();
    }
    // Calls made since the last ClearCalls().
    std::vector<fakepmx::Call> NewCalls() const {
        const auto& all = fakepmx::Calls();
        return std::vector<fakepmx::Call>(all.begin() + static_cast<long>(callsSeen_), all.end());
    }

  private:
    std::size_t callsSeen_ = 0;
};

}  // namespace tltest
