// termlink-sync's parsers of outside input: the fleet file, connection texts
// and real-time attendance events; and the status page's escaping.
#include <gtest/gtest.h>

#include <sstream>

#include "fleet_file.h"
#include "status_view.h"
#include "terminal_link.h"

namespace {

using tlsync::ParseFleet;

TEST(SyncFleetFile, GoodLinesKeptBrokenLinesNamed) {
    std::istringstream in(
        "# comment line\n"
        "\n"
        "front  udp:10.0.0.5  key=1234   # trailing comment\n"
        "back\ttcp:10.0.0.6:5005\n"
        "gate com:/dev/ttyS0:9600:3\n"
        "box usb:2\n"
        "lonely\n"
        "x ftp:host\n"
        "y udp:h:0\n"
        "z udp:h key=abc\n"
        "w udp:h key=-1\n"
        "v udp:h colour=red\n"
        "front udp:10.0.0.9\n"
        "c com:COM1:fast\n");
    const auto f = ParseFleet(in);
    ASSERT_EQ(f.entries.size(), 4u);
    EXPECT_EQ(f.entries[0].name, "front");
    EXPECT_EQ(f.entries[0].connection, "udp:10.0.0.5");
    EXPECT_EQ(f.entries[0].key, 1234);
    EXPECT_EQ(f.entries[1].connection, "tcp:10.0.0.6:5005");
    EXPECT_EQ(f.entries[1].key, 0);
    const std::vector<std::string> expected = {
        "line 7: expected NAME CONNECTION [key=N]",
        "line 8: unknown connection kind 'ftp' (udp, tcp, com or usb)",
        "line 9: port must be 1-65535: 0",
        "line 10: unknown option 'key=abc' (the only option is key=N)",
        "line 11: unknown option 'key=-1' (the only option is key=N)",
        "line 12: unknown option 'colour=red' (the only option is key=N)",
        "line 13: terminal 'front' is listed twice",
        "line 14: bad baud rate: fast",
    };
    EXPECT_EQ(f.errors, expected);
}

TEST(SyncFleetFile, Endpoints) {
    std::string error;
    auto e = tlsync::ParseEndpoint("com:COM3:38400:7", &error);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, tlsync::Endpoint::Kind::Com);
    EXPECT_EQ(e->host, "COM3");
    EXPECT_EQ(e->baud, 38400);
    EXPECT_EQ(e->station, 7);
    e = tlsync::ParseEndpoint("tcp:terminal.example", &error);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->port, 4370);
    for (const char* bad :
         {"udp", "udp:", "udp:h:1:2", "usb:", "usb:x", "com:", "com:C:1:0", "tcp:h:99999", ""})
        EXPECT_FALSE(tlsync::ParseEndpoint(bad, &error)) << bad;
}

TEST(SyncEvents, AttendanceEventsInEachForm) {
    // state 1, verify 2, time 2024-03-05 08:09:10, work code 77
    const unsigned time = ((((24u * 12 + 2) * 31 + 4) * 24 + 8) * 60 + 9) * 60 + 10;
    auto tail = [&](std::vector<unsigned char> v) {
        v.push_back(1);
        v.push_back(2);
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<unsigned char>(time >> (8 * i)));
        for (int i = 0; i < 4; ++i) v.push_back(i == 0 ? 77 : 0);
        v.push_back(0);
        v.push_back(0);
        return v;
    };
    std::vector<unsigned char> text(24, 0);
    for (int i = 0; i < 24; ++i) text[i] = 'A' + i % 26;  // fills the field: no terminator
    const auto t = tail(text);
    const auto n = tail({0x39, 0x30, 0, 0});  // 12345
    const auto c = tail({0x07, 0x00});        // internal 7
    std::map<int, std::string> pins = {{7, "900007"}};

    auto p = tlsync::DecodeAttendanceEvent(t.data(), 36, {});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->user, "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_EQ(p->time, "2024-03-05 08:09:10");
    EXPECT_EQ(p->state, 1);
    EXPECT_EQ(p->verify, 2);
    EXPECT_EQ(p->workCode, 77);
    p = tlsync::DecodeAttendanceEvent(n.data(), 16, {});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->user, "12345");
    EXPECT_EQ(p->time, "2024-03-05 08:09:10");
    p = tlsync::DecodeAttendanceEvent(c.data(), 14, pins);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->user, "900007");
    EXPECT_EQ(tlsync::DecodeAttendanceEvent(c.data(), 14, {})->user, "7");
    EXPECT_FALSE(tlsync::DecodeAttendanceEvent(c.data(), 15, {}));
    const std::vector<unsigned char> empty(36, 0);
    EXPECT_FALSE(tlsync::DecodeAttendanceEvent(empty.data(), 36, {}));  // no user ID
}

TEST(SyncStatus, TimesAndHtmlEscaping) {
    EXPECT_EQ(tlsync::UtcText(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(tlsync::UtcText(1733650000123), "2024-12-08T09:26:40Z");
    tlsync::TerminalStatus s;
    s.name = "<script>alert('x')</script>";
    s.lastError = "a & b \"c\"";
    std::ostringstream out;
    tlsync::WriteStatusHtml(out, {s}, 0);
    const std::string page = out.str();
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("a &amp; b &quot;c&quot;"), std::string::npos);
}

// The one-word state, and what the page keeps on one line.
TEST(SyncStatus, StatesAndUnbrokenCells) {
    const tlsync::Millis now = 1733650000000;
    const struct {
        const char* error;
        bool leased;
        bool synced;
        const char* state;
    } cases[] = {
        {"did not answer", true, true, "failing"},  // --follow keeps trying a dead terminal
        {"did not answer", false, true, "failing"},
        {"", true, true, "syncing"},
        {"", false, true, "ok"},
        {"", false, false, "never"},
    };
    for (const auto& c : cases) {
        tlsync::TerminalStatus s;
        s.name = "t1";
        s.serial = "SN 0001 A";
        s.lastError = c.error;
        if (c.leased) {
            s.leaseOwner = "sync-1";
            s.leaseUntil = now + 60000;
        }
        if (c.synced) s.lastContact = s.lastSuccess = now - 1000;
        std::ostringstream table, page;
        tlsync::WriteStatus(table, {s}, tlclient::Format::Csv, now);
        EXPECT_NE(table.str().find("t1," + std::string(c.state) + ","), std::string::npos)
            << table.str();
        tlsync::WriteStatusHtml(page, {s}, now);
        const std::string html = page.str();
        EXPECT_NE(html.find("<td>" + std::string(c.state) + "</td>"), std::string::npos);
        // Serial numbers and times are never wrapped.
        EXPECT_NE(html.find("td.k{white-space:nowrap}"), std::string::npos);
        EXPECT_NE(html.find("<td class=\"k\">SN 0001 A</td>"), std::string::npos);
        if (c.synced) {
            EXPECT_NE(html.find("<td class=\"k\">" + tlsync::UtcText(now - 1000) + "</td>"),
                      std::string::npos);
        }
    }
}

}  // namespace
