// The programs end to end: qvpack builds a pack, `qvupdate --batch` installs
// it on a simulated terminal through the real libportmux and its plug-ins,
// over the network and over a serial pseudo-terminal, and the terminal ends
// up with the pack's firmware version, voice, language and options.
#include <gtest/gtest.h>

#include <cstdlib>

#include "process.h"
#include "support.h"
#include "termsim/model.h"
#include "termsim/server.h"

namespace {

using qvtest::B;
using qvtest::Quote;

const std::string kNewVersion = "Ver 6.70 Jan  5 2025";

// A pack with all four sections, built by qvpack from files in `dir`.
std::string BuildPack(const qvtest::TempDir& dir) {
    const std::string fw = dir.File("fw.bin", termsim::FirmwareImage(kNewVersion, B(3000, 0x5C)));
    const std::string voice = dir.File("voice.bin", B(700, 0x11));
    const std::string lang = dir.File("lang.bin", std::string("Hello=Hallo\nBye=Tschuess\n"));
    const std::string cfg =
        dir.File("opts.txt", std::string("DeviceID=7\r\n~Key=AB\r\nIPAddress=192.168.1.50\r\n"));
    const std::string pack = dir.Path("update.qvp");
    qvtest::Ran r = qvtest::Shell(std::string(QVPACK_BIN) + " -o " + Quote(pack) + " --firmware " +
                                      Quote(fw) + " --voice " + Quote(voice) + " --language " +
                                      Quote(lang) + " --config " + Quote(cfg),
                                  dir.Path(""));
    EXPECT_EQ(r.code, 0) << r.err;
    return pack;
}

void ExpectInstalled(const termsim::Model& m, std::uint32_t languageCode) {
    EXPECT_EQ(m.Version(), kNewVersion);
    EXPECT_EQ(m.InstalledData(8), B(700, 0x11));
    EXPECT_EQ(m.InstalledData(languageCode), qvtest::Bytes("Hello=Hallo\nBye=Tschuess\n"));
    EXPECT_EQ(m.Option("DeviceID"), "7");
    EXPECT_EQ(m.Option("~Key"), "AB");
    EXPECT_EQ(m.Option("IPAddress"), "192.168.1.50");
}

const char* kReport =
    "Update firmware successfully!\nUpdate voice successfully!\n"
    "Update Language successfully!\nUpdate config successfully!\n";

TEST(QvupdateBatch, InstallsAPackOverTheNetwork) {
    // A terminal without "~OS": hidden options arrive scrambled, language code 3.
    termsim::Model model(termsim::Config{});
    termsim::TerminalServer server(model, termsim::ServeOptions{});
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    qvtest::TempDir dir;
    const std::string pack = BuildPack(dir);
    qvtest::Ran r = qvtest::Shell(std::string(QVUPDATE_BIN) + " --batch --net 127.0.0.1:" +
                                      std::to_string(server.Port()) + " " + Quote(pack),
                                  dir.Path(""));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, kReport);
    ExpectInstalled(model, 3);

    // Run again: every option already holds its value and is not written.
    const auto installs = model.Installs().size();
    r = qvtest::Shell(std::string(QVUPDATE_BIN) + " --batch --net 127.0.0.1:" +
                          std::to_string(server.Port()) + " " + Quote(pack),
                      dir.Path(""));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(model.Installs().size(), installs + 3);
}

TEST(QvupdateBatch, InstallsAPackOverASerialLine) {
    // A LINUX terminal: language code 10, hidden options sent plain.
    termsim::Config cfg;
    cfg.options["~OS"] = "LINUX";
    termsim::Model model(cfg);
    termsim::ServeOptions serve;
    serve.ptys = 1;
    serve.station = 3;
    termsim::TerminalServer server(model, serve);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    ASSERT_EQ(server.PtyPaths().size(), 1u);
    ::setenv("PORTMUX_COM2", server.PtyPaths()[0].c_str(), 1);
    qvtest::TempDir dir;
    const std::string pack = BuildPack(dir);
    qvtest::Ran r = qvtest::Shell(
        std::string(QVUPDATE_BIN) + " --batch --com com2 --device 3 --baud 57600 " + Quote(pack),
        dir.Path(""));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, kReport);
    ExpectInstalled(model, 10);
}

TEST(QvupdateBatch, NoTerminalAndRefusedPacks) {
    qvtest::TempDir dir;
    // A serial port whose device does not exist: the open fails at once.
    ::setenv("PORTMUX_COM9", dir.Path("no-such-tty").c_str(), 1);
    const std::string pack = dir.File("p.qvp", qvtest::Header(0, 0, {}));
    qvtest::Ran r = qvtest::Shell(std::string(QVUPDATE_BIN) + " --batch --com COM9 " + Quote(pack),
                                  dir.Path(""));
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_NE(r.err.find("no connection to COM9"), std::string::npos) << r.err;

    termsim::Model model(termsim::Config{});

    termsim::TerminalServer server(model, termsim::ServeOptions{});
    ASSERT_TRUE(server.Start());
    const std::string bad = dir.File("bad.qvp", qvtest::Header(0x70, 0x10, {5}, B(5, 1)));
    r = qvtest::Shell(std::string(QVUPDATE_BIN) + " --batch --net 127.0.0.1:" +
                          std::to_string(server.Port()) + " " + Quote(bad),
                      dir.Path(""));
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.err, "Please select the right pack that it is from qv!\n");
    EXPECT_TRUE(model.Installs().empty());
}

}  // namespace
