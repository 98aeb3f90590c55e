// termlink connects to the simulated terminal model over every plug-in and
// learns what the model is.
#include <gtest/gtest.h>

#include "harness.h"
#include "session/session.h"
#include "termsim/model.h"

namespace {

TEST(ModelTerminal, EveryPluginProbesTheSameTerminal) {
    termsim::Config config;
    config.profile = termsim::Profile::Extended;
    config.commKey = 4711;
    termsim::Model model(config);
    e2e::SimTerminal sim(model);

    struct Case {
        const char* name;
        TL_HANDLE handle;
        bool network;
    };
    Case cases[] = {{"NET", sim.ConnectNet(4711), true},
                    {"NETEX", sim.ConnectNetEx(4711), true},
                    {"USB", sim.ConnectUsb(4711), false},
                    {"COM", sim.ConnectCom(4711), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* s = tl::as_session(c.handle);
        ASSERT_NE(s, nullptr) << TL_LastError();
        EXPECT_EQ(std::string(s->firmwareVersion, 4), "Ver ");
        EXPECT_EQ(s->extendFmt, 1);
        EXPECT_EQ(s->extendOpLog, c.network ? 1 : 0);
    }
    // Four sessions at once, on four links; all close cleanly.
    for (const auto& c : cases) EXPECT_EQ(TL_Close(c.handle), 1);
    EXPECT_EQ(sim.ConnectNet(4712), nullptr);
}

}  // namespace
