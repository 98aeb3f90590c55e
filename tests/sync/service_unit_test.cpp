// termlink-sync's service pieces that take outside text: the --listen
// address and the metrics page's label values (terminal names).
#include <gtest/gtest.h>

#include "status_server.h"
#include "sync_metrics.h"

namespace {

TEST(SyncListen, AddressesAndRefusals) {
    const struct {
        const char* text;
        const char* host;  // nullptr: refused
        int port;
    } cases[] = {
        {"9817", "127.0.0.1", 9817},    // a bare port stays on this machine
        {"0", "127.0.0.1", 0},          // any free port
        {"0.0.0.0:80", "0.0.0.0", 80},  // every interface, when asked
        {"localhost:65535", "localhost", 65535},
        {"[::1]:9817", "::1", 9817},
        {"[::]:1", "::", 1},
        {"", nullptr, 0},
        {"65536", nullptr, 0},
        {"host:", nullptr, 0},
        {":9817", nullptr, 0},
        {"::1:9817", nullptr, 0},  // IPv6 needs brackets
        {"[::1]9817", nullptr, 0},
        {"[]:9817", nullptr, 0},
        {"host:98x", nullptr, 0},
        {"host:-1", nullptr, 0},
        {"host:000009817", nullptr, 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto a = tlsync::ParseListen(c.text, &error);
        if (!c.host) {
            EXPECT_FALSE(a) << c.text;
            EXPECT_FALSE(error.empty()) << c.text;
            continue;
        }
        ASSERT_TRUE(a) << c.text << ": " << error;
        EXPECT_EQ(a->host, c.host) << c.text;
        EXPECT_EQ(a->port, c.port) << c.text;
    }
}

TEST(SyncMetricsPage, LabelValuesAreEscapedAndAlwaysUtf8) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"front-door", "front-door"},
        {"a\"b\\c\nd", "a\\\"b\\\\c\\nd"},
        {"Zo\xc3\xab \xe2\x82\xac", "Zo\xc3\xab \xe2\x82\xac"},  // valid UTF-8 kept
        {"caf\xe9", "caf\xc3\xa9"},                              // Latin-1 byte
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                        // overlong form
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},            // surrogate
        {"\xe2\x82", "\xc3\xa2\xc2\x82"},                        // cut short
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(tlsync::PrometheusLabel(c.in), c.out) << c.in;
}

}  // namespace
