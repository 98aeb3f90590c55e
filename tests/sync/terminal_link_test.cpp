// termlink-sync's terminal link against an in-process simulated terminal:
// what a failed connection leaves behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "terminal_link.h"
#include "termsim/model.h"
#include "termsim/server.h"

namespace {

int OpenDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// The terminal answers the connection and then closes the stream, so the
// link fails while reading the serial number, after the library opened a
// session: the session (and its socket) is closed all the same.
TEST(SyncTerminalLink, AConnectionThatFailsHalfWayKeepsNothingOpen) {
    termsim::Model model(termsim::Config{});
    termsim::ServeOptions options;
    options.udp = false;
    options.faults.cutAfterBytes = 200;  // closed after the first reply
    termsim::TerminalServer server(model, options);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    const tlsync::FleetEntry entry{"t1", "tcp:127.0.0.1:" + std::to_string(server.Port()), 0};
    auto attempt = [&] {
        try {
            tlsync::TerminalLink link(entry, 1000);
            return std::string("connected");
        } catch (const tlsync::LinkError& e) {
            EXPECT_TRUE(e.contacted) << e.what();
            return std::string(e.what());
        }
    };
    EXPECT_NE(attempt(), "connected");  // loads the transport once
    const int before = OpenDescriptors();
    for (int i = 0; i < 4; ++i) EXPECT_NE(attempt(), "connected");
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
